// Documents: every format read and written on bytes in memory. Round trips on the system's own
// files (gettext catalogues, HTML and Markdown documentation), translations spliced back in,
// and input made to fail or to exhaust the machine.
#include "Document.h"
#include "DocumentMemory.h"
#include "TestFiles.h"
#include "TmxFormat.h"
#include "TranslationMemory.h"

#include <quazip/quazip.h>
#include <quazip/quazipfile.h>
#include <quazip/quazipnewinfo.h>

#include <QBuffer>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>

using namespace qb::doc;
namespace fs = std::filesystem;

namespace {

Document ReadAs(Format f, const std::string& bytes) { return Read(f, bytes); }

std::vector<std::string> Texts(const Document& d) {
    std::vector<std::string> out;
    for (const Unit& u : d.units) out.push_back(u.text);
    return out;
}

// Every unit "translated" as its own text: reading the result again must give the same units,
// which holds only when every range and every placeholder was spliced back right.
std::vector<std::optional<std::string>> Identity(const Document& d) {
    std::vector<std::optional<std::string>> t;
    for (const Unit& u : d.units) t.push_back(u.text);
    return t;
}

std::string Shell(const std::string& cmd) {
    std::string out;
    FILE* p = ::popen((cmd + " 2>&1").c_str(), "r");
    char buf[4096];
    while (std::size_t n = std::fread(buf, 1, sizeof buf, p)) out.append(buf, n);
    const int rc = ::pclose(p);
    return rc == 0 ? std::string()
                   : "FAILED(" + std::to_string(rc) + "): " + out; // warnings are no failure
}

std::vector<std::string> SystemFiles(const std::string& root, const std::string& ext, std::size_t max) {
    std::vector<std::string> out;
    std::error_code ec;
    for (auto it =
             fs::recursive_directory_iterator(root, fs::directory_options::skip_permission_denied, ec);
         it != fs::recursive_directory_iterator() && out.size() < max; it.increment(ec)) {
        if (ec) break;
        if (it->is_regular_file(ec) && it->path().extension() == ext && it->file_size(ec) < (4u << 20))
            out.push_back(it->path().string());
    }
    std::sort(out.begin(), out.end());
    return out;
}

// A zip package in memory: (name, bytes) in order, deflated.
std::string Zip(const std::vector<std::pair<std::string, std::string>>& entries) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    QuaZip zip(&buffer);
    EXPECT_TRUE(zip.open(QuaZip::mdCreate));
    for (const auto& [name, data] : entries) {
        QuaZipFile f(&zip);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly, QuaZipNewInfo(QString::fromStdString(name))));
        f.write(data.data(), qint64(data.size()));
        f.close();
    }
    zip.close();
    return std::string(bytes.constData(), std::size_t(bytes.size()));
}

std::map<std::string, std::string> Unzip(const std::string& package) {
    std::map<std::string, std::string> out;
    QByteArray bytes = QByteArray::fromRawData(package.data(), qsizetype(package.size()));
    QBuffer buffer(&bytes);
    QuaZip zip(&buffer);
    EXPECT_TRUE(zip.open(QuaZip::mdUnzip));
    for (bool more = zip.goToFirstFile(); more; more = zip.goToNextFile()) {
        QuaZipFile f(&zip);
        EXPECT_TRUE(f.open(QIODevice::ReadOnly));
        const QByteArray data = f.readAll();
        out[zip.getCurrentFileName().toStdString()] =
            std::string(data.constData(), std::size_t(data.size()));
    }
    return out;
}

const char* const kDocxBody =
    R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)"
    R"(<w:document xmlns:w="http://schemas.openxmlformats.org/wordprocessingml/2006/main"><w:body>)"
    R"(<w:p><w:pPr><w:pStyle w:val="Heading1"/></w:pPr><w:r><w:t>Getting started</w:t></w:r></w:p>)"
    R"(<w:p><w:r><w:t xml:space="preserve">Press </w:t></w:r><w:r><w:rPr><w:b/></w:rPr><w:t>OK</w:t></w:r>)"
    R"(<w:r><w:t xml:space="preserve"> to go </w:t></w:r><w:r><w:t>on &amp; on.</w:t></w:r></w:p>)"
    R"(<w:tbl><w:tr><w:tc><w:p><w:r><w:t>Cell text</w:t></w:r></w:p></w:tc></w:tr></w:tbl>)"
    R"(<w:p/></w:body></w:document>)";

std::string MakeDocx(const std::string& body = kDocxBody) {
    return Zip({{"[Content_Types].xml", R"(<?xml version="1.0"?><Types xmlns="x"/>)"},
                {"word/document.xml", body},
                {"word/styles.xml", "<w:styles xmlns:w=\"x\"/>"}});
}

} // namespace

