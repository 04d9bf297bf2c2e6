// The lexicon work behind the manager and the merge command, without windows: name rules,
// moving up, text checks, merging and expanding (counts, identity with one-by-one adding,
// data safety when a file cannot be written).
#include "LexiconTasks.h"
#include "LexiconFormats.h"

#include "MgmtTestSupport.h"

#include <sys/stat.h>

#include <chrono>
#include <thread>

using namespace mgmttest;
using qb::TQbDict;

namespace {

// One AddEntry per line: the reference for every batch and sliced form.
void AddOneByOne(TQbDict& d, const std::string& textBytes) {
    for (const std::string& line : qb::SplitLines(textBytes)) {
        auto [k, r] = qb::SplitAtFirst(line, '\t');
        d.AddEntry(k, r, true);
    }
}

// A text lexicon of n lines with every kind of line break, repeated keys, upper case, blank
// lines and lines without a tab.
std::string SyntheticText(int n) {
    std::string t;
    const char* breaks[] = {"\r\n", "\n", "\r"};
    for (int i = 0; i < n; ++i) {
        if (i % 997 == 0)
            t += "no tab here";
        else if (i % 1009 == 0)
            t += "";
        else
            t += "Word" + std::to_string(i % (n / 3 + 1)) + " phrase\t" + G("释义") +
                 std::to_string(i % 7) + G("；含义");
        t += breaks[i % 3];
    }
    return t;
}

// Lexicons made in memory, without files of their own.
class InMemory : public ::testing::Test {};

} // namespace

// ---- names and lists ----

TEST(NewLexiconName, ExtensionBecomesQbs) {
    EXPECT_EQ(qb::NewLexiconPath("/d/law"), "/d/law.qbs");
    EXPECT_EQ(qb::NewLexiconPath("/d/law.txt"), "/d/law.qbs");
    EXPECT_EQ(qb::NewLexiconPath("/d/law.qbs"), "/d/law.qbs");
    EXPECT_EQ(qb::NewLexiconPath("/d/law.QBS"), "/d/law.qbs");
    // Only the last extension, and only in the file-name part.
    EXPECT_EQ(qb::NewLexiconPath("/d/law.old.txt"), "/d/law.old.qbs");
    EXPECT_EQ(qb::NewLexiconPath("/d/v1.2/law"), "/d/v1.2/law.qbs");
    EXPECT_EQ(qb::NewLexiconPath("/d/law."), "/d/law.qbs");
    EXPECT_EQ(qb::NewLexiconPath("law"), "law.qbs");
}

TEST(NewLexiconName, LowerExtension) {
    EXPECT_EQ(qb::LowerExtension("/d/MED.QBS"), ".qbs");
    EXPECT_EQ(qb::LowerExtension("/d/a.b/med"), "");
    EXPECT_EQ(qb::LowerExtension("/d/med.Txt"), ".txt");
}

TEST(MoveUp, SecondAndFourthOfWXYZ) {
    std::vector<qb::ListRow> rows{{"W", false}, {"X", true}, {"Y", false}, {"Z", true}};
    qb::MoveSelectedUp(rows);
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0].text + rows[1].text + rows[2].text + rows[3].text, "XWZY");
    EXPECT_TRUE(rows[0].selected); // the selection travels with its entry
    EXPECT_TRUE(rows[2].selected);
    EXPECT_FALSE(rows[1].selected);
}

TEST(MoveUp, FirstSelectedAloneStays) {
    std::vector<qb::ListRow> rows{{"W", true}, {"X", false}, {"Y", false}};
    qb::MoveSelectedUp(rows);
    EXPECT_EQ(rows[0].text + rows[1].text + rows[2].text, "WXY");
}

TEST(MoveUp, RunMovesAsBlockAndSwapsWithSelectedFirst) {
    std::vector<qb::ListRow> block{{"W", false}, {"X", true}, {"Y", true}, {"Z", false}};
    qb::MoveSelectedUp(block);
    EXPECT_EQ(block[0].text + block[1].text + block[2].text + block[3].text, "XYWZ");
    std::vector<qb::ListRow> top{{"W", true}, {"X", true}, {"Y", false}};
    qb::MoveSelectedUp(top);
    EXPECT_EQ(top[0].text + top[1].text + top[2].text, "XWY");
}

// ---- text checks ----

