// Lexicon files in UTF-8 and UTF-16, and the term lists of .tsv, .csv and .tbx: what each reader
// makes of good and bad bytes, and round trips through every writer.
#include "LexiconFormats.h"

#include "GbkText.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

using qb::LexiconFormat;
using qb::LexiconFormatError;
using K = LexiconFormatError::Kind;
using qbtest::Entries;

std::string G(const char* utf8) { return qb::ToGbk(QString::fromUtf8(utf8)); }

// The error a reader throws, or nothing.
std::optional<LexiconFormatError> ErrorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const LexiconFormatError& e) {
        return e;
    }
    return std::nullopt;
}

// A lexicon loaded from GBK text lexicon lines, as Load reads a text lexicon.
struct Lexicon {
    qb::TQbDict dict;
    explicit Lexicon(std::string_view gbkLines) { dict.LoadEntriesFromBytes(gbkLines, false); }
};

std::vector<std::string> EntriesOf(std::string_view bytes, LexiconFormat format) {
    Lexicon l(qb::LexiconBytesToGbkLines(bytes, format));
    return Entries(l.dict);
}

// ---- text lexicons: which encoding, and what comes out ----

TEST(TextLexicon, Utf8WithOrWithoutMarkAndUtf16GiveTheGbkEntries) {
    const std::string gbk = "kernel scheduler\t" + G("内核调度器") + "\r\n";
    const std::string utf8 = "kernel scheduler\t内核调度器\r\n";
    QString text = QString::fromUtf8(utf8.c_str());
    std::string utf16le("\xFF\xFE", 2);
    for (QChar c : text) utf16le += {char(c.unicode() & 0xFF), char(c.unicode() >> 8)};
    std::string utf16be("\xFE\xFF", 2);
    for (QChar c : text) utf16be += {char(c.unicode() >> 8), char(c.unicode() & 0xFF)};
    EXPECT_EQ(qb::TextLexiconToGbk(utf8), gbk);
    EXPECT_EQ(qb::TextLexiconToGbk("\xEF\xBB\xBF" + utf8), gbk);
    EXPECT_EQ(qb::TextLexiconToGbk(utf16le), gbk);
    EXPECT_EQ(qb::TextLexiconToGbk(utf16be), gbk);
}

TEST(TextLexicon, EncodingIsRecognisedByTheBytes) {
    struct Case {
        std::string bytes;
        qb::TextEncoding expected;
    };
    // clang-format off
    const std::vector<Case> cases = {
        {"apple\tpie\r\n", qb::TextEncoding::Gbk},            // ASCII is read as it is
        {G("内核调度器"), qb::TextEncoding::Gbk},            // C4 DA BA CB ... is no UTF-8
        {"\xC2\xA1", qb::TextEncoding::Utf8},                 // valid UTF-8 wins (as 隆 in GBK)
        {"a\t\xE5\x86\x85\xE6", qb::TextEncoding::Utf8},      // UTF-8 with its last character cut
        {"a\t\xE5\x86\x85\xFF", qb::TextEncoding::Gbk},       // an impossible byte: not UTF-8
        {std::string("ab\t\xE5\x86\x85\0\xFF", 8), qb::TextEncoding::Utf8}, // after a NUL: no text
        {"\xEF\xBB\xBF" "abc", qb::TextEncoding::Utf8},
    };
    // clang-format on
    for (const Case& c : cases) EXPECT_EQ(qb::DetectTextEncoding(c.bytes), c.expected) << c.bytes;
}

TEST(TextLexicon, GbkBytesComeBackUnchangedEvenWhenBroken) {
    // The text lexicon's own rules stay: any bytes are accepted, a NUL ends the text later.
    for (const std::string& bytes :
         {G("苹果") + "\t" + G("树") + "\r\n", std::string("bad\t\xFF\xFE\r\n"),
          std::string("half\t\xD6", 6), std::string("a\tb\0\xFF\xFF", 6)})
        EXPECT_EQ(qb::TextLexiconToGbk(bytes), bytes);
}