TEST(Placeholders, ATranslationMustCarryEachTagOnceInOrder) {
    const Document d = ReadAs(Format::Html, "<p>Press <b>OK</b> now.<br>Then <i>wait</i>.</p>");
    ASSERT_EQ(Texts(d), std::vector<std::string>{"Press {1}OK{/1} now.{2}Then {3}wait{/3}."});
    const Unit& u = d.units[0];
    EXPECT_TRUE(CheckPlaceholders(u, "按{1}确定{/1}。{2}然后{3}等待{/3}。"));
    EXPECT_TRUE(CheckPlaceholders(u, "{2}{3}等{/3}{1}确定{/1}")); // moved around is fine
    for (const char* bad :
         {"按确定。{2}然后{3}等待{/3}。", "{1}{1}确定{/1}{2}{3}x{/3}", "{/1}确定{1}{2}{3}x{/3}",
          "{1}确定{/1}{2}{3}x{/3}{4}", "{1}{3}确定{/1}{/3}{2}", "{1}确定{/1}{/2}{3}x{/3}"})
        EXPECT_FALSE(CheckPlaceholders(u, bad)) << bad;
}

TEST(Placeholders, LiteralBracesInTheSourceAreTagsOfTheirOwn) {
    const Document d = ReadAs(Format::Text, "Use {1} and {/2} here.\n");
    ASSERT_EQ(Texts(d), std::vector<std::string>{"Use {1} and {2} here."});
    EXPECT_EQ(Write(d, {"用{1}和{2}。"}), "用{1}和{/2}。\n");
}

TEST(TextFiles, EncodingsComeBackAsTheyWere) {
    const std::string utf8 = "First paragraph\nwraps here.\n\n  Second one.  \n";
    const Document d = ReadAs(Format::Text, utf8);
    EXPECT_EQ(Texts(d), (std::vector<std::string>{"First paragraph wraps here.", "Second one."}));
    EXPECT_EQ(Write(d, {}), utf8);
    EXPECT_EQ(Write(d, {std::nullopt, "第二段。"}), "First paragraph\nwraps here.\n\n  第二段。  \n");

    const std::string utf16 = std::string("\xFF\xFE", 2) + std::string("H\0i\0.\0\n\0", 8);
    const Document w = ReadAs(Format::Text, utf16);
    ASSERT_EQ(Texts(w), std::vector<std::string>{"Hi."});
    EXPECT_EQ(Write(w, {}), utf16);
    EXPECT_EQ(Write(w, {"嗨。"}), std::string("\xFF\xFE\xE8\x55\x02\x30\n\0", 8));

    const std::string gbk = "Caf\xC4\xE3\xBA\xC3 ok.\r\n"; // "Caf你好 ok." in GBK
    const Document g = ReadAs(Format::Text, gbk);
    ASSERT_EQ(Texts(g), std::vector<std::string>{"Caf你好 ok."});
    EXPECT_EQ(Write(g, {}), gbk);
    EXPECT_EQ(Write(g, {"好"}), "\xBA\xC3\r\n");
}

// Pages, catalogues and Markdown in the charset they declare (or, for Markdown, the ones a
// plain text file may have): read as the characters they are, written back the same bytes when
// nothing is translated, and a translation in the file's charset where it fits.
TEST(OtherEncodings, ReadInTheirCharsetAndWrittenBackInIt) {
    const std::string page = "<meta charset=\"windows-1252\"><p>Caf\xE9 &amp; bar</p>";
    const Document h = ReadAs(Format::Html, page);
    ASSERT_EQ(Texts(h), std::vector<std::string>{"Café & bar"});
    EXPECT_EQ(Write(h, {}), page);
    // What the page's charset lacks becomes a character reference.
    EXPECT_EQ(Write(h, {"Café 与吧"}),
              "<meta charset=\"windows-1252\"><p>Caf\xE9 &#x4E0E;&#x5427;</p>");

    const std::string gbPage =
        "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=GB2312\">"
        "<p>\xC4\xE3 ok</p>";
    const Document g = ReadAs(Format::Html, gbPage);
    ASSERT_EQ(Texts(g), std::vector<std::string>{"你 ok"});
    EXPECT_EQ(Write(g, {"好"}), gbPage.substr(0, gbPage.find("<p>")) + "<p>\xBA\xC3</p>");

    const std::string md = "# Caf\xC4\xE3\n\nText.\n"; // GBK
    const Document m = ReadAs(Format::Markdown, md);
    ASSERT_EQ(Texts(m), (std::vector<std::string>{"Caf你", "Text."}));
    EXPECT_EQ(Write(m, {}), md);
    EXPECT_EQ(Write(m, {std::nullopt, "好。"}), "# Caf\xC4\xE3\n\n\xBA\xC3\xA1\xA3\n");
    try {
        Write(m, {std::nullopt, "好😀"});
        ADD_FAILURE() << "a character GBK lacks was written";
    } catch (const DocError& e) {
        EXPECT_NE(std::string(e.what()).find("😀"), std::string::npos) << e.what();
    }
    const std::string md16 = std::string("\xFE\xFF\0#\0 \0H\0i", 10);
    EXPECT_EQ(Texts(ReadAs(Format::Markdown, md16)), std::vector<std::string>{"Hi"});

    // A Latin-1 catalogue: exported as UTF-8 with its header saying so.
    const std::string po =
        "msgid \"\"\nmsgstr \"\"\n\"Content-Type: text/plain; charset=ISO-8859-1\\n\"\n\n"
        "msgid \"Caf\xE9\"\nmsgstr \"\"\n";
    const Document p = ReadAs(Format::Po, po);
    ASSERT_EQ(Texts(p), std::vector<std::string>{"Café"});
    EXPECT_EQ(Write(p, {}), po);
    const std::string out = Write(p, {"咖啡馆"});
    EXPECT_NE(out.find("msgid \"Café\"\nmsgstr \"咖啡馆\"\n"), std::string::npos) << out;
    EXPECT_NE(out.find("charset=UTF-8"), std::string::npos) << out;
    qbtest::TempDir dir;
    qbtest::WriteFile(dir / "latin1.po", out);
    EXPECT_EQ(Shell("msgfmt --check -o /dev/null " + dir / "latin1.po"), "");
}

