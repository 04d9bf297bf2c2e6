// TMX in and out: round trips through bytes and files, what is read from other tools' files,
// and bad input, which imports nothing.
#include "TmxFormat.h"

#include "MyUtils.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace qb::tm;
using qbtest::TempDir;

namespace {

std::vector<std::string> Lines(TTranslationMemory& tm) {
    std::vector<std::string> out;
    tm.ForEachPair([&](const Pair& p) {
        out.push_back(p.source + " | " + p.target + " | " + std::to_string(p.created) + " " +
                      std::to_string(p.changed));
    });
    return out;
}

std::string Tmx(const std::string& body) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<tmx version=\"1.4\"><header srclang=\"en\"/><body>" +
           body + "</body></tmx>\n";
}

std::vector<TmxUnit> Read(const std::string& bytes, TmxCounts* counts = nullptr) {
    std::vector<TmxUnit> units;
    TmxCounts c = ReadTmx(bytes, [&](const TmxUnit& u) { units.push_back(u); });
    if (counts) *counts = c;
    return units;
}

} // namespace

// The export is a full backup: earlier translations come back too, with their times.
TEST(Tmx, ExportImportsIntoAnEmptyMemoryWithTheSamePairsAndHistory) {
    TempDir dir;
    TTranslationMemory tm(dir / "a.db");
    tm.Record("Fish & chips <cheap> \"now\" 'here'.", "炸鱼薯条 & <便宜>", 1765000000);
    tm.Record("Two lines.", "第一行\n第二行", 1765000100);
    tm.Record("Tabs\tand  spaces.", "制表符\t和空格", 1765000200);
    tm.Record("A control \x01 character.", "控制\x02字符", 1765000300);
    tm.Record("Two lines.", "两行。", 1765000400);
    tm.Record("Two lines.", "二行。", 1765000500);
    std::size_t n = 0;
    const QByteArray bytes = ExportTmx(tm, &n);
    EXPECT_EQ(n, 6u);
    EXPECT_TRUE(bytes.contains("<tuv xml:lang=\"zh-CN\">"));
    EXPECT_TRUE(bytes.contains("changedate=\"20251206T055320Z\""));

    TTranslationMemory copy(dir / "b.db");
    const ImportReport r =
        ImportTmx(copy, std::string_view(bytes.constData(), std::size_t(bytes.size())));
    EXPECT_EQ(r.counts.units, 6u);
    EXPECT_EQ(r.added, 4u);
    EXPECT_EQ(r.replaced, 2u);
    std::vector<std::string> expected = Lines(tm);
    expected[3] =
        "A control \xEF\xBF\xBD character. | 控制\xEF\xBF\xBD字符 | 1765000300 1765000300"; // XML cannot carry U+0001
    EXPECT_EQ(Lines(copy), expected);
    auto history = [](TTranslationMemory& m) {
        std::string out;
        for (const Earlier& e : m.History("Two lines."))
            out += e.target + "@" + std::to_string(e.changed) + " ";
        return out;
    };
    EXPECT_EQ(history(copy), "两行。@1765000400 第一行\n第二行@1765000100 ");
    EXPECT_EQ(history(copy), history(tm));

    // A second import of the same file changes nothing.
    const ImportReport again =
        ImportTmx(copy, std::string_view(bytes.constData(), std::size_t(bytes.size())));
    EXPECT_EQ(again.unchanged, 6u);
    EXPECT_EQ(Lines(copy), expected);
    EXPECT_EQ(history(copy), history(tm));
}

TEST(Tmx, ReadsEnglishAndSimplifiedChineseSkipsTheRest) {
    TmxCounts c;
    const std::vector<TmxUnit> units = Read(
        Tmx("<tu changedate=\"20240102T030405Z\">"
            "<tuv xml:lang=\"EN-US\"><seg>Press <bpt i=\"1\">&lt;b&gt;</bpt>OK<ept i=\"1\">&lt;/b&gt;</ept> <hi>now</hi>.</seg></tuv>"
            "<tuv xml:lang=\"de\"><seg>Drücken Sie OK.</seg></tuv>"
            "<prop type=\"x\">ignored</prop>"
            "<tuv xml:lang=\"zh-Hans\"><seg>按<ph x=\"1\">{0}</ph>确定。</seg></tuv></tu>"
            "<tu><tuv lang=\"en\"><seg>Old style.</seg></tuv><tuv lang=\"zh-CN\"><seg>旧式。</seg></tuv></tu>"
            "<tu><tuv xml:lang=\"en\"><seg>Only English.</seg></tuv><tuv xml:lang=\"zh-TW\"><seg>繁體。</seg></tuv></tu>"
            "<tu><tuv xml:lang=\"fr\"><seg>Rien.</seg></tuv></tu>"),
        &c);
    ASSERT_EQ(units.size(), 2u);
    EXPECT_EQ(units[0].en, "Press OK now.");
    EXPECT_EQ(units[0].zh, "按确定。");
    EXPECT_EQ(units[0].changed, ParseTmxDate("20240102T030405Z"));
    EXPECT_EQ(units[1].en, "Old style.");
    EXPECT_EQ(c.units, 4u);
    EXPECT_EQ(c.pairs, 2u);
    EXPECT_EQ(c.otherTuvs, 3u);
    EXPECT_EQ(c.otherLanguages, (std::vector<std::string>{"de", "fr", "zh-TW"}));
    EXPECT_EQ(c.incomplete, 2u);
}