TEST(TextCheck, Kinds) {
    EXPECT_EQ(qb::ClassifyTextLexicon("apple\tpie\r\n"), qb::TextKind::Gbk);
    EXPECT_EQ(qb::ClassifyTextLexicon("apple\t" + G("苹果") + "\r\n"), qb::TextKind::Gbk);
    EXPECT_EQ(qb::ClassifyTextLexicon("apple\t苹果；果子\n"), qb::TextKind::Unicode);
    EXPECT_EQ(qb::ClassifyTextLexicon(std::string("\xFF\xFE"
                                                  "a\0",
                                                  4)),
              qb::TextKind::Unicode);
    EXPECT_EQ(qb::ClassifyTextLexicon(std::string("apple\t\0x", 8)), qb::TextKind::Binary);
    EXPECT_EQ(qb::ClassifyTextLexicon(ReadFile(Fixture("binary.bin"))), qb::TextKind::Binary);
    // 0xFF is neither a GBK nor a UTF-8 byte.
    EXPECT_EQ(qb::ClassifyTextLexicon("a\t\xFF\xFF\xFF\n"), qb::TextKind::NotGbk);
    // UTF-8 with a character GBK cannot hold (an emoji) is UTF-8 all the same: its conversion
    // then names the character and its line.
    EXPECT_EQ(qb::ClassifyTextLexicon("smile\t\xF0\x9F\x98\x80\n"), qb::TextKind::Unicode);
}

using TextCheckMerge = InMemory;
TEST_F(TextCheckMerge, Utf8IsConvertedToTheSameGbkEntries) {
    TQbDict fromUtf8, fromGbk;
    qb::MergeTextLexicon(fromUtf8,
                         qb::TextLexiconToGbk("\xEF\xBB\xBF"
                                              "apple\t苹果\r\n"),
                         nullptr);
    qb::MergeTextLexicon(fromGbk, "apple\t" + G("苹果") + "\r\n", nullptr);
    EXPECT_EQ(Entries(fromUtf8), Entries(fromGbk)); // the byte-order mark is dropped too
}

// ---- merging ----

using Merge = InMemory;

TEST_F(Merge, SlicedMergeEqualsOneByOne) {
    // More than a megabyte, so the merge runs in several slices cut at line breaks of every
    // kind.
    const std::string text = SyntheticText(100000);
    ASSERT_GT(text.size(), std::size_t(1) << 21);
    TQbDict sliced, reference;
    qb::TProgress progress;
    qb::MergeTextLexicon(sliced, text, &progress);
    AddOneByOne(reference, text);
    EXPECT_EQ(sliced.SaveToBytes(false), reference.SaveToBytes(false));
    EXPECT_EQ(sliced.EntryCount(), reference.EntryCount());
    EXPECT_EQ(progress.Total(), text.size());
    EXPECT_EQ(progress.Done(), text.size());
}

TEST_F(Merge, CrLfAcrossTheSliceBoundaryIsOneLineBreak) {
    // The first slice would end between the CR and the LF of a line break: cutting there would
    // make an extra empty line (an entry with the empty key).
    std::string text(std::size_t(1) << 20, 'a');
    text[(std::size_t(1) << 20) - 1] = '\r';
    text.replace(0, 2, "k\t");
    text += "\nnext\tline\r\n";
    TQbDict sliced, reference;
    qb::MergeTextLexicon(sliced, text, nullptr);
    AddOneByOne(reference, text);
    EXPECT_EQ(Entries(sliced), Entries(reference));
    EXPECT_EQ(sliced.EntryCount(), 2u);
}

TEST_F(Merge, NulEndsTheText) {
    TQbDict d;
    static const char kText[] = "a\tb\r\n\0c\td\r\n";
    qb::MergeTextLexicon(d, std::string(kText, sizeof kText - 1), nullptr);
    EXPECT_EQ(Entries(d), (std::vector<std::string>{"a\tb"}));
}

TEST_F(Merge, SameTextTwiceAddsNoEntries) {
    TQbDict d;
    const std::string text = "apple\t" + G("苹果") + "\r\nbank\t" + G("银行；河岸") + "\r\n";
    qb::MergeTextLexicon(d, text, nullptr);
    const auto once = Entries(d);
    qb::MergeTextLexicon(d, text, nullptr);
    EXPECT_EQ(Entries(d), once);
}

