// The translation memory engine: tokens and similarity, recording with history, fuzzy matches,
// concordance, the file's safety (bad files, a kill in the middle of writing).
#include "TranslationMemory.h"

#include "MemoryJournal.h"
#include "TestFiles.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <csignal>
#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

using namespace qb::tm;
using qbtest::TempDir;

namespace {

std::vector<std::string> Texts(std::string_view s) {
    std::vector<std::string> out;
    for (const Token& t : Tokenize(s)) out.push_back(t.word ? t.text : "<" + t.text + ">");
    return out;
}

int Score(std::string_view a, std::string_view b) { return Similarity(Tokenize(a), Tokenize(b)); }

std::vector<int> Scores(const std::vector<Match>& ms) {
    std::vector<int> out;
    for (const Match& m : ms) out.push_back(m.score);
    return out;
}

std::string Marked(const std::string& text, const std::vector<Span>& spans) {
    std::string out;
    std::size_t at = 0;
    for (const Span& s : spans) {
        out += text.substr(at, s.begin - at) + "[" + text.substr(s.begin, s.end - s.begin) + "]";
        at = s.end;
    }
    return out + text.substr(at);
}

} // namespace

TEST(TmText, TokensAreFoldedWordsIdeographsAndSymbols) {
    using V = std::vector<std::string>;
    EXPECT_EQ(Texts("Don't stop, John."), (V{"don", "<'>", "t", "stop", "<,>", "john", "<.>"}));
    EXPECT_EQ(Texts("翻译记忆。"), (V{"翻", "译", "记", "忆", "<。>"}));
    EXPECT_EQ(Texts("ＡＢＣ１２ café ÉTÉ"), (V{"abc12", "café", "été"}));
    EXPECT_EQ(Texts("x\xFFy"), (V{"x", "<\xFF>", "y"})); // a byte that is not UTF-8: a symbol
    EXPECT_EQ(Texts("  \t\r\n"), V{});
}

TEST(TmText, NormalForms) {
    EXPECT_EQ(NormalizeSource("  The cat\r\n sat.\xE3\x80\x80 "), "The cat sat.");
    EXPECT_EQ(NormalizeTarget("\r\n 猫坐着。\r\n第二行\r第三行 \r\n"), "猫坐着。\n第二行\n第三行");
    EXPECT_EQ(NormalizeTarget(" \r\n "), "");
    EXPECT_TRUE(IsCleanUtf8("猫 cat"));
    EXPECT_FALSE(IsCleanUtf8(std::string("a\0b", 3)));
    EXPECT_FALSE(IsCleanUtf8("\xE7\x8C"));     // half a character
    EXPECT_FALSE(IsCleanUtf8("\xED\xA0\x80")); // a surrogate
}

TEST(TmText, SimilarityCountsWordEdits) {
    struct Case {
        const char *a, *b;
        int score;
    } cases[] = {
        {"The cat sat on the mat.", "The cat sat on the mat.", 100},
        {"The cat sat on the mat.", "The dog sat on the mat.", 85},     // 1 of 7 tokens replaced
        {"The cat sat on the mat.", "The cat sat on the mat", 85},      // the full stop missing
        {"The cat sat on the mat.", "The big cat sat on the mat.", 87}, // 1 inserted, 8 tokens
        {"The cat sat on the mat.", "A dog lay under a table.", 14},
        {"Press OK.", "Press Cancel.", 66},
        {"翻译记忆", "翻译词典", 50},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Score(c.a, c.b), c.score) << c.a << " / " << c.b;
        EXPECT_EQ(Score(c.b, c.a), c.score) << "symmetric: " << c.a;
    }
    // Below the floor it gives up early.
    EXPECT_EQ(Similarity(Tokenize("a b c d e"), Tokenize("a x y z w"), 60), -1);
}

TEST(TmText, DifferenceShowsOldAndNewWords) {
    auto show = [](std::string_view stored, std::string_view sentence) {
        std::string out;
        for (const DiffPiece& p : Difference(stored, sentence))
            out += p.kind == DiffPiece::Same  ? p.text
                   : p.kind == DiffPiece::Old ? "{-" + p.text + "}"
                                              : "{+" + p.text + "}";
        return out;
    };
    EXPECT_EQ(show("The cat sat.", "The dog sat."), "The{- cat}{+ dog} sat.");
    EXPECT_EQ(show("Press the OK button.", "Press OK."), "Press{- the} OK{- button}.");
    EXPECT_EQ(show("Save.", "Save the file now."), "Save{+ the file now}.");
    EXPECT_EQ(OldPieces("Press the OK button.", "Press OK."),
              (std::vector<std::string>{"the", "button"}));
}