TEST(Subtitles, CueTextIsTheUnitAndTimecodesStay) {
    const std::string srt =
        "1\r\n00:00:01,000 --> 00:00:02,500\r\nHello <i>there</i>,\r\nfriend.\r\n\r\n"
        "2\r\n00:00:03,000 --> 00:00:04,000\r\n- Bye!\r\n";
    const Document d = ReadAs(Format::Srt, srt);
    ASSERT_EQ(Texts(d), (std::vector<std::string>{"Hello {1}there{/1}, friend.", "- Bye!"}));
    EXPECT_EQ(Write(d, {}), srt);
    EXPECT_EQ(Write(d, {"你好，{1}朋友{/1}。", "- 再见！"}),
              "1\r\n00:00:01,000 --> 00:00:02,500\r\n你好，<i>朋友</i>。\r\n\r\n"
              "2\r\n00:00:03,000 --> 00:00:04,000\r\n- 再见！\r\n");
}

TEST(Markdown, BlocksAreUnitsAndCodeStays) {
    const std::string md =
        "---\ntitle: Front matter\n---\n# The *title*\n\nSee **the guide** and `x = 1`, "
        "then [the site](https://example.org \"Site\").\n\n```\ncode block\n```\n\n"
        "- item one\n- item <https://a.b/c>\n\n| A | B |\n|---|---|\n| cell | two |\n\n"
        "> quoted\n> text\n";
    const Document d = ReadAs(Format::Markdown, md);
    EXPECT_EQ(Texts(d), (std::vector<std::string>{
                            "The {1}title{/1}", "See {1}the guide{/1} and {2}, then {3}the site{/3}.",
                            "item one", "item {1}", "A", "B", "cell", "two", "quoted text"}));
    EXPECT_EQ(Write(d, {}), md);
    std::vector<std::optional<std::string>> t(d.units.size());
    t[1] = "见{1}指南{/1}和{2}，再看{3}网站{/3}。";
    t[8] = "引文";
    const std::string out = Write(d, t);
    EXPECT_NE(out.find("见**指南**和`x = 1`，再看[网站](https://example.org \"Site\")。\n"), std::string::npos)
        << out;
    EXPECT_NE(out.find("> 引文\n"), std::string::npos) << out;
    EXPECT_NE(out.find("```\ncode block\n```"), std::string::npos);
}

TEST(Html, InlineMarkupIsPlaceholdersAndKeptElementsStay) {
    const std::string html =
        "<html><head><title>Doc &amp; more</title><style>p{}</style></head><body>\n"
        "<p>Use <code>ls -l</code> or <a href=\"x\" title=\"Go there\">this</a>.</p>\n"
        "<pre>kept</pre><img src=\"a.png\" alt=\"A picture\"><ul><li>One<li>Two</ul>\n"
        "<p>Broken <b>nesting <i>here</b> ok</i></p></body></html>";
    const Document d = ReadAs(Format::Html, html);
    EXPECT_EQ(Texts(d), (std::vector<std::string>{"Doc & more", "Use {1} or {2}this{/2}.",
                                                  "Go there", "A picture", "One", "Two",
                                                  "Broken {1}nesting {2}here{/1} ok{3}"}));
    EXPECT_EQ(Write(d, {}), html);
    std::vector<std::optional<std::string>> t{"文档 & 更多", "用{1}或{2}这个{/2}。", "去那里"};
    t.resize(d.units.size());
    t.back() = "破{1}嵌套{2}这里{/1}好{3}";
    const std::string out = Write(d, t);
    EXPECT_NE(out.find("<p>破<b>嵌套<i>这里</b>好</i></p>"), std::string::npos) << out;
    EXPECT_NE(out.find("<title>文档 &amp; 更多</title>"), std::string::npos);
    EXPECT_NE(out.find("<p>用<code>ls -l</code>或<a href=\"x\" title=\"去那里\">这个</a>。</p>"),
              std::string::npos)
        << out;
}

// References show as the characters they stand for; written back, the source's own references
// come back as written and what must be escaped is: a unit translated as itself gives the
// page's bytes again.
TEST(Html, CharacterReferencesAreCharactersAndComeBackAsWritten) {
    const std::string page = "<p title=\"a &quot;b&quot; c\">Fish&nbsp;&amp;&nbsp;chips &#x4e2d; "
                             "&lt;tag&gt; &eacute;t&eacute; AT&amp;T</p>";
    const Document d = ReadAs(Format::Html, page);
    ASSERT_EQ(Texts(d),
              (std::vector<std::string>{"a \"b\" c", "Fish\u00A0&\u00A0chips 中 <tag> été AT&T"}));
    EXPECT_EQ(Write(d, Identity(d)), page);
    EXPECT_EQ(Write(d, {"\"引\" & 'x'", "鱼\u00A0&\u00A0薯条 <b> 中"}),
              "<p title=\"&quot;引&quot; &amp; 'x'\">鱼&nbsp;&amp;&nbsp;薯条 &lt;b&gt; &#x4e2d;</p>");
}