TEST_F(Merge, AddEntriesOfEqualsOneByOne) {
    TQbDict source, batch, reference;
    qb::StringList keys, renderings;
    for (int i = 0; i < 450000; ++i) {
        keys.push_back("Key " + std::to_string((static_cast<long long>(i) * 7919) % 450000));
        renderings.push_back(G("义") + std::to_string(i % 5));
    }
    source.AddEntries(keys, renderings, true);
    for (int i = 0; i < 1000; i += 3) {
        batch.AddEntry("key " + std::to_string(i), G("旧"), true);
        reference.AddEntry("key " + std::to_string(i), G("旧"), true);
    }
    qb::TProgress progress;
    qb::AddEntriesOf(source, batch, &progress);
    std::string k, r;
    for (std::size_t i = 0; i < source.EntryCount(); ++i) {
        source.GetEntry(static_cast<long long>(i), k, r);
        reference.AddEntry(k, r, true);
    }
    EXPECT_EQ(batch.SaveToBytes(true), reference.SaveToBytes(true));
    EXPECT_EQ(progress.Total(), source.EntryCount());
    EXPECT_EQ(progress.Done(), source.EntryCount());
}

TEST_F(Merge, ALexiconExpandedWithItselfOnlyMerges) {
    TQbDict d;
    for (int i = 0; i < 300000; ++i) d.AddEntry("w" + std::to_string(i), G("词"), true);
    const std::string before = d.SaveToBytes(true);
    qb::AddEntriesOf(d, d, nullptr);
    EXPECT_EQ(d.SaveToBytes(true), before);
}

// ---- expanding ----

class Expand : public ::testing::Test {
protected:
    void SetUp() override {
        WriteFile(dir / "verb.spe", "went^go^\r\n");
        WriteLexicon(dir / "target.qbs", {{"apple", G("苹果")}, {"bank", G("银行")}});
        WriteLexicon(dir / "source.qbs",
                     {{"bank", G("河岸")}, {"cell", G("细胞")}, {"dna", G("脱氧核糖核酸")}});
    }
    TempDir dir;
    qb::TScriptedUi ui;
    FakeLexicons host{dir.path() + "/", ui};
};

TEST_F(Expand, TemporaryTargetFromTemporaryQbsSource) {
    const std::size_t added =
        qb::ExpandLexicon(host, dir / "target.qbs", dir / "source.qbs", nullptr, nullptr);
    EXPECT_EQ(added, 2u); // cell, dna; bank only merges its senses
    TQbDict reread;
    reread.Load(dir / "target.qbs", dir / "verb.spe");
    EXPECT_EQ(reread.EntryCount(), 4u);
    EXPECT_EQ(RenderingOf(reread, "bank"), TQbDict::MergeRenderings(G("银行"), G("河岸")));
    // The temporary source was not written.
    TQbDict source;
    source.Load(dir / "source.qbs", dir / "verb.spe");
    EXPECT_EQ(source.EntryCount(), 3u);
}

TEST_F(Expand, LoadedTargetIsSavedAndStaysUsable) {
    TQbDict& target = host.Add(dir / "target.qbs");
    const std::size_t added =
        qb::ExpandLexicon(host, dir / "target.qbs", dir / "source.qbs", nullptr, nullptr);
    EXPECT_EQ(added, 2u);
    EXPECT_EQ(target.EntryCount(), 4u); // in memory at once
    TQbDict reread;
    reread.Load(dir / "target.qbs", dir / "verb.spe");
    EXPECT_EQ(Entries(reread), Entries(target)); // and on disk
}

TEST_F(Expand, LoadedSourceIsReadFromMemory) {
    TQbDict& source = host.Add(dir / "source.qbs");
    source.AddEntry("gene", G("基因"), true); // not on disk yet
    EXPECT_EQ(qb::ExpandLexicon(host, dir / "target.qbs", dir / "source.qbs", nullptr, nullptr), 3u);
}

TEST_F(Expand, UpperCaseQbsSourceIsALexicon) {
    ASSERT_EQ(::rename((dir / "source.qbs").c_str(), (dir / "SOURCE.QBS").c_str()), 0);
    EXPECT_EQ(qb::ExpandLexicon(host, dir / "target.qbs", dir / "SOURCE.QBS", nullptr, nullptr), 2u);
}

TEST_F(Expand, TextSourceWithBlankLineAddsNoEmptyEntry) {
    WriteFile(dir / "words.txt", "Gene\t" + G("基因") + "\r\n\r\nbank\t" + G("堤") + "\r\n");
    EXPECT_EQ(qb::ExpandLexicon(host, dir / "target.qbs", dir / "words.txt", nullptr, nullptr),
              1u); // gene; the blank line is no entry
}