TEST(TmText, FindWordsMarksRunsOfQueryWords) {
    const std::string text = "Take  care, or take-care of it.";
    EXPECT_EQ(Marked(text, FindWords(text, {"take", "care"}, false)),
              "[Take  care], or [take-care] of it.");
    EXPECT_EQ(Marked(text, FindWords(text, {"car"}, false)), text);
    EXPECT_EQ(Marked(text, FindWords(text, {"car"}, true)), "Take  [care], or take-[care] of it.");
    const std::string zh = "译文记忆里的译文";
    EXPECT_EQ(Marked(zh, FindWords(zh, {"译", "文"}, false)), "[译文]记忆里的[译文]");
}

class TmTest : public ::testing::Test {
protected:
    TempDir dir;
    std::string path = dir / "memory.db";
};

TEST_F(TmTest, NewestTranslationCountsTheOlderIsHistory) {
    {
        TTranslationMemory tm(path);
        EXPECT_EQ(tm.Record("The cat sat.", "猫坐着。", 1000), Recorded::Added);
        EXPECT_EQ(tm.Record(" The  cat sat. ", "猫坐着。", 1100), Recorded::Unchanged);
        EXPECT_EQ(tm.Record("The cat sat.", "那只猫坐着。", 1200), Recorded::Replaced);
        EXPECT_EQ(tm.Record("The cat sat.", "猫坐下了。", 1150), Recorded::KeptAsHistory); // older work
        EXPECT_EQ(tm.Record("The cat sat.", "猫坐下了。", 1150), Recorded::Unchanged);
        for (auto [s, t] : {std::pair{"", "猫"}, {"cat", " \r\n"}, {"cat", "\xE7\x8C"}})
            EXPECT_EQ(tm.Record(s, t), Recorded::Rejected) << s;
        EXPECT_EQ(tm.Record(std::string(kMaxPairBytes + 1, 'a'), "长"), Recorded::Rejected);
    }
    TTranslationMemory again(path); // everything is in the file
    EXPECT_EQ(again.PairCount(), 1u);
    const std::vector<Match> m = again.Matches("The cat sat.");
    ASSERT_EQ(m.size(), 1u);
    EXPECT_EQ(m[0].score, 100);
    EXPECT_EQ(m[0].pair.target, "那只猫坐着。");
    EXPECT_EQ(m[0].pair.created, 1000);
    EXPECT_EQ(m[0].pair.changed, 1200);
    const std::vector<Earlier> h = again.History("The cat sat.");
    ASSERT_EQ(h.size(), 2u);
    EXPECT_EQ(h[0].target, "猫坐下了。");
    EXPECT_EQ(h[1].target, "猫坐着。");
    // Going back to an earlier translation takes it out of the history.
    EXPECT_EQ(again.Record("The cat sat.", "猫坐着。", 1300), Recorded::Replaced);
    ASSERT_EQ(again.History("The cat sat.").size(), 2u);
    EXPECT_EQ(again.History("The cat sat.")[0].target, "那只猫坐着。");
}

TEST_F(TmTest, MatchesBestFirstAtMostFiveDownToSixty) {
    TTranslationMemory tm(path);
    const char* sources[] = {
        "The printer is out of paper.",        // 100
        "The printer is out of toner.",        // 85
        "The printer is almost out of paper.", // 87
        "the printer is out of paper.",        // 99: case only
        "The scanner is out of paper.",        // 85
        "A printer is out of paper now.",      // 75
        "The printer works.",                  // 42: below the floor
        "Our office has no coffee left.",      // nothing shared
    };
    std::int64_t when = 100;
    for (const char* s : sources) tm.Record(s, std::string("译:") + s, when++);
    const std::vector<Match> m = tm.Matches("The printer is out of paper.");
    EXPECT_EQ(Scores(m), (std::vector<int>{100, 99, 87, 85, 85}));
    EXPECT_EQ(m[0].pair.source, "The printer is out of paper.");
    EXPECT_EQ(m[3].pair.source, "The scanner is out of paper."); // equal scores: newer first
    EXPECT_EQ(Scores(tm.Matches("The printer is out of paper.", 60, 10)),
              (std::vector<int>{100, 99, 87, 85, 85, 75}));
    EXPECT_TRUE(tm.Matches("Completely unrelated words here.").empty());
    EXPECT_TRUE(tm.Matches("  ").empty());
}

TEST_F(TmTest, RareWordsFindAMatchAmongThousandsOfCommonOnes) {
    // Thousands of newer pairs of the common words ("the", "of") fill their posting lists; the
    // only good match is older and shares the sentence's rare words.
    TTranslationMemory tm(path);
    tm.Record("The zebra of the night.", "夜晚的斑马。", 1);
    {
        TTranslationMemory::Batch batch(tm);
        for (int i = 0; i < 3000; ++i)
            tm.Record("the of the of the w" + std::to_string(i) + " of x" + std::to_string(i),
                      "填充", 10 + i);
        batch.Commit();
    }
    const std::vector<Match> m = tm.Matches("The zebra of the day.");
    ASSERT_FALSE(m.empty());
    EXPECT_EQ(m[0].pair.source, "The zebra of the night.");
    EXPECT_EQ(m[0].score, 83);
    // A sentence of common words only still finds itself.
    tm.Record("the of the of the", "常见", 5000);
    EXPECT_EQ(tm.Matches("the of the of the").at(0).score, 100);
}