TEST(Po, TranslationsFillMsgstrAndTheHeaderBecomesChinese) {
    const std::string po =
        "# A comment\nmsgid \"\"\nmsgstr \"\"\n\"Content-Type: text/plain; charset=UTF-8\\n\"\n"
        "\"Plural-Forms: nplurals=2; plural=(n != 1);\\n\"\n\n"
        "#: src/a.c:10\n#, fuzzy, c-format\nmsgctxt \"menu\"\nmsgid \"Open %s now.\\n\"\nmsgstr \"old\"\n\n"
        "msgid \"One file\"\nmsgid_plural \"%d files\"\nmsgstr[0] \"\"\nmsgstr[1] \"\"\n\n"
        "msgid \"Say \\\"hi\\\"\"\nmsgstr \"\"\n\n"
        "msgid \"caf\\303\\251 \\xC3\\xA9\"\nmsgstr \"\"\n";
    const Document d = ReadAs(Format::Po, po);
    ASSERT_EQ(Texts(d),
              (std::vector<std::string>{"Open {1} now.{2}", "%d files", "Say \"hi\"", "café é"}));
    EXPECT_EQ(Write(d, {}), po);
    WriteReport r;
    const std::string out = Write(d, {"现在打开{1}。{2}", std::nullopt, "说“嗨”和\"好\""}, &r);
    EXPECT_EQ(r.translated, 2u);
    EXPECT_EQ(r.left, 2u);
    EXPECT_NE(
        out.find("#: src/a.c:10\n#, c-format\nmsgctxt \"menu\"\nmsgid \"Open %s now.\\n\"\nmsgstr \"现在打开%s。\\n\"\n"),
        std::string::npos)
        << out;
    EXPECT_NE(out.find("msgid_plural \"%d files\"\nmsgstr[0] \"\"\n\n"), std::string::npos) << out;
    EXPECT_NE(out.find("msgstr \"说“嗨”和\\\"好\\\"\"\n"), std::string::npos) << out;
    EXPECT_NE(out.find("\"Language: zh_CN\\n\""), std::string::npos);
    EXPECT_NE(out.find("\"Plural-Forms: nplurals=1; plural=0;\\n\""), std::string::npos);
    qbtest::TempDir dir;
    qbtest::WriteFile(dir / "out.po", out);
    EXPECT_EQ(Shell("msgfmt --check -o /dev/null " + dir / "out.po"), "");
}

// Debian's own catalogues, unpacked: nothing translated gives the same bytes; every message
// translated as itself gives a catalogue msgfmt --check accepts.
TEST(Po, RoundTripOnTheSystemsCatalogues) {
    const std::vector<std::string> mos = SystemFiles("/usr/share/locale", ".mo", 400);
    if (mos.empty()) GTEST_SKIP() << "no .mo catalogues installed";
    qbtest::TempDir dir;
    std::size_t tried = 0;
    for (std::size_t i = 0; i < mos.size() && tried < 8; i += std::max<std::size_t>(1, mos.size() / 8)) {
        const std::string po = dir / ("c" + std::to_string(i) + ".po");
        if (Shell("msgunfmt -o " + po + " " + mos[i]) != "" || !qbtest::Exists(po)) continue;
        const std::string bytes = qbtest::ReadFile(po);
        if (bytes.empty()) continue; // a catalogue without messages
        Document d;
        try {
            d = ReadAs(Format::Po, bytes);
        } catch (const DocError& e) {
            ADD_FAILURE() << mos[i] << ": " << e.what();
            continue;
        }
        ++tried;
        EXPECT_EQ(Write(d, {}), bytes) << mos[i];
        qbtest::WriteFile(po + ".out.po", Write(d, Identity(d)));
        EXPECT_EQ(Shell("msgfmt --check -o /dev/null " + po + ".out.po"), "") << mos[i];
        EXPECT_EQ(Texts(ReadAs(Format::Po, qbtest::ReadFile(po + ".out.po"))), Texts(d)) << mos[i];
    }
    EXPECT_GT(tried, 0u);
}

TEST(RoundTrip, TheSystemsHtmlAndMarkdown) {
    std::size_t tried = 0;
    for (const auto& [ext, format] :
         {std::pair{".html", Format::Html}, std::pair{".md", Format::Markdown}}) {
        for (const std::string& path : SystemFiles("/usr/share/doc", ext, 40)) {
            const std::string bytes = qbtest::ReadFile(path);
            Document d;
            try {
                d = ReadAs(format, bytes);
            } catch (const DocError&) {
                continue; // not UTF-8: refused with a message, tested elsewhere
            }
            ++tried;
            EXPECT_EQ(Write(d, {}), bytes) << path;
            EXPECT_EQ(Texts(ReadAs(format, Write(d, Identity(d)))), Texts(d)) << path;
        }
    }
    if (tried == 0) GTEST_SKIP() << "no HTML or Markdown under /usr/share/doc";
}