TEST(TextLexicon, CharacterGbkCannotHoldNamesItsLine) {
    struct Case {
        const char* utf8;
        long long line;
        const char* character;
    };
    const std::vector<Case> cases = {
        {"a\t甲\r\nb\t乙\r\nsmile\t笑😀\r\n", 3, "😀"},
        {"a\t甲\rb\t乙\nStraße\t街\n", 3, "ß"}, // lone CR and lone LF count too
        {"\xEF\xBB\xBF"
         "rare\t\xF0\xA0\x80\x80\n",
         1, "\xF0\xA0\x80\x80"}, // Extension B U+20000
        {"x\n\ny\tnaïve\n", 3, "ï"},
    };
    for (const Case& c : cases) {
        auto e = ErrorOf([&] { qb::TextLexiconToGbk(c.utf8); });
        ASSERT_TRUE(e) << c.utf8;
        EXPECT_EQ(e->kind, K::NoGbkCode);
        EXPECT_EQ(e->line, c.line) << c.utf8;
        EXPECT_EQ(e->character, QString::fromUtf8(c.character));
    }
    auto e = ErrorOf([] { qb::TextLexiconToGbk("a\t\xF0\x9F\x98\x80\n"); });
    ASSERT_TRUE(e);
    EXPECT_STREQ(e->what(), "line 1: the character \"😀\" (U+1F600) has no GBK code");
    EXPECT_EQ(qb::ChineseMessage(*e, "/home/ann/u8.txt"),
              QString::fromUtf8("文件/home/ann/u8.txt第1行的字符“😀”（U+1F600）不在GBK编码中，"
                                "词库无法保存它。没有添加任何词条。"));
}

TEST(TextLexicon, BrokenUtf8IsAnErrorNamingItsLine) {
    // Marked UTF-8 with a GBK line in it; UTF-8 whose last character is cut off (half a
    // character); odd-length UTF-16.
    auto marked = ErrorOf([] {
        qb::TextLexiconToGbk("\xEF\xBB\xBF"
                             "a\tb\r\nc\t" +
                             G("中") + "\r\n");
    });
    ASSERT_TRUE(marked);
    EXPECT_EQ(marked->kind, K::BadUtf8);
    EXPECT_EQ(marked->line, 2);
    auto half = ErrorOf([] { qb::TextLexiconToGbk("a\t\xE5\x86\x85\nb\t\xE5\x86"); });
    ASSERT_TRUE(half);
    EXPECT_EQ(half->kind, K::BadUtf8);
    EXPECT_EQ(half->line, 2);
    auto odd = ErrorOf([] {
        qb::TextLexiconToGbk(std::string("\xFF\xFE"
                                         "a\0b",
                                         5));
    });
    ASSERT_TRUE(odd);
    EXPECT_EQ(odd->kind, K::BadUtf8);
}

TEST(TextLexicon, Utf8EndsAtNulAsEveryLexiconFile) {
    EXPECT_EQ(qb::TextLexiconToGbk(std::string("a\t内\r\n\0b\t\xFF", 10)), "a\t" + G("内") + "\r\n");
}

// ---- .tsv ----

TEST(Tsv, LanguageHeaderIsNoEntry) {
    EXPECT_EQ(EntriesOf("en-US\tzh-CN\nkernel\t内核\n", LexiconFormat::Tsv),
              (std::vector<std::string>{"kernel\t" + G("内核")}));
    EXPECT_EQ(EntriesOf("en\tzh\r\n", LexiconFormat::Tsv), std::vector<std::string>{});
    // Anything else on the first line is an entry.
    EXPECT_EQ(EntriesOf("end\tzh\n", LexiconFormat::Tsv), (std::vector<std::string>{"end\tzh"}));
}

// ---- .csv ----

TEST(Csv, QuotedFieldsHeaderColumnsAndSenses) {
    const std::string csv = "\xEF\xBB\xBF"
                            "id,ZH,note,en\r\n"
                            "1,\"内核；核心\",\"a, \"\"quoted\"\" note\",Kernel\r\n"
                            "\r\n"
                            "2, 调度器 ,x, scheduler \r\n"
                            "3,\"英寸\",,\"5\"\" screen\"\n"
                            "4,\"两行\n文字\",,two lines\n";
    EXPECT_EQ(EntriesOf(csv, LexiconFormat::Csv),
              (std::vector<std::string>{"5 \" screen\t" + G("英寸"), "kernel\t" + G("内核；核心"),
                                        "scheduler\t" + G("调度器"), "two lines\t" + G("两行 文字")}));
}