TEST_F(TmTest, ShortSentencesOfCommonWordsFindShortMatches) {
    // Every newer pair holds "click" and "ok", so their newest postings are all long sentences,
    // and "now" is in no pair: only the pairs as short as the sentence can match. A pair added
    // one by one after the batch counts too, and so does one an older program added (no shape).
    TTranslationMemory tm(path);
    tm.Record("Click OK.", "单击确定。", 1);
    tm.Record("Click OK to continue.", "单击确定继续。", 2);
    {
        TTranslationMemory::Batch batch(tm);
        for (int i = 0; i < 1500; ++i)
            tm.Record("Click OK to save report " + std::to_string(i) + " in the archive folder.",
                      "填充", 10 + i);
        batch.Commit();
    }
    auto sources = [](const std::vector<Match>& ms) {
        std::vector<std::string> out;
        for (const Match& m : ms) out.push_back(m.pair.source + " " + std::to_string(m.score));
        return out;
    };
    EXPECT_EQ(sources(tm.Matches("Click OK now.")),
              (std::vector<std::string>{"Click OK. 75", "Click OK to continue. 60"}));
    tm.Record("Click OK later.", "稍后单击确定。", 5000);
    EXPECT_EQ(sources(tm.Matches("Click OK now.")).at(0), "Click OK later. 75");
    // As if an older program had added the last pair, knowing nothing of shapes.
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "DELETE FROM pair_shape WHERE id = (SELECT max(id) FROM pairs)",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
    TTranslationMemory reopened(path);
    EXPECT_EQ(sources(reopened.Matches("Click OK now.")).at(0), "Click OK later. 75");
}

TEST(MemoryJournal, LinesKeepEveryByteAndACutOffLineIsLeftOut) {
    const std::vector<KeptPair> pairs = {
        {"Tabs\tand\\n back\\slash.", "第一行\r\n第二行", 1765000000}, {"Two.", "二。", 1765000001}};
    std::string bytes = JournalLine(pairs[0]) + JournalLine(pairs[1]);
    EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\n'), 2);
    EXPECT_EQ(ReadJournal(bytes), pairs);
    // A crash in the middle of an append: the torn line is no pair, the others stand.
    EXPECT_EQ(ReadJournal(bytes + "1765000002\tHalf"), pairs);
    EXPECT_EQ(ReadJournal("x\tno time\t\n" + bytes), pairs);
    EXPECT_EQ(JournalPathFor("/d/translation-memory.db"), "/d/translation-memory-unwritten.txt");
}

TEST_F(TmTest, ConcordanceInEitherLanguageWithMarks) {
    TTranslationMemory tm(path);
    tm.Record("Take care of the printer.", "照看好打印机。", 1);
    tm.Record("The printer takes care of itself.", "打印机会自己照料自己。", 2);
    tm.Record("Translation memory helps.", "译文记忆有帮助。", 3);

    std::vector<Hit> h = tm.Search("take care");
    ASSERT_EQ(h.size(), 1u);
    EXPECT_EQ(Marked(h[0].pair.source, h[0].sourceMarks), "[Take care] of the printer.");

    h = tm.Search("打印机");
    ASSERT_EQ(h.size(), 2u);
    EXPECT_EQ(h[0].pair.id, 2); // newest first
    EXPECT_EQ(Marked(h[0].pair.target, h[0].targetMarks), "[打印机]会自己照料自己。");
    EXPECT_TRUE(h[0].sourceMarks.empty());

    EXPECT_EQ(tm.Search("transl").size(), 0u);
    h = tm.Search("transl*");
    ASSERT_EQ(h.size(), 1u);
    EXPECT_EQ(Marked(h[0].pair.source, h[0].sourceMarks), "[Translation] memory helps.");
    // Query syntax in the user's text is only text.
    EXPECT_TRUE(tm.Search("\"printer OR NOT (").empty());
    EXPECT_EQ(tm.Search("printer\"").size(), 2u);
    EXPECT_TRUE(tm.Search("...").empty());
}

TEST_F(TmTest, BatchWithoutCommitLeavesNothing) {
    TTranslationMemory tm(path);
    tm.Record("Kept.", "保留。", 1);
    {
        TTranslationMemory::Batch batch(tm);
        tm.Record("Undone.", "撤销。", 2);
    }
    EXPECT_EQ(tm.PairCount(), 1u);
    EXPECT_EQ(tm.Matches("Undone.").size(), 0u);
}