TEST(Office, WordParagraphsRunsAndEveryOtherPartKept) {
    const std::string docx = MakeDocx();
    const Document d = ReadAs(Format::Docx, docx);
    ASSERT_EQ(Texts(d), (std::vector<std::string>{"Getting started",
                                                  "Press {1}OK{/1} to go on & on.", "Cell text"}));
    EXPECT_EQ(Write(d, {}), docx);
    const std::string out = Write(d, {std::nullopt, "按{1}确定{/1}继续 & 继续。", "单元格"});
    const auto before = Unzip(docx), after = Unzip(out);
    ASSERT_EQ(after.size(), before.size());
    EXPECT_EQ(after.at("word/styles.xml"), before.at("word/styles.xml"));
    const std::string& body = after.at("word/document.xml");
    EXPECT_NE(body.find("<w:r><w:t>Getting started</w:t></w:r>"), std::string::npos);
    EXPECT_NE(
        body.find(
            "<w:r><w:t xml:space=\"preserve\">按</w:t></w:r><w:r><w:rPr><w:b/></w:rPr><w:t "
            "xml:space=\"preserve\">确定</w:t></w:r><w:r><w:t xml:space=\"preserve\">继续 &amp; 继续。</w:t></w:r>"),
        std::string::npos)
        << body;
    EXPECT_EQ(Texts(ReadAs(Format::Docx, out))[2], "单元格");
}

// A tab or a break inside a run is a placeholder of its own; the run's text is translated.
TEST(Office, WordTabsAndBreaksInARunArePlaceholdersOfTheirOwn) {
    const std::string body =
        R"(<w:document xmlns:w="w"><w:body><w:p><w:r><w:tab/><w:t>Name:</w:t><w:tab/><w:t>Ann</w:t>)"
        R"(<w:br/></w:r><w:r><w:rPr><w:i/></w:rPr><w:t>Smith</w:t></w:r></w:p></w:body></w:document>)";
    const Document d = ReadAs(Format::Docx, MakeDocx(body));
    ASSERT_EQ(Texts(d), std::vector<std::string>{"{1}Name:{2}Ann{3}{4}Smith{/4}"});
    EXPECT_NE(
        Unzip(Write(d, {"{1}姓名：{2}安{3}{4}史密斯{/4}"}))
            .at("word/document.xml")
            .find(R"(<w:p><w:r><w:tab/></w:r><w:r><w:t xml:space="preserve">姓名：</w:t></w:r>)"
                  R"(<w:r><w:tab/></w:r><w:r><w:t xml:space="preserve">安</w:t></w:r><w:r><w:br/></w:r>)"
                  R"(<w:r><w:rPr><w:i/></w:rPr><w:t xml:space="preserve">史密斯</w:t></w:r></w:p>)"),
        std::string::npos)
        << Unzip(Write(d, {"{1}姓名：{2}安{3}{4}史密斯{/4}"})).at("word/document.xml");
}

// Text beside a note's reference or a symbol, and inside a tracked insertion, a content
// control or a smart tag, is the paragraph's text; the wrappers come back as they were.
TEST(Office, WordTextBesideOrInsideOtherElementsIsOffered) {
    const struct {
        const char* paragraph;
        const char* unit;
        const char* translation;
        const char* kept; // in the export
    } cases[] = {
        {R"(<w:r><w:t>See</w:t><w:footnoteReference w:id="1"/><w:t xml:space="preserve"> here.</w:t></w:r>)",
         "See{1} here.", "见{1}此处。", R"(<w:footnoteReference w:id="1"/>)"},
        {R"(<w:r><w:t>A</w:t><w:sym w:font="Symbol" w:char="F0B7"/><w:t>B</w:t></w:r>)", "A{1}B",
         "甲{1}乙", R"(<w:sym w:font="Symbol" w:char="F0B7"/>)"},
        {R"(<w:r><w:t xml:space="preserve">Name: </w:t></w:r><w:ins w:id="1" w:author="a">)"
         R"(<w:r><w:t>Ann</w:t></w:r></w:ins><w:r><w:t xml:space="preserve"> please.</w:t></w:r>)",
         "Name: {1}Ann{/1} please.", "名字：{1}安{/1}，谢谢。", R"(<w:ins w:id="1" w:author="a">)"},
        {R"(<w:r><w:t xml:space="preserve">Name: </w:t></w:r><w:sdt><w:sdtPr><w:alias w:val="n"/>)"
         R"(</w:sdtPr><w:sdtContent><w:r><w:t>Ann</w:t></w:r></w:sdtContent></w:sdt><w:r><w:t>.</w:t></w:r>)",
         "Name: {1}Ann{/1}.", "名字：{1}安{/1}。", R"(<w:alias w:val="n"/></w:sdtPr><w:sdtContent>)"},
        {R"(<w:smartTag w:element="place"><w:r><w:t>Paris</w:t></w:r></w:smartTag>)"
         R"(<w:r><w:t xml:space="preserve"> is big.</w:t></w:r>)",
         "{1}Paris{/1} is big.", "{1}巴黎{/1}很大。", R"(<w:smartTag w:element="place">)"},
    };
    for (const auto& c : cases) {
        const Document d =
            ReadAs(Format::Docx, MakeDocx(std::string(R"(<w:document xmlns:w="w"><w:body><w:p>)") +
                                          c.paragraph + "</w:p></w:body></w:document>"));
        ASSERT_EQ(Texts(d), std::vector<std::string>{c.unit}) << c.paragraph;
        const std::string out = Write(d, {c.translation});
        EXPECT_NE(Unzip(out).at("word/document.xml").find(c.kept), std::string::npos) << c.paragraph;
        EXPECT_EQ(Texts(ReadAs(Format::Docx, out)), std::vector<std::string>{c.translation})
            << c.paragraph;
    }
}

