// Catalogues, Markdown and subtitles: faults found on real files, each with the smallest input
// that shows it; links checked by rendering the export with md4c itself.
#include "Document.h"
#include "TestFiles.h"

#include <md4c-html.h>

#include <gtest/gtest.h>

#include <cstdio>

using namespace qb::doc;

namespace {

std::vector<std::string> Texts(const Document& d) {
    std::vector<std::string> out;
    for (const Unit& u : d.units) out.push_back(u.text);
    return out;
}

std::string Html(const std::string& md) {
    std::string out;
    md_html(
        md.data(), MD_SIZE(md.size()),
        [](const MD_CHAR* t, MD_SIZE n, void* user) { static_cast<std::string*>(user)->append(t, n); },
        &out, MD_FLAG_TABLES | MD_FLAG_STRIKETHROUGH | MD_FLAG_TASKLISTS, 0);
    return out;
}

std::size_t Count(const std::string& s, const std::string& what) {
    std::size_t n = 0;
    for (std::size_t at = s.find(what); at != std::string::npos; at = s.find(what, at + 1)) ++n;
    return n;
}

} // namespace

TEST(Po, EveryMessageIsOfferedPunctuationAndAfterAnObsoleteEntry) {
    const struct {
        const char* name;
        std::string po;
        std::vector<std::string> units;
    } cases[] = {
        {"punctuation alone", "msgid \", \"\nmsgstr \"\"\n\nmsgid \":\"\nmsgstr \"\"\n", {",", ":"}},
        {"obsolete then live, no blank line",
         "#~ msgid \"Old\"\n#~ msgstr \"旧\"\nmsgid \"Live\"\nmsgstr \"\"\n", {"Live"}},
        {"obsolete then a live entry's comments",
         "#~ msgid \"Old\"\n#~ msgstr \"旧\"\n#: a.c:3\n#, c-format\nmsgid \"%d left\"\nmsgstr \"\"\n",
         {"{1} left"}},
        {"live then obsolete", "msgid \"Live\"\nmsgstr \"\"\n#~ msgid \"Old\"\n#~ msgstr \"旧\"\n",
         {"Live"}},
    };
    for (const auto& c : cases) {
        const Document d = Read(Format::Po, c.po);
        EXPECT_EQ(Texts(d), c.units) << c.name;
        EXPECT_EQ(Write(d, {}), c.po) << c.name;
    }
    const Document d = Read(Format::Po, cases[0].po);
    const std::string out = Write(d, {"，", "："});
    EXPECT_NE(out.find("msgid \", \"\nmsgstr \"，\"\n\nmsgid \":\"\nmsgstr \"：\"\n"), std::string::npos)
        << out;
}

// A link written by reference keeps finding its definition when its text is translated.
TEST(Markdown, TranslatedReferenceLinksStillRenderLinks) {
    const std::string md = "See the [Node.js website][] or [the *docs*] and [full][ref], [x](y).\n\n"
                           "> Read [the\n> guide][].\n\n"
                           "[node.js website]: https://nodejs.org\n[the *docs*]: https://d\n"
                           "[ref]: https://r\n[the guide]: https://g\n";
    const Document d = Read(Format::Markdown, md);
    ASSERT_EQ(Texts(d), (std::vector<std::string>{
                            "See the {1}Node.js website{/1} or {2}the {3}docs{/3}{/2} and {4}full{/4}, {5}x{/5}.",
                            "Read {1}the guide{/1}."}));
    const std::string out =
        Write(d, {"见{1}Node.js 网站{/1}或{2}这些{3}文档{/3}{/2}和{4}全{/4}，{5}x{/5}。", "读{1}指南{/1}。"});
    EXPECT_NE(out.find("见[Node.js 网站][Node.js website]或[这些*文档*][the *docs*]和[全][ref]，[x](y)。"),
              std::string::npos)
        << out;
    const std::string html = Html(out);
    EXPECT_EQ(Count(html, "<a href="), 5u) << html;
    EXPECT_NE(html.find("<a href=\"https://g\">指南</a>"), std::string::npos) << html;
    // Written as themselves, the units come back the same.
    std::vector<std::optional<std::string>> same;
    for (const Unit& u : d.units) same.push_back(u.text);
    EXPECT_EQ(Texts(Read(Format::Markdown, Write(d, same))), Texts(d));
}

TEST(Markdown, LineEndsBesideMarkupAreSpacesAndFootnoteLabelsArePlaceholders) {
    const struct {
        std::string md;
        std::vector<std::string> units;
    } cases[] = {
        {"See [the docs](http://x)\nfor details.\n", {"See {1}the docs{/1} for details."}},
        {"Press\n**OK** now.\n", {"Press {1}OK{/1} now."}},
        {"> A *b*\n> `c` d.\n", {"A {1}b{/1} {2} d."}},
        {"Text[^1] here.\n\n[^1]: The note.\n", {"Text{1} here.", "{1} The note."}},
    };
    for (const auto& c : cases) {
        const Document d = Read(Format::Markdown, c.md);
        EXPECT_EQ(Texts(d), c.units) << c.md;
        std::vector<std::optional<std::string>> same;
        for (const Unit& u : d.units) same.push_back(u.text);
        EXPECT_EQ(Texts(Read(Format::Markdown, Write(d, same))), c.units) << Write(d, same);
    }
    const Document d = Read(Format::Markdown, cases[3].md);
    EXPECT_EQ(Write(d, {"文本{1}在此。", "{1} 注释。"}), "文本[^1]在此。\n\n[^1]: 注释。\n");
}

TEST(Subtitles, ExportedCuesOpenAgainWithTheirUnits) {
    const std::string srt = "1\n00:00:01,000 --> 00:00:02,000\n<i>Hello</i>\nthere.\n\n"
                            "2\n00:00:03,000 --> 00:00:04,000\n{\\an8}Top line.\n";
    const Document d = Read(Format::Srt, srt);
    ASSERT_EQ(Texts(d), (std::vector<std::string>{"{1}Hello{/1} there.", "{1}Top line."}));
    const std::string out = Write(d, {"{1}你好{/1}。", "{1}顶行。"});
    EXPECT_EQ(out, "1\n00:00:01,000 --> 00:00:02,000\n<i>你好</i>。\n\n"
                   "2\n00:00:03,000 --> 00:00:04,000\n{\\an8}顶行。\n");
    EXPECT_EQ(Texts(Read(Format::Srt, out)), (std::vector<std::string>{"{1}你好{/1}。", "{1}顶行。"}));
}