TEST(Csv, BadInputNamesItsLine) {
    struct Case {
        std::string csv;
        K kind;
        long long line;
    };
    const std::vector<Case> cases = {
        {"en,de\nkernel,Kern\n", K::MissingColumn, 1},
        {"\n\nterm,zh\n", K::MissingColumn, 3},
        {"", K::MissingColumn, 1},
        {"en,zh\nok,好\napple,苹果,苹果树\n", K::FieldCount, 3}, // an unquoted comma
        {"en,zh,note\nok,好,x\nalone\n", K::FieldCount, 3},
        {"en,zh\nok,好\n\"open,never\nclosed\n", K::UnclosedQuote, 3},
        {"en,zh\n\"a\"b,好\n", K::TextAfterQuote, 2},
        {"en,zh\nok,好\nsmile,😀\n", K::NoGbkCode, 3},
        {"en,zh\nok," + G("好") + "\nbad,\xFF\xFE\n", K::NotGbk, 3},
    };
    for (const Case& c : cases) {
        auto e = ErrorOf([&] { qb::LexiconBytesToGbkLines(c.csv, LexiconFormat::Csv); });
        ASSERT_TRUE(e) << c.csv;
        EXPECT_EQ(e->kind, c.kind) << c.csv << ": " << e->what();
        EXPECT_EQ(e->line, c.line) << c.csv << ": " << e->what();
    }
    // A NUL ends the text: what comes before it is read.
    EXPECT_EQ(EntriesOf(std::string("en,zh\nok,\xE5\xA5\xBD\n\0,", 15), LexiconFormat::Csv),
              (std::vector<std::string>{"ok\t" + G("好")}));
}

TEST(Csv, GbkFileFromASpreadsheetIsReadToo) {
    EXPECT_EQ(EntriesOf("en,zh\r\nkernel," + G("内核") + "\r\n", LexiconFormat::Csv),
              (std::vector<std::string>{"kernel\t" + G("内核")}));
}

// ---- .tbx ----

const char* kTbx = R"(<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE martif SYSTEM "TBXBasiccoreStructV02.dtd">
<martif type="TBX-Basic" xml:lang="en">
 <martifHeader><fileDesc><sourceDesc><p>client glossary</p></sourceDesc></fileDesc></martifHeader>
 <text><body>
  <termEntry id="t1">
   <descrip type="definition">part of an operating system</descrip>
   <langSet xml:lang="en-US"><tig><term>kernel scheduler</term></tig></langSet>
   <langSet xml:lang="de"><tig><term>Scheduler</term></tig></langSet>
   <langSet xml:lang="zh-CN">
    <tig><term>内核调度器</term></tig>
    <ntig><termGrp><term>调度程序</term></termGrp></ntig>
   </langSet>
  </termEntry>
  <termEntry id="t2">
   <langSet xml:lang="de"><tig><term>nur Deutsch</term></tig></langSet>
  </termEntry>
  <termEntry id="t3">
   <langSet xml:lang="en"><tig><term>R&amp;D</term></tig><tig><term>research
     and development</term></tig></langSet>
   <langSet xml:lang="zh"><tig><term>研发</term></tig></langSet>
  </termEntry>
 </body></text>
</martif>
)";

TEST(Tbx, EnglishTermsBecomeKeysAndChineseTermsTheirSenses) {
    EXPECT_EQ(
        EntriesOf(kTbx, LexiconFormat::Tbx),
        (std::vector<std::string>{"kernel scheduler\t" + G("内核调度器；调度程序"),
                                  "r & d\t" + G("研发"), "research and development\t" + G("研发")}));
}