// Headers, footers and the title are offered; a paragraph deleted under change tracking is not.
TEST(Office, OdtHeadersFootersAndTitleButNoDeletedParagraphs) {
    const std::string content =
        R"(<office:document-content xmlns:office="o" xmlns:text="t"><office:body><office:text>)"
        R"(<text:tracked-changes><text:changed-region text:id="c1"><text:deletion>)"
        R"(<office:change-info/><text:p>Gone.</text:p></text:deletion></text:changed-region>)"
        R"(</text:tracked-changes><text:p>Kept<text:change text:change-id="c1"/>.</text:p>)"
        R"(</office:text></office:body></office:document-content>)";
    const std::string styles =
        R"(<office:document-styles xmlns:office="o" xmlns:style="s" xmlns:text="t">)"
        R"(<office:master-styles><style:master-page style:name="Standard"><style:header>)"
        R"(<text:p>Finances</text:p></style:header><style:footer><text:p>Page <text:page-number/>)"
        R"(</text:p></style:footer></style:master-page></office:master-styles></office:document-styles>)";
    const std::string meta =
        R"(<office:document-meta xmlns:office="o" xmlns:dc="d"><office:meta>)"
        R"(<dc:title>Annual report</dc:title></office:meta></office:document-meta>)";
    const Document d =
        ReadAs(Format::Odt, Zip({{"mimetype", "application/vnd.oasis.opendocument.text"},
                                 {"content.xml", content},
                                 {"styles.xml", styles},
                                 {"meta.xml", meta}}));
    const std::vector<std::string> units{"Kept{1}.", "Finances", "Page {1}", "Annual report"};
    ASSERT_EQ(Texts(d), units);
    const std::vector<std::string> zh{"留下{1}。", "财务", "第{1}页", "年度报告"};
    EXPECT_EQ(Texts(ReadAs(Format::Odt, Write(d, {zh[0], zh[1], zh[2], zh[3]}))), zh);
}

TEST(Office, OdtSpansArePairs) {
    const std::string content =
        R"(<?xml version="1.0" encoding="UTF-8"?><office:document-content xmlns:office="o" )"
        R"(xmlns:text="t"><office:body><office:text><text:h text:outline-level="1">Title</text:h>)"
        R"(<text:p>A <text:span text:style-name="T1">bold</text:span> word<text:s/>here.</text:p>)"
        R"(<text:p>Noted<text:note><text:note-body><text:p>The note.</text:p></text:note-body></text:note>.</text:p>)"
        R"(</office:text></office:body></office:document-content>)";
    const std::string odt =
        Zip({{"mimetype", "application/vnd.oasis.opendocument.text"}, {"content.xml", content}});
    const Document d = ReadAs(Format::Odt, odt);
    ASSERT_EQ(Texts(d), (std::vector<std::string>{"Title", "A {1}bold{/1} word{2}here.",
                                                  "Noted{1}.", "The note."}));
    EXPECT_EQ(Write(d, {}), odt);
    const auto after = Unzip(Write(d, {"标题", "一个{1}粗{/1}字{2}。", "注{1}。", "注释。"}));
    // The note's paragraph translated inside its paragraph's placeholder.
    EXPECT_NE(
        after.at("content.xml")
            .find("<text:p>注<text:note><text:note-body><text:p>注释。</text:p></text:note-body></text:note>。</text:p>"),
        std::string::npos)
        << after.at("content.xml");
    EXPECT_NE(Unzip(Write(d, {std::nullopt, std::nullopt, std::nullopt, "注释。"}))
                  .at("content.xml")
                  .find("<text:p>Noted<text:note><text:note-body><text:p>注释。</text:p>"),
              std::string::npos);
    EXPECT_EQ(after.at("mimetype"), "application/vnd.oasis.opendocument.text");
    EXPECT_NE(
        after.at("content.xml")
            .find(R"(<text:p>一个<text:span text:style-name="T1">粗</text:span>字<text:s/>。</text:p>)"),
        std::string::npos);
}

// Bad input: each refused with a reason, before anything is shown or written.
TEST(Office, OdtSpansOfOneStyleSideBySideAreOnePair) {
    const std::string content =
        R"(<?xml version="1.0" encoding="UTF-8"?><office:document-content xmlns:office="o" )"
        R"(xmlns:text="t"><office:body><office:text><text:p>A <text:span text:style-name="T1">bo</text:span>)"
        R"(<text:span text:style-name="T1">ld</text:span><text:span text:style-name="T2">!</text:span></text:p>)"
        R"(</office:text></office:body></office:document-content>)";
    const Document d = ReadAs(Format::Odt, Zip({{"content.xml", content}}));
    ASSERT_EQ(Texts(d), std::vector<std::string>{"A {1}bold{/1}{2}!{/2}"});
    EXPECT_NE(Unzip(Write(d, {"一个{1}粗{/1}{2}！{/2}"}))
                  .at("content.xml")
                  .find(R"(<text:p>一个<text:span text:style-name="T1">粗</text:span>)"
                        R"(<text:span text:style-name="T2">！</text:span></text:p>)"),
              std::string::npos);
}