TEST(Tmx, AnOlderFileDoesNotOverwriteNewerWork) {
    TempDir dir;
    TTranslationMemory tm(dir / "m.db");
    tm.Record("Open the file.", "打开文件。", ParseTmxDate("20260101T000000Z"));
    const ImportReport r = ImportTmx(
        tm, Tmx("<tu changedate=\"20200101T000000Z\"><tuv xml:lang=\"en\"><seg>Open the file.</seg></tuv>"
                "<tuv xml:lang=\"zh-CN\"><seg>开启档案。</seg></tuv></tu>"));
    EXPECT_EQ(r.history, 1u);
    EXPECT_EQ(tm.Matches("Open the file.").at(0).pair.target, "打开文件。");
    EXPECT_EQ(tm.History("Open the file.").at(0).target, "开启档案。");
}

TEST(Tmx, BadInputImportsNothing) {
    const std::string good =
        "<tu><tuv xml:lang=\"en\"><seg>Good.</seg></tuv><tuv xml:lang=\"zh-CN\"><seg>好。</seg></tuv></tu>";
    struct Case {
        const char* what;
        std::string bytes;
        const char* message;
    } cases[] = {
        {"empty", " \n", "not a TMX file (the file is empty)"},
        {"not XML", "key\tvalue\n", "TMX line 1"},
        {"another XML", "<?xml version=\"1.0\"?><html><body/></html>", "root element is <html>"},
        {"cut off", Tmx(good).substr(0, Tmx(good).size() - 14), "TMX line"},
        {"NUL byte", Tmx(good + std::string("<tu>\0</tu>", 10)), "TMX line"},
        {"half a character", Tmx(good + "<tu><tuv xml:lang=\"en\"><seg>\xE5\xA5</seg></tuv></tu>"),
         "TMX line"},
        {"mismatched tags", Tmx(good + "<tu><tuv></tu></tuv>"), "TMX line"},
        {"entity bomb",
         "<?xml version=\"1.0\"?><!DOCTYPE tmx [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">"
         "<!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\"><!ENTITY d \"&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;\">]>"
         "<tmx><body><tu><tuv xml:lang=\"en\"><seg>&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;</seg></tuv></tu></body></tmx>",
         "TMX line"},
        {"one wide entity used often",
         "<?xml version=\"1.0\"?><!DOCTYPE tmx [<!ENTITY w \"" + std::string(4000, 'w') +
             "\">]><tmx><body><tu><tuv xml:lang=\"en\"><seg>" +
             [] {
                 std::string refs;
                 for (int i = 0; i < 1000; ++i) refs += "&w;";
                 return refs;
             }() +
             "</seg></tuv></tu></body></tmx>",
         "declares entities"},
        {"external entity",
         "<?xml version=\"1.0\"?><!DOCTYPE tmx SYSTEM \"tmx14.dtd\"><tmx><body>" + good +
             "<tu><tuv xml:lang=\"en\"><seg>A &e; B</seg></tuv></tu></body></tmx>",
         "the entity &e; is not defined"},
    };
    TempDir dir;
    TTranslationMemory tm(dir / "m.db");
    for (const Case& c : cases) {
        try {
            ImportTmx(tm, c.bytes);
            ADD_FAILURE() << c.what << ": accepted";
        } catch (const TmxError& e) {
            EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos)
                << c.what << ": " << e.what();
        }
        EXPECT_EQ(tm.PairCount(), 0u) << c.what; // the good unit before the fault is undone too
    }
}

TEST(Tmx, FilesAreTheOuterShell) {
    TempDir dir;
    TTranslationMemory tm(dir / "m.db");
    tm.Record("Saved.", "已保存。", 1);
    EXPECT_EQ(ExportTmxFile(tm, dir / "out.tmx"), 1u);
    TTranslationMemory copy(dir / "copy.db");
    EXPECT_EQ(ImportTmxFile(copy, dir / "out.tmx").added, 1u);
    EXPECT_THROW(ImportTmxFile(copy, dir / "missing.tmx"), qb::FileError);
    try {
        ExportTmxFile(tm, dir / "no/such/folder/out.tmx");
        FAIL() << "exported into a missing folder";
    } catch (const qb::FileError& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot create file " + dir / "no/such/folder/out.tmx");
    }
}

TEST(Tmx, DatesAndLanguageCodes) {
    EXPECT_EQ(TmxDate(0), "19700101T000000Z");
    EXPECT_EQ(ParseTmxDate(TmxDate(1765000000)), 1765000000);
    for (const char* bad : {"", "2024-01-02", "20241302T000000Z", "2024010XT000000Z"})
        EXPECT_EQ(ParseTmxDate(bad), 0) << bad;
    for (const char* zh : {"zh", "zh-CN", "ZH_cn", "zh-Hans-CN", "zh-SG"})
        EXPECT_TRUE(IsSimplifiedChineseCode(zh)) << zh;
    for (const char* no : {"zh-TW", "zh-Hant-HK", "zh-HK", "ja", "z"})
        EXPECT_FALSE(IsSimplifiedChineseCode(no)) << no;
    for (const char* en : {"en", "EN-GB", "en_US"}) EXPECT_TRUE(IsEnglishCode(en)) << en;
    EXPECT_FALSE(IsEnglishCode("eng"));
}
