// Catalogues, Markdown and subtitles: faults found on real files, each with the smallest input
// that shows it; links checked by rendering the export with md4c itself.
#include "Document.h"
#include "TestFiles.h"

#include <md4c-html.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>

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
        [](const MD_CHAR* t, MD_SIZE n, void* user) {
            static_cast<std::string*>(user)->append(t, n);
        },
        &out,
        MD_FLAG_TABLES | MD_FLAG_STRIKETHROUGH | MD_FLAG_TASKLISTS |
            MD_FLAG_PERMISSIVEURLAUTOLINKS | MD_FLAG_PERMISSIVEWWWAUTOLINKS,
        MD_HTML_FLAG_VERBATIM_ENTITIES); // "&mdash;" as a unit shows it, not "—"
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
         "#~ msgid \"Old\"\n#~ msgstr \"旧\"\nmsgid \"Live\"\nmsgstr \"\"\n",
         {"Live"}},
        {"obsolete then a live entry's comments",
         "#~ msgid \"Old\"\n#~ msgstr \"旧\"\n#: a.c:3\n#, c-format\nmsgid \"%d left\"\nmsgstr \"\"\n",
         {"{1} left"}},
        {"live then obsolete",
         "msgid \"Live\"\nmsgstr \"\"\n#~ msgid \"Old\"\n#~ msgstr \"旧\"\n",
         {"Live"}},
        {"layout spaces and CR LF",
         "msgid \"  -v, --verbose   explain\\r\\n\"\nmsgstr \"\"\n",
         {"{1}-v, --verbose{2}explain{3}{4}"}},
        {"plural whose first line is empty",
         "msgid \"\"\n\"\\nand %d other\"\nmsgid_plural \"\"\n\"\\nand %d others\"\nmsgstr[0] \"\"\n",
         {"{1}and %d others"}},
    };
    for (const auto& c : cases) {
        const Document d = Read(Format::Po, c.po);
        EXPECT_EQ(Texts(d), c.units) << c.name;
        EXPECT_EQ(Write(d, {}), c.po) << c.name;
    }
    const Document layout = Read(Format::Po, cases[4].po);
    EXPECT_NE(
        Write(layout, {"{1}-v, --verbose{2}解释{3}{4}"}).find("msgstr \"  -v, --verbose   解释\\r\\n\"\n"),
        std::string::npos);
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
    ASSERT_EQ(Texts(d),
              (std::vector<std::string>{
                  "See the {1}Node.js website{/1} or {2}the {3}docs{/3}{/2} and {4}full{/4}, {5}x{/5}.",
                  "Read {1}the guide{/1}."}));
    const std::string out =
        Write(d, {"见{1}Node.js 网站{/1}或{2}这些{3}文档{/3}{/2}和{4}全{/4}，{5}x{/5}。",
                  "读{1}指南{/1}。"});
    EXPECT_NE(
        out.find("见[Node.js 网站][Node.js website]或[这些*文档*][the *docs*]和[全][ref]，[x](y)。"),
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

// Both seen in Debian's Node.js documentation. An address in an image's alt text is a link
// inside the image: its end once left everything after it unread. A shortcut reference whose
// label holds a backtick, rewritten as "[a`][a`]", became a code span.
TEST(Markdown, AnAddressInAnAltTextAndABacktickInALabel) {
    const std::string md = "[![Join https://x.org/a](https://b/c.svg)](https://d/e)\n\n# Title\n\n"
                           "See [dark-theme`].\n\n[dark-theme`]: https://x\n";
    const Document d = Read(Format::Markdown, md);
    EXPECT_EQ(Texts(d), (std::vector<std::string>{"Title", "See {1}dark-theme`{/1}."}));
    EXPECT_EQ(Write(d, {"Title", "See {1}dark-theme`{/1}."}), md);
}

TEST(Markdown, LineEndsBesideMarkupAreSpacesAndFootnoteLabelsArePlaceholders) {
    const struct {
        std::string md;
        std::vector<std::string> units;
    } cases[] = {
        {"See [the docs](http://x)\nfor details.\n", {"See {1}the docs{/1} for details."}},
        {"Press\n**OK** now.\n", {"Press {1}OK{/1} now."}},
        {"> A *b*\n> `c` d.\n", {"A {1}b{/1} {2} d."}},
        {"Text[^1] here.\n\n[^1]: The note.\n", {"Text{1} here.", "{1}The note."}},
    };
    for (const auto& c : cases) {
        const Document d = Read(Format::Markdown, c.md);
        EXPECT_EQ(Texts(d), c.units) << c.md;
        std::vector<std::optional<std::string>> same;
        for (const Unit& u : d.units) same.push_back(u.text);
        EXPECT_EQ(Texts(Read(Format::Markdown, Write(d, same))), c.units) << Write(d, same);
    }
    const Document d = Read(Format::Markdown, cases[3].md);
    EXPECT_EQ(Write(d, {"文本{1}在此。", "{1}注释。"}), "文本[^1]在此。\n\n[^1]: 注释。\n");
}

// An HTML block's text is translated as HTML; a code block is named as skipped.
TEST(Markdown, HtmlBlocksAreTranslatedAndCodeBlocksNamedAsSkipped) {
    const std::string md = "<details>\n<summary>Other <b>keys</b></summary>\n\n"
                           "```\nmake\n```\n\nText.\n";
    const Document d = Read(Format::Markdown, md);
    ASSERT_EQ(Texts(d), (std::vector<std::string>{"Other {1}keys{/1}", "Text."}));
    ASSERT_EQ(d.skipped.size(), 1u);
    EXPECT_EQ(md.substr(d.skipped[0].begin, d.skipped[0].end - d.skipped[0].begin), "make");
    EXPECT_EQ(Write(d, {"其他 & {1}密钥{/1}", "文本。"}),
              "<details>\n<summary>其他 &amp; <b>密钥</b></summary>\n\n```\nmake\n```\n\n文本。\n");
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

// ---- coverage: every word the independent reader finds lies in a unit ----

namespace {

std::string Shell(const std::string& cmd, int* rc = nullptr) {
    std::string out;
    FILE* p = ::popen(cmd.c_str(), "r");
    char buf[1 << 16];
    while (std::size_t n = std::fread(buf, 1, sizeof buf, p)) out.append(buf, n);
    const int r = ::pclose(p);
    if (rc) *rc = r;
    return out;
}

std::vector<std::string> Files(const std::string& cmd) {
    std::vector<std::string> out;
    const std::string list = Shell(cmd);
    for (std::size_t at = 0; at < list.size();) {
        const std::size_t eol = list.find('\n', at);
        out.push_back(list.substr(at, eol - at));
        at = eol == std::string::npos ? list.size() : eol + 1;
    }
    std::sort(out.begin(), out.end());
    return out;
}

// Words: runs of ASCII letters and digits, and each character beyond ASCII.
void AddWords(std::map<std::string, long>& words, std::string_view s, long by) {
    for (std::size_t i = 0; i < s.size();) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        std::size_t j = i;
        if (std::isalnum(c)) {
            while (j < s.size() && std::isalnum(static_cast<unsigned char>(s[j]))) ++j;
        } else if (s.substr(i, 2) == "\xC2\xA0") { // a space, as the HTML reader counts it
            i += 2;
            continue;
        } else if (c >= 0xC0) {
            j = i + (c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4);
        } else {
            ++i;
            continue;
        }
        words[std::string(s.substr(i, j - i))] += by;
        i = j;
    }
}

void AddUnitWords(std::map<std::string, long>& words, const Document& d) {
    for (const Unit& u : d.units) {
        std::string plain;
        for (std::size_t i = 0; i < u.text.size(); ++i) {
            if (u.text[i] == '{') {
                const std::size_t close = u.text.find('}', i);
                if (close != std::string::npos &&
                    u.text.find_first_not_of("/0123456789", i + 1) == close) {
                    plain += ' ';
                    i = close;
                    continue;
                }
            }
            plain += u.text[i];
        }
        AddWords(words, plain, -1);
    }
}

// "%5B" as "[": an address as the reader of its page sees it.
std::string Unpercent(std::string s) {
    for (std::size_t p = s.find('%'); p != std::string::npos && p + 2 < s.size();
         p = s.find('%', p + 1))
        if (std::isxdigit(static_cast<unsigned char>(s[p + 1])) &&
            std::isxdigit(static_cast<unsigned char>(s[p + 2])))
            s.replace(p, 3, 1, char(std::stoi(s.substr(p + 1, 2), nullptr, 16)));
    return s;
}

// The visible text of md4c's HTML: outside <code>, <pre>, <kbd>, <samp> (keys and program output,
// kept as they are like code), comments, <script> and <style>, and
// not the address an autolink shows (<a href="https://x">https://x</a>). Entities stay as
// written, as the units show them; only what the renderer itself escapes is decoded.
std::string VisibleText(const std::string& html) {
    std::string out, linkText, href;
    int hidden = 0;
    bool inLink = false;
    for (std::size_t i = 0; i < html.size();) {
        if (html.compare(i, 4, "<!--") == 0) {
            const std::size_t e = html.find("-->", i);
            i = e == std::string::npos ? html.size() : e + 3;
            continue;
        }
        if (html[i] == '<') {
            const std::size_t e = html.find('>', i);
            if (e == std::string::npos) break;
            const std::string tag = html.substr(i + 1, e - i - 1);
            const bool closing = !tag.empty() && tag[0] == '/';
            std::string name;
            for (std::size_t k = closing;
                 k < tag.size() && std::isalnum(static_cast<unsigned char>(tag[k])); ++k)
                name += char(std::tolower(static_cast<unsigned char>(tag[k])));
            if (name == "code" || name == "pre" || name == "kbd" || name == "samp" ||
                name == "script" || name == "style")
                hidden += closing ? -1 : 1;
            if (name == "a" && !closing) {
                const std::size_t h = tag.find("href=\"");
                href = Unpercent(
                    h == std::string::npos ? "" : tag.substr(h + 6, tag.find('"', h + 6) - h - 6));
                inLink = true;
                linkText.clear();
            } else if (name == "a" && closing && inLink) {
                inLink = false;
                // The address shown may hold escapes of its own: "<http://x/?i=Sum%5B{k}%5D>".
                if (href.empty() || href.find(Unpercent(linkText)) == std::string::npos)
                    out += linkText;
            }
            out += ' ';
            i = e + 1;
            continue;
        }
        std::string ch(1, html[i]);
        for (const auto& [ent, c] :
             {std::pair{"&amp;", "&"}, {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}})
            if (html.compare(i, std::strlen(ent), ent) == 0) {
                ch = c;
                i += std::strlen(ent) - 1;
            }
        ++i;
        if (hidden > 0) continue;
        (inLink ? linkText : out) += ch;
    }
    return out;
}

// Front matter, as the reader skips it.
std::string WithoutFrontMatter(const std::string& md) {
    if (md.rfind("---\n", 0) != 0) return md;
    for (std::size_t at = md.find('\n') + 1; at < md.size();) {
        const std::size_t eol = md.find('\n', at);
        const std::string line = md.substr(at, eol - at);
        at = eol == std::string::npos ? md.size() : eol + 1;
        if (line == "---" || line == "...") return md.substr(at);
    }
    return md;
}

} // namespace

// Every Markdown file of the installed packages' documentation (gzipped ones unpacked): the
// words of md4c's own rendering, outside code, all lie in units; a footnote's label "[^1]" and
// a literal "{0}" are no words. And the export of every unit translated keeps every link.
TEST(Coverage, EveryRenderedWordOfTheSystemsMarkdownIsInAUnit) {
    const std::vector<std::string> files =
        Files("find /usr/share/doc \\( -name '*.md' -o -name '*.md.gz' \\) -type f 2>/dev/null");
    if (files.empty()) GTEST_SKIP() << "no Markdown under /usr/share/doc";
    std::size_t read = 0, refused = 0;
    long missing = 0, words = 0;
    std::string examples;
    for (const std::string& path : files) {
        const std::string md =
            path.ends_with(".gz") ? Shell("gzip -dc '" + path + "'") : qbtest::ReadFile(path);
        Document d;
        try {
            d = Read(Format::Markdown, md);
        } catch (const DocError& e) {
            ++refused; // not text (none here so far): reported, not counted
            ADD_FAILURE() << path << ": " << e.what();
            continue;
        }
        ++read;
        std::string visible = VisibleText(Html(WithoutFrontMatter(md)));
        for (std::size_t at = visible.find("[^"); at != std::string::npos;
             at = visible.find("[^", at + 1)) {
            const std::size_t e = visible.find(']', at);
            if (e != std::string::npos && visible.find_first_of(" \n[", at + 1) > e)
                visible.replace(at, e + 1 - at, " ");
        }
        // A literal "{0}" is a placeholder of its own, so that no translation can take it for
        // one of the unit's tags: not a word either.
        for (std::size_t at = visible.find('{'); at != std::string::npos;
             at = visible.find('{', at + 1)) {
            const std::size_t e = visible.find('}', at);
            if (e != std::string::npos && e > at + 1 &&
                visible.find_first_not_of("/0123456789", at + 1) == e)
                visible.replace(at, e + 1 - at, " ");
        }
        std::map<std::string, long> count;
        AddWords(count, visible, 1);
        for (const auto& [w, n] : count) words += n > 0 ? n : 0;
        AddUnitWords(count, d);
        for (const auto& [w, n] : count)
            if (n > 0) {
                missing += n;
                if (examples.size() < 2000)
                    examples += path + ": \"" + w + "\" x" + std::to_string(n) + "\n";
            }
        // Every unit "translated" (its words replaced, its placeholders kept): every link stays.
        std::vector<std::optional<std::string>> t;
        for (const Unit& u : d.units) {
            std::string zh = "文";
            for (std::size_t i = 0; i < u.text.size(); ++i)
                if (u.text[i] == '{') {
                    const std::size_t c = u.text.find('}', i);
                    zh += u.text.substr(i, c + 1 - i) + "译";
                    i = c;
                }
            t.push_back(zh);
        }
        // md4c knows no footnotes: "[^1]: 注释" would be a link's definition to it, where a
        // renderer that knows them shows a footnote. Escaped, both read as text.
        auto links = [](std::string m) {
            for (std::size_t at = 0; (at = m.find("\n[^", at)) != std::string::npos; at += 2)
                m.insert(at + 1, "\\");
            return Count(Html(m), "<a href=");
        };
        const std::string out = Write(d, t);
        EXPECT_EQ(links(out), links(md)) << path;
        // Written as themselves, the units come back the same; untranslated, the bytes do.
        std::vector<std::optional<std::string>> same;
        for (const Unit& u : d.units) same.push_back(u.text);
        EXPECT_EQ(Texts(Read(Format::Markdown, Write(d, same))), Texts(d)) << path;
        EXPECT_EQ(Write(d, {}), md) << path;
    }
    std::printf("%zu Markdown files read, %ld rendered words, %ld in no unit\n", read, words, missing);
    EXPECT_EQ(missing, 0) << examples;
}

namespace {

// A catalogue's messages as the .mo file holds them, read here without gettext's tools: the
// msgid (a plural one as its msgid_plural, the form a unit shows), whitespace collapsed.
std::vector<std::string> MoMessages(const std::string& mo) {
    std::vector<std::string> out;
    if (mo.size() < 28) return out;
    auto word = [&](std::size_t at, bool swap) {
        std::uint32_t v = 0;
        std::memcpy(&v, mo.data() + at, 4);
        return swap ? __builtin_bswap32(v) : v;
    };
    const bool swap = word(0, false) != 0x950412deu;
    const std::uint32_t n = word(8, swap), table = word(12, swap);
    std::vector<std::string> ids;
    for (std::uint32_t i = 0; i < n; ++i)
        ids.push_back(mo.substr(word(table + 8 * i + 4, swap), word(table + 8 * i, swap)));
    // Revision 1 keeps messages with system-dependent directives apart: static pieces and
    // segment names, "%<PRIu64>" when put together.
    if (word(4, swap) >> 16 == 0 && (word(4, swap) & 0xFFFF) >= 1 && mo.size() >= 48) {
        const std::uint32_t segments = word(32, swap), strings = word(36, swap),
                            origs = word(40, swap);
        for (std::uint32_t i = 0; i < strings; ++i) {
            std::size_t at = word(origs + 4 * i, swap);
            std::size_t from = word(at, swap);
            std::string id;
            for (at += 4;; at += 8) {
                const std::uint32_t size = word(at, swap), ref = word(at + 4, swap);
                id += mo.substr(from, size);
                from += size;
                if (ref == 0xFFFFFFFFu) break;
                std::string name =
                    mo.substr(word(segments + 8 * ref + 4, swap), word(segments + 8 * ref, swap));
                if (!name.empty() && name.back() == '\0') name.pop_back();
                id += "<" + name + ">";
            }
            while (!id.empty() && id.back() == '\0') id.pop_back();
            ids.push_back(id);
        }
    }
    for (const std::string& raw : ids) {
        std::string id = raw;
        const std::size_t len = raw.size();
        if (const std::size_t ctx = id.find('\x04'); ctx != std::string::npos) id.erase(0, ctx + 1);
        if (const std::size_t plural = id.find('\0'); plural != std::string::npos)
            id.erase(0, plural + 1);
        if (len == 0) continue; // the header
        std::string one;
        for (char c : id) {
            if (c == ' ' || c == '\n' || c == '\t' || c == '\r') {
                if (!one.empty() && one.back() != ' ') one += ' ';
            } else {
                one += c;
            }
        }
        while (!one.empty() && one.back() == ' ') one.pop_back();
        out.push_back(one);
    }
    return out;
}

// A unit's text with each placeholder put back as the catalogue wrote it ("{1}" -> "%s", "\n").
std::string Source(const Unit& u) {
    std::string out;
    for (std::size_t i = 0; i < u.text.size(); ++i) {
        if (u.text[i] == '{') {
            const std::size_t close = u.text.find('}', i);
            if (close != std::string::npos && close > i + 1 &&
                u.text.find_first_not_of("0123456789", i + 1) == close) {
                const std::string& open =
                    u.tags[std::stoul(u.text.substr(i + 1, close - i - 1)) - 1].open;
                if (open.size() >= 2 && open[0] == '\\') {
                    static const std::string kEsc = "abtnvfr";
                    const std::size_t k = kEsc.find(open[1]);
                    const char c = k != std::string::npos
                                       ? char(7 + k)
                                       : char(std::stoi(open.substr(1), nullptr, 8));
                    out += c == '\n' || c == '\t' || c == '\r' ? ' ' : c;
                } else {
                    for (std::size_t k = 0; k < open.size(); ++k) // '<a href=\"x\">' as written
                        if (open[k] != '\\' || ++k < open.size()) out += open[k];
                }
                i = close;
                continue;
            }
        }
        out += u.text[i];
    }
    std::string one;
    for (char c : out)
        if (c != ' ' || (!one.empty() && one.back() != ' ')) one += c;
    while (!one.empty() && one.back() == ' ') one.pop_back();
    return one;
}

} // namespace

// Debian's catalogues (the largest .mo of each domain, unpacked by msgunfmt): every message lies
// in exactly one unit, checked against the .mo read independently; a message of white space
// alone is skipped with the reason. Each one translated as itself passes msgfmt --check and
// opens again with the same units.
TEST(Coverage, EveryMessageOfTheSystemsCataloguesIsOneUnit) {
    std::map<std::string, std::pair<std::uintmax_t, std::string>> largest; // domain -> size, path
    for (const std::string& mo : Files("find -L /usr/share/locale -name '*.mo' -type f 2>/dev/null")) {
        const std::string domain = mo.substr(mo.rfind('/') + 1);
        std::error_code ec;
        const std::uintmax_t size = std::filesystem::file_size(mo, ec);
        if (!ec && size > largest[domain].first) largest[domain] = {size, mo};
    }
    if (largest.empty()) GTEST_SKIP() << "no .mo catalogues installed";
    qbtest::TempDir dir;
    std::size_t catalogues = 0, messages = 0, wrong = 0;
    for (const auto& [domain, found] : largest) {
        const std::string& mo = found.second;
        const std::string po = dir / (domain + ".po");
        int rc = 0;
        Shell("msgunfmt -o '" + po + "' '" + mo + "' 2>/dev/null", &rc);
        if (rc != 0) continue;
        const Document d = Read(Format::Po, qbtest::ReadFile(po));
        std::map<std::string, long> count;
        std::size_t blank = 0;
        for (const std::string& m : MoMessages(qbtest::ReadFile(mo))) {
            if (m.empty())
                ++blank;
            else
                ++count[m];
        }
        std::size_t placeholdersOnly = 0;
        for (const Unit& u : d.units)
            if (Source(u).empty())
                ++placeholdersOnly;
            else
                --count[Source(u)];
        for (const auto& [m, n] : count)
            if (n != 0) {
                wrong += std::size_t(n < 0 ? -n : n);
                ADD_FAILURE() << mo << ": \"" << m << "\" in " << (n > 0 ? "no" : "one more")
                              << " unit";
            }
        EXPECT_EQ(d.skipped.size() + placeholdersOnly, blank) << mo; // "\n", "  ": offered as "{1}"
        ++catalogues;
        messages += d.units.size();
        std::vector<std::optional<std::string>> same;
        for (const Unit& u : d.units) same.push_back(u.text);
        qbtest::WriteFile(po + ".out.po", Write(d, same));
        Shell("msgfmt --check -o /dev/null '" + po + ".out.po' 2>/dev/null", &rc);
        EXPECT_EQ(rc, 0) << mo;
        EXPECT_EQ(Texts(Read(Format::Po, qbtest::ReadFile(po + ".out.po"))), Texts(d)) << mo;
    }
    std::printf("%zu catalogues, %zu messages, %zu not in exactly one unit\n", catalogues, messages,
                wrong);
    EXPECT_GT(catalogues, 0u);
}