TEST_F(TmTest, ABatchIndexesWhatItAddsAndReplaces) {
    TTranslationMemory tm(path);
    tm.Record("Old sentence.", "旧的译文。", 1);
    {
        TTranslationMemory::Batch batch(tm);
        tm.Record("Old sentence.", "新的译文。", 2); // an indexed pair, new translation
        tm.Record("Added sentence.", "先加的。", 3);
        tm.Record("Added sentence.", "后改的。", 4); // added and replaced in the batch
        batch.Commit();
    }
    EXPECT_TRUE(tm.Search("旧的").empty());
    EXPECT_EQ(tm.Search("新的").size(), 1u);
    EXPECT_TRUE(tm.Search("先加").empty());
    EXPECT_EQ(tm.Search("后改").size(), 1u);
    EXPECT_EQ(tm.Search("sentence").size(), 2u);
    // And records after the batch are indexed one by one again.
    tm.Record("Later sentence.", "后来的。", 5);
    EXPECT_EQ(tm.Search("sentence").size(), 3u);
    tm.Record("Later sentence.", "再后来的。", 6);
    EXPECT_EQ(tm.Search("再后来").size(), 1u);
    EXPECT_EQ(tm.Search("后来的").size(), 1u);
}

TEST_F(TmTest, BadFilesAreReportedAndLeftAlone) {
    const std::string garbage = "this is not a database, it is the user's notes\n";
    qbtest::WriteFile(path, garbage);
    try {
        TTranslationMemory tm(path);
        FAIL() << "opened a text file";
    } catch (const TmError& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot open file " + path + ": file is not a database");
    }
    EXPECT_EQ(qbtest::ReadFile(path), garbage);

    // Another program's database, and one of a newer version of this program.
    const std::string other = dir / "other.db", newer = dir / "newer.db";
    for (auto [file, sql] :
         {std::pair{other, "CREATE TABLE notes(x)"}, {newer, "PRAGMA user_version = 7"}}) {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
        sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
        sqlite3_close(db);
    }
    EXPECT_THROW(TTranslationMemory{other}, TmError);
    EXPECT_THROW(TTranslationMemory{newer}, TmError);

    qbtest::UnwritableDir ro(dir.path());
    if (ro.ok()) {
        EXPECT_THROW(TTranslationMemory{dir / "sub/memory.db"}, TmError);
    }
}

TEST_F(TmTest, AKillWhileWritingLosesAtMostThePairBeingWritten) {
    for (int round = 0; round < 3; ++round) {
        int fds[2];
        ASSERT_EQ(pipe(fds), 0);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            close(fds[0]);
            try {
                TTranslationMemory tm(path);
                for (int i = 0;; ++i) {
                    const std::string n = std::to_string(round) + "-" + std::to_string(i);
                    tm.Record("Sentence number " + n + ".", "第" + n + "句。");
                    // After Record returns, the pair is committed: say so.
                    if (write(fds[1], "x", 1) != 1) _exit(3);
                }
            } catch (...) {
                _exit(2);
            }
        }
        close(fds[1]);
        struct Reaper { // never leaves the writer running, whatever fails below
            pid_t pid;
            ~Reaper() {
                if (pid > 0) kill(pid, SIGKILL), waitpid(pid, nullptr, 0);
            }
        } reaper{child};
        // Let it commit a few hundred pairs, then kill it wherever it is.
        char buf[64];
        long committed = 0;
        while (committed < 200 + round * 150) {
            const ssize_t r = read(fds[0], buf, sizeof buf);
            ASSERT_GT(r, 0) << "the writer died on its own";
            committed += r;
        }
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        reaper.pid = 0;
        while (true) { // what it said after our count
            const ssize_t r = read(fds[0], buf, sizeof buf);
            if (r <= 0) break;
            committed += r;
        }
        close(fds[0]);
        ASSERT_TRUE(WIFSIGNALED(status));

        TTranslationMemory tm(path);
        std::size_t mine = 0;
        tm.ForEachPair([&](const Pair& p) {
            if (p.source.starts_with("Sentence number " + std::to_string(round) + "-")) ++mine;
        });
        EXPECT_GE(long(mine), committed);     // nothing committed is lost
        EXPECT_LE(long(mine), committed + 1); // at most the pair being written got in unreported
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
        std::string check;
        sqlite3_exec(
            db, "PRAGMA integrity_check",
            [](void* out, int, char** v, char**) {
                *static_cast<std::string*>(out) += v[0];
                return 0;
            },
            &check, nullptr);
        sqlite3_close(db);
        EXPECT_EQ(check, "ok");
        EXPECT_EQ(tm.Matches("Sentence number " + std::to_string(round) + "-0.").at(0).score, 100);
    }
}