TEST(Tbx, Tbx3ElementNamesAreReadToo) {
    const char* tbx3 = R"(<?xml version="1.0"?>
<tbx type="TBX-Basic" style="dca" xml:lang="en" xmlns="urn:iso:std:iso:30042:ed-2">
 <text><body><conceptEntry id="c1">
  <langSec xml:lang="en"><termSec><term>load balancer</term></termSec></langSec>
  <langSec xml:lang="zh"><termSec><term>负载均衡器</term></termSec></langSec>
 </conceptEntry></body></text></tbx>)";
    EXPECT_EQ(EntriesOf(tbx3, LexiconFormat::Tbx),
              (std::vector<std::string>{"load balancer\t" + G("负载均衡器")}));
}

TEST(Tbx, BadInputIsAnErrorNamingItsLine) {
    struct Case {
        std::string xml;
        K kind;
        long long line;
    };
    const std::vector<Case> cases = {
        {"<martif><text><body>\n<termEntry>\n</body></text></martif>", K::BadXml, 3},
        {"<martif>\n<text>", K::BadXml, 2}, // cut off
        {"", K::BadXml, 1},
        {std::string("<martif>\n\0</martif>", 19), K::BadXml, 2},
        {"<html><body>kernel</body></html>", K::NotTbx, 0},
        {"<martif><text><body><termEntry>\n<langSet xml:lang=\"en\"><term>a</term></langSet>\n"
         "<langSet xml:lang=\"zh\"><term>\xF0\x9F\x98\x80</term></langSet></termEntry>"
         "</body></text></martif>",
         K::NoGbkCode, 3},
        // Entities that expand without end are refused, not expanded.
        {"<!DOCTYPE m [<!ENTITY a \"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa\">"
         "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">"
         "<!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\">"
         "<!ENTITY d \"&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;\">]>"
         "<martif><text><body><termEntry><langSet xml:lang=\"en\"><term>&d;&d;&d;&d;</term>"
         "</langSet></termEntry></body></text></martif>",
         K::BadXml, 1},
        // One wide entity used often, and one the file does not define (an external one):
        // refused, not expanded into a huge key nor dropped from "A &e; B".
        {"<!DOCTYPE martif [<!ENTITY w \"" + std::string(4000, 'w') +
             "\">]><martif><text><body><termEntry><langSet xml:lang=\"en\"><term>&w;&w;&w;</term>"
             "</langSet></termEntry></body></text></martif>",
         K::BadXml, 1},
        {"<!DOCTYPE martif SYSTEM \"x.dtd\"><martif><text><body><termEntry>\n"
         "<langSet xml:lang=\"en\"><term>A &e; B</term></langSet></termEntry></body></text></martif>",
         K::BadXml, 2},
    };
    for (const Case& c : cases) {
        auto e = ErrorOf([&] { qb::LexiconBytesToGbkLines(c.xml, LexiconFormat::Tbx); });
        ASSERT_TRUE(e) << c.xml;
        EXPECT_EQ(e->kind, c.kind) << c.xml << ": " << e->what();
        EXPECT_EQ(e->line, c.line) << c.xml << ": " << e->what();
    }
}

// ---- writing, and round trips ----

// Entries every format can hold: senses, symbols XML and CSV must escape, a rendering with a
// TAB inside, an entry without senses.
const std::string kEntries = "a & b <c>\t" + G("甲；乙") + "\r\n" + "quote \"it\", please\t" +
                             G("引用，请") + "\r\n" + "tab inside\t" + G("前") + "\t" + G("后") +
                             "\r\n" + "no senses\t\r\n" + "kernel\t" + G("内核") + "\r\n";

TEST(Writing, EveryFormatGivesBackTheSameEntries) {
    Lexicon source(kEntries);
    const std::vector<std::string> expected = Entries(source.dict);
    ASSERT_EQ(expected.size(), 5u);
    for (LexiconFormat f :
         {LexiconFormat::Text, LexiconFormat::Tsv, LexiconFormat::Csv, LexiconFormat::Tbx}) {
        const std::string bytes = qb::LexiconToBytes(source.dict, f);
        Lexicon back(qb::LexiconBytesToGbkLines(bytes, f));
        EXPECT_EQ(Entries(back.dict), expected) << bytes;
        // And a second time through gives the same bytes.
        EXPECT_EQ(qb::LexiconToBytes(back.dict, f), bytes);
    }
}