TEST_F(Expand, SourceWithKnownKeysOnlyReportsZeroButMergesSenses) {
    WriteFile(dir / "same.txt", "apple\t" + G("苹果树") + "\r\n");
    EXPECT_EQ(qb::ExpandLexicon(host, dir / "target.qbs", dir / "same.txt", nullptr, nullptr), 0u);
    TQbDict reread;
    reread.Load(dir / "target.qbs", dir / "verb.spe");
    EXPECT_EQ(RenderingOf(reread, "apple"), TQbDict::MergeRenderings(G("苹果"), G("苹果树")));
}

TEST_F(Expand, TemporaryTargetWithEmptySourceIsNotRewritten) {
    WriteFile(dir / "empty.txt", "");
    struct stat before {};
    ASSERT_EQ(::stat((dir / "target.qbs").c_str(), &before), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(qb::ExpandLexicon(host, dir / "target.qbs", dir / "empty.txt", nullptr, nullptr), 0u);
    struct stat after {};
    ASSERT_EQ(::stat((dir / "target.qbs").c_str(), &after), 0);
    EXPECT_EQ(before.st_mtim.tv_nsec, after.st_mtim.tv_nsec);
    EXPECT_EQ(before.st_mtim.tv_sec, after.st_mtim.tv_sec);
}

TEST_F(Expand, MissingSourceThrowsCannotOpenAndWritesNothing) {
    const std::string old = ReadFile(dir / "target.qbs");
    try {
        qb::ExpandLexicon(host, dir / "target.qbs", dir / "gone.txt", nullptr, nullptr);
        FAIL() << "expected an error";
    } catch (const qb::FileError& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot open file " + (dir / "gone.txt"));
    }
    EXPECT_EQ(ReadFile(dir / "target.qbs"), old);
}

TEST_F(Expand, UnwritableLoadedTargetKeepsMemoryAndFile) {
    TempDir locked;
    WriteLexicon(locked / "law.qbs", {{"court", G("法院")}});
    const std::string old = ReadFile(locked / "law.qbs");
    TQbDict& target = host.Add(locked / "law.qbs");
    UnwritableDir guard(locked.path());
    if (!guard.ok()) GTEST_SKIP() << "no way to make a folder unwritable here";
    try {
        qb::ExpandLexicon(host, locked / "law.qbs", dir / "source.qbs", nullptr, nullptr);
        FAIL() << "expected an error";
    } catch (const qb::FileError& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot create file " + (locked / "law.qbs"));
    }
    EXPECT_EQ(target.EntryCount(), 4u); // the pairs stay in the loaded lexicon
    EXPECT_EQ(ReadFile(locked / "law.qbs"), old);
}

TEST_F(Expand, UnwritableTemporaryTargetLeavesFileIntact) {
    TempDir locked;
    WriteLexicon(locked / "law.qbs", {{"court", G("法院")}});
    const std::string old = ReadFile(locked / "law.qbs");
    UnwritableDir guard(locked.path());
    if (!guard.ok()) GTEST_SKIP() << "no way to make a folder unwritable here";
    EXPECT_THROW(qb::ExpandLexicon(host, locked / "law.qbs", dir / "source.qbs", nullptr, nullptr),
                 qb::FileError);
    EXPECT_EQ(ReadFile(locked / "law.qbs"), old);
}

TEST_F(Expand, UserLexiconByItsLoadedPathIsALoadedTarget) {
    WriteFile(dir / "mydict.txt", "hello\t" + G("你好") + "\r\n");
    TQbDict& user = host.Add(dir / "mydict.txt");
    EXPECT_EQ(qb::ExpandLexicon(host, dir / "mydict.txt", dir / "source.qbs", nullptr, nullptr), 3u);
    EXPECT_EQ(user.EntryCount(), 4u);
    // A text lexicon stays a text file.
    EXPECT_NE(ReadFile(dir / "mydict.txt").find("cell\t" + G("细胞")), std::string::npos);
}

TEST_F(Expand, SameFileUnderAnotherCaseIsNotInUse) {
    host.Add(dir / "target.qbs");
    // Same bytes on disk, other path string: a temporary target, so the loaded one is untouched.
    ASSERT_EQ(::link((dir / "target.qbs").c_str(), (dir / "TARGET.qbs").c_str()), 0);
    EXPECT_EQ(host.IndexOfDict(dir / "TARGET.qbs"), -1);
    EXPECT_EQ(qb::ExpandLexicon(host, dir / "TARGET.qbs", dir / "source.qbs", nullptr, nullptr), 2u);
    EXPECT_EQ(host.Slot(0)->EntryCount(), 2u);
}