// Packages made to exhaust the reader: each is refused with its reason, whatever its ratio.
TEST(BadInput, OfficePackagesMadeToExhaustTheReaderAreRefused) {
    std::string spans, paras;
    for (int i = 0; i < 20000; ++i) spans += "<text:span>";
    spans += "x";
    for (int i = 0; i < 20000; ++i) spans += "</text:span>";
    for (int i = 0; i < 50000; ++i) paras += "<w:p>";
    paras += "<w:r><w:t>x</w:t></w:r>";
    for (int i = 0; i < 50000; ++i) paras += "</w:p>";
    const std::string odfHead = R"(<office:document-content xmlns:office="o" xmlns:text="t">)"
                                R"(<office:body><office:text><text:p>)";
    const std::string odfTail = "</text:p></office:text></office:body></office:document-content>";
    const std::string docHead = R"(<w:document xmlns:w="w"><w:body>)";
    const std::string docTail = "</w:body></w:document>";
    // 20 MB of runs packs to a few tens of KB: under the 400 MB total, past the bytes allowed
    // for a file of that size.
    std::string runs = docHead + "<w:p>";
    while (runs.size() < (20u << 20)) runs += "<w:r><w:t>Hello</w:t></w:r>";
    runs += "</w:p>" + docTail;
    const struct {
        const char* name;
        Format format;
        std::string bytes;
        const char* reason;
    } cases[] = {
        {"20,000 nested spans", Format::Odt, Zip({{"content.xml", odfHead + spans + odfTail}}),
         "嵌套超过"},
        {"50,000 nested paragraphs", Format::Docx, MakeDocx(docHead + paras + docTail), "嵌套超过"},
        {"20 MB of XML in a small package", Format::Docx, MakeDocx(runs), "疑似压缩炸弹"},
        {"two bodies", Format::Docx,
         Zip({{"word/document.xml", kDocxBody}, {"word/document.xml", kDocxBody}}), "同名条目"},
    };
    for (const auto& c : cases) {
        try {
            Read(c.format, c.bytes);
            ADD_FAILURE() << c.name << ": accepted";
        } catch (const DocError& e) {
            EXPECT_NE(std::string(e.what()).find(c.reason), std::string::npos)
                << c.name << ": " << e.what();
        }
    }
}

// A body stored unpacked is deflated on export; repeated runs compress past 300:1, and the
// export must still open.
TEST(Office, AnExportOfAStoredBodyOpensAgain) {
    std::string body = R"(<w:document xmlns:w="w"><w:body>)";
    for (int i = 0; i < 3000; ++i)
        body += R"(<w:p><w:r><w:rPr><w:b/></w:rPr><w:t>Same line</w:t></w:r></w:p>)";
    body += "</w:body></w:document>";
    QByteArray bytes;
    QBuffer buffer(&bytes);
    QuaZip zip(&buffer);
    ASSERT_TRUE(zip.open(QuaZip::mdCreate));
    QuaZipFile f(&zip);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly, QuaZipNewInfo("word/document.xml"), nullptr, 0, 0));
    f.write(body.data(), qint64(body.size()));
    f.close();
    zip.close();
    const Document d = ReadAs(Format::Docx, std::string(bytes.constData(), std::size_t(bytes.size())));
    ASSERT_EQ(d.units.size(), 3000u);
    const std::vector<std::optional<std::string>> zh(3000, std::string("同一行"));
    const Document again = ReadAs(Format::Docx, Write(d, zh));
    EXPECT_EQ(Texts(again), std::vector<std::string>(3000, "同一行"));
}

TEST(BadInput, RefusedWithAReason) {
    std::string bomb =
        "<?xml version=\"1.0\"?><!DOCTYPE lolz [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;\">]>"
        "<w:document xmlns:w=\"x\"><w:body><w:p><w:r><w:t>&b;</w:t></w:r></w:p></w:body></w:document>";
    Limits small;
    small.maxUnpackedBytes = 1 << 20;
    const struct {
        const char* name;
        Format format;
        std::string bytes;
        const char* reason;
    } cases[] = {
        {"unterminated PO string", Format::Po, "msgid \"Hello\nmsgstr \"\"\n",
         "第 1 行：字符串缺少结尾的引号"},
        {"PO keyword unknown", Format::Po, "msgid \"a\"\nmsgfoo \"\"\n", "第 2 行：不认识的关键字"},
        {"docx that is not a zip", Format::Docx, "Just some text, not a package.", "文件不是 zip 包"},
        {"docx without a body", Format::Docx, Zip({{"a.txt", "x"}}), "包中没有正文"},
        {"entity bomb", Format::Docx, MakeDocx(bomb), "文档类型定义"},
        {"broken XML", Format::Docx, MakeDocx("<w:document><w:p></w:document>"), "XML 格式不正确"},
        // An entity no document type defines: refused, not dropped from "A  B" nor kept as "&e;".
        {"undefined entity", Format::Odt,
         Zip({{"content.xml", "<office:text><text:p>A &e; B</text:p></office:text>"}}),
         "实体 &e; 未在文件中定义"},
        {"zip bomb", Format::Docx, Zip({{"word/document.xml", std::string(3u << 20, ' ')}}),
         "疑似压缩炸弹"},
        {"binary .txt", Format::Text,
         std::string("\x7F"
                     "ELF\x02\x01\x01\0\0\0\0\0",
                     12),
         "二进制"},
        {"binary .md", Format::Markdown, std::string("PNG\0\x1A\n", 6), "二进制"},
        {"srt without timecodes", Format::Srt, "1\nHello\n", "缺少时间码"},
    };
    for (const auto& c : cases) {
        try {
            Read(c.format, c.bytes, small);
            ADD_FAILURE() << c.name << ": accepted";
        } catch (const DocError& e) {
            EXPECT_NE(std::string(e.what()).find(c.reason), std::string::npos)
                << c.name << ": " << e.what();
        }
    }
}