TEST(Writing, FilesAreUtf8InTheirFormsShape) {
    Lexicon l("kernel\t" + G("内核；核心") + "\r\n");
    EXPECT_EQ(qb::LexiconToBytes(l.dict, LexiconFormat::Tsv), "kernel\t内核；核心\n");
    EXPECT_EQ(qb::LexiconToBytes(l.dict, LexiconFormat::Csv), "\xEF\xBB\xBF"
                                                              "en,zh\r\nkernel,内核；核心\r\n");
    const std::string tbx = qb::LexiconToBytes(l.dict, LexiconFormat::Tbx);
    EXPECT_NE(tbx.find("<martif type=\"TBX-Basic\" xml:lang=\"en\">"), std::string::npos);
    EXPECT_NE(tbx.find("<langSet xml:lang=\"zh\">"), std::string::npos);
    EXPECT_NE(tbx.find("<term>核心</term>"), std::string::npos);
}

TEST(Writing, EntriesAFormatCannotHoldAreRefused) {
    // Bytes that are not GBK cannot be written as UTF-8; a control character cannot be XML.
    Lexicon broken("ok\t" + G("好") + "\r\nzz\t\xFF\xFE\r\n");
    for (LexiconFormat f : {LexiconFormat::Tsv, LexiconFormat::Csv, LexiconFormat::Tbx}) {
        auto e = ErrorOf([&] { qb::LexiconToBytes(broken.dict, f); });
        ASSERT_TRUE(e);
        EXPECT_EQ(e->kind, K::NotUnicode);
        EXPECT_EQ(e->line, 2);
    }
    Lexicon control("bell\t\x07\r\n");
    auto e = ErrorOf([&] { qb::LexiconToBytes(control.dict, LexiconFormat::Tbx); });
    ASSERT_TRUE(e);
    EXPECT_EQ(e->kind, K::NotXmlChar);
}

// ---- the files ----

TEST(Files, FormatIsChosenByTheName) {
    EXPECT_EQ(qb::LexiconFormatOf("/d/law.QBS"), LexiconFormat::Scrambled);
    EXPECT_EQ(qb::LexiconFormatOf("/d/terms.TSV"), LexiconFormat::Tsv);
    EXPECT_EQ(qb::LexiconFormatOf("/d/terms.csv"), LexiconFormat::Csv);
    EXPECT_EQ(qb::LexiconFormatOf("/d/terms.tbx"), LexiconFormat::Tbx);
    EXPECT_EQ(qb::LexiconFormatOf("/d/terms.tbx.txt"), LexiconFormat::Text);
    EXPECT_EQ(qb::LexiconFormatOf("/d.tbx/terms"), LexiconFormat::Text);
}

TEST(Files, FailedReadLeavesTheLexiconEmptyAndFailedWriteTheFile) {
    qbtest::TempDir dir;
    qbtest::WriteFile(dir / "u8.txt", "ok\t好\nsmile\t😀\n");
    qb::TQbDict dict;
    EXPECT_THROW(qb::LoadLexiconFile(dict, dir / "u8.txt", ""), LexiconFormatError);
    EXPECT_EQ(dict.EntryCount(), 0u);
    EXPECT_TRUE(dict.FileName().empty());

    qbtest::WriteFile(dir / "u8.tsv", "ok\t好\n");
    qb::TQbDict fine;
    qb::LoadLexiconFile(fine, dir / "u8.tsv", "");
    EXPECT_EQ(fine.FileName(), dir / "u8.tsv");
    EXPECT_EQ(Entries(fine), (std::vector<std::string>{"ok\t" + G("好")}));

    qbtest::WriteFile(dir / "old.tbx", "old");
    {
        qbtest::UnwritableDir locked(dir.path());
        if (locked.ok()) {
            EXPECT_THROW(qb::WriteLexiconFile(fine, dir / "old.tbx"), qb::FileError);
        }
    }
    EXPECT_EQ(qbtest::ReadFile(dir / "old.tbx"), "old");
}

} // namespace