TEST(BadInput, ProgressCanCancelABigFile) {
    std::string big;
    while (big.size() < (3u << 20)) big += "A paragraph of some words.\n\n";
    std::size_t calls = 0;
    EXPECT_THROW(Read(Format::Text, big, {}, [&](std::size_t, std::size_t) { return ++calls < 2; }),
                 Cancelled);
    EXPECT_EQ(calls, 2u);
}

// A TMX made by a PO editor holds each message whole: a message of two sentences is filled by
// that pair, never left in English because neither sentence is stored alone; a message whose
// sentences are stored one by one is still filled by them joined.
TEST(FromMemory, AWholeMessagePairFillsAMessageOfTwoSentences) {
    qbtest::TempDir dir;
    qb::tm::TTranslationMemory tm(dir / "m.db");
    const std::string tmx =
        "<?xml version=\"1.0\"?><tmx version=\"1.4\"><header srclang=\"en\"/><body>"
        "<tu><tuv xml:lang=\"en\"><seg>Your password was changed. Log in again.</seg></tuv>"
        "<tuv xml:lang=\"zh-CN\"><seg>密码已更改，请重新登录。</seg></tuv></tu>"
        "<tu><tuv xml:lang=\"en\"><seg>Save it.</seg></tuv><tuv xml:lang=\"zh-CN\"><seg>保存。</seg></tuv></tu>"
        "<tu><tuv xml:lang=\"en\"><seg>Then quit.</seg></tuv><tuv xml:lang=\"zh-CN\"><seg>然后退出。</seg></tuv></tu>"
        "</body></tmx>";
    ASSERT_EQ(qb::tm::ImportTmx(tm, tmx).added, 3u);
    const Document d =
        ReadAs(Format::Po, "msgid \"Your password was changed. \"\n\"Log in again.\"\nmsgstr \"\"\n\n"
                           "msgid \"Save it. Then quit.\"\nmsgstr \"\"\n\n"
                           "msgid \"Save it. Unknown.\"\nmsgstr \"\"\n");
    const auto t = TranslateFromMemory(d, tm);
    ASSERT_EQ(t.size(), 3u);
    EXPECT_EQ(t[0], std::optional<std::string>("密码已更改，请重新登录。"));
    EXPECT_EQ(t[1], std::optional<std::string>("保存。然后退出。"));
    EXPECT_FALSE(t[2]);
    const std::string out = Write(d, t);
    EXPECT_NE(out.find("msgstr \"密码已更改，请重新登录。\""), std::string::npos) << out;
    EXPECT_EQ(Statistics(d, &tm).translated, 2u);
}

TEST(FromMemory, UnitsTranslatedSentenceBySentence) {
    EXPECT_EQ(Sentences("Open the file. Then save it.{1} Done"),
              (std::vector<std::string>{"Open the file.", "Then save it.{1} Done"}));
    qbtest::TempDir dir;
    qb::tm::TTranslationMemory tm(dir / "m.db");
    tm.Record("Open the file.", "打开文件。", 100);
    tm.Record("Open the file.", "打开该文件。", 200); // the newer one counts
    tm.Record("Then save it.", "然后{1}保存{/1}。", 100);
    const Document d =
        ReadAs(Format::Markdown, "Open the file. Then *save* it.\n\nOpen the file. Unknown.\n");
    ASSERT_EQ(Texts(d), (std::vector<std::string>{"Open the file. Then {1}save{/1} it.",
                                                  "Open the file. Unknown."}));
    const auto t = TranslateFromMemory(d, tm);
    EXPECT_EQ(t[0], std::optional<std::string>()); // "Then {1}save{/1} it." is not in the memory
    tm.Record("Then {1}save{/1} it.", "然后{1}保存{/1}。", 300);
    const auto t2 = TranslateFromMemory(d, tm);
    EXPECT_EQ(t2[0], std::optional<std::string>("打开该文件。然后{1}保存{/1}。"));
    EXPECT_FALSE(t2[1]);
    EXPECT_EQ(Write(d, t2), "打开该文件。然后*保存*。\n\nOpen the file. Unknown.\n");
    const DocStats st = Statistics(d, &tm);
    EXPECT_EQ(st.units, 2u);
    EXPECT_EQ(st.translated, 1u);
    EXPECT_EQ(st.words, 10u);
    EXPECT_EQ(st.hanzi, 9u);
    EXPECT_EQ(st.bandSentences[0], 1u); // "Open the file." of the unit left
    EXPECT_EQ(st.bandSentences[4], 1u); // "Unknown."
}
