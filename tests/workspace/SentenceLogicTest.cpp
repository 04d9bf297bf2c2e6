// Sentence selection, suggestions and browse mode as arithmetic: the sentence rule, abbreviations, the code table, the phrase
// list lines and the explanation text.
#include "SentenceLogic.h"

#include "ClauseConverter.h"
#include "DictUnit.h"
#include "WorkspaceTestSupport.h"

#include <gtest/gtest.h>

#include <random>

namespace qb::test {
namespace {

std::string Pick(std::string_view text, TByteSelection s) {
    return std::string(text.substr(std::size_t(s.start), std::size_t(s.length)));
}

TEST(FindSentence, WorkedExample) {
    const std::string t = "Hello there. How are you? Fine.";
    TByteSelection s = FindSentence(t, 0, 0, false);
    EXPECT_EQ(Pick(t, s), "Hello there.");
    EXPECT_EQ(s.start, 0);
    TByteSelection s2 = FindSentence(t, s.start, s.length, false);
    EXPECT_EQ(s2.start, 13);
    EXPECT_EQ(Pick(t, s2), "How are you?");
    TByteSelection e = FindSentence(t, s.start, s.length, true);
    EXPECT_EQ(e.start, 0);
    EXPECT_EQ(e.length, 26); // offsets 0-25: both sentences and the space after '?'
    TByteSelection s3 = FindSentence(t, s2.start, s2.length, false);
    EXPECT_EQ(Pick(t, s3), "Fine.");
    TByteSelection s4 = FindSentence(t, s3.start, s3.length, false);
    EXPECT_EQ(s4.start, int(t.size()));
    EXPECT_EQ(s4.length, 0);
    TByteSelection s5 = FindSentence(t, s4.start, s4.length, false);
    EXPECT_EQ(s5.start, s4.start);
    EXPECT_EQ(s5.length, 0);
}

TEST(FindSentence, AbbreviationPointEndsASentence) {
    EXPECT_EQ(Pick("Mr. Smith arrived.", FindSentence("Mr. Smith arrived.", 0, 0, false)), "Mr.");
}

TEST(FindSentence, DecimalPointDoesNot) {
    const std::string t = "It costs 3.50 dollars. Next";
    EXPECT_EQ(Pick(t, FindSentence(t, 0, 0, false)), "It costs 3.50 dollars.");
}

TEST(FindSentence, LineBreakEndsASentenceWithItsCr) {
    const std::string t = "First line\r\nsecond line";
    TByteSelection s = FindSentence(t, 0, 0, false);
    EXPECT_EQ(Pick(t, s), "First line\r");
    EXPECT_EQ(Pick(t, FindSentence(t, s.start, s.length, false)), "second line");
}

TEST(FindSentence, BlankLinesAndRunsOfSpacesAreSkipped) {
    const std::string t = "One.\r\n\r\n   \r\n  Two.";
    TByteSelection s = FindSentence(t, 0, 0, false);
    EXPECT_EQ(Pick(t, FindSentence(t, s.start, s.length, false)), "Two.");
}

TEST(FindSentence, QuestionMarkBeforeAClosingQuoteRunsOn) {
    const std::string t = "He asked \"why?\" and left. Then";
    EXPECT_EQ(Pick(t, FindSentence(t, 0, 0, false)), "He asked \"why?\" and left.");
}

TEST(FindSentence, TabIsNoGap) {
    const std::string t = "a.\tb. c";
    EXPECT_EQ(Pick(t, FindSentence(t, 0, 0, false)), "a.\tb.");
}

TEST(FindSentence, ExpandAtTheEndRunsToTheEnd) {
    const std::string t = "Only one sentence here";
    TByteSelection e = FindSentence(t, 5, 17, true);
    EXPECT_EQ(e.start, 5);
    EXPECT_EQ(e.length, 17);
    TByteSelection whole = FindSentence(t, 0, 0, true);
    EXPECT_EQ(whole.length, int(t.size()));
}

TEST(FindSentence, EmptyText) {
    TByteSelection s = FindSentence("", 0, 0, false);
    EXPECT_EQ(s.start, 0);
    EXPECT_EQ(s.length, 0);
}

TEST(FindSentence, ChineseTrailBytesAreNeverEndMarks) {
    // No GBK trail byte is below 0x40, so '.' ';' '?' '!' ':' never come from inside a character.
    const std::string t = G("他来了。") + " Then. x";
    EXPECT_EQ(Pick(t, FindSentence(t, 0, 0, false)), G("他来了。") + " Then.");
}

TEST(PhraseAbbrev, Examples) {
    EXPECT_EQ(PhraseAbbrev("take care of"), "tco");
    EXPECT_EQ(PhraseAbbrev("Mr. Smith"), "ms");
    EXPECT_EQ(PhraseAbbrev("3D model"), "m");
    EXPECT_EQ(PhraseAbbrev("USA"), "USA");
    EXPECT_EQ(PhraseAbbrev("3 4"), "");
    EXPECT_EQ(PhraseAbbrev(""), "");
}

class CodeTable : public testing::Test {
protected:
    std::array<SchemeTables, 4> tables;
    TSchemeSet schemes;
    StringList keys, words;
    void SetUp() override {
        SchemeTables& qp = tables[0];
        qp.CharKeys = {G("保"), G("重")};
        qp.CharCodes = {"bao", "zhong chong"};
        schemes.tables = &tables;
        schemes.on = {true, false, false, false};
    }
    std::string At(const std::string& key) const {
        std::size_t i = 0;
        return SortedFind(keys, key, i) ? words[i] : std::string("<none>");
    }
};

TEST_F(CodeTable, TakeCareExample) {
    BuildSentenceCodeTable("Please take care.", {"take care\t" + G("保重")}, schemes, keys, words);
    EXPECT_EQ(At("tc"), "take care;" + G("保重"));
    EXPECT_EQ(At("bz"), G("保重"));
    EXPECT_EQ(At("bc"), G("保重"));
    EXPECT_EQ(At("take"), "take");
    EXPECT_EQ(At("care."), "care.");
    EXPECT_EQ(At("please"), "Please");
    EXPECT_TRUE(std::is_sorted(keys.begin(), keys.end(), [](const std::string& a, const std::string& b) {
        return TextLess(a, b);
    }));
}

TEST_F(CodeTable, TokensOnlyWithoutHits) {
    BuildSentenceCodeTable("Don't stop, John.", {}, schemes, keys, words);
    EXPECT_EQ(keys, (StringList{"'", ",", "don", "john.", "stop", "t"}));
    EXPECT_EQ(At("don"), "Don");
}

TEST_F(CodeTable, CapitalsAndCaseVariantsShareAKey) {
    BuildSentenceCodeTable("USA Apple", {"apple\t" + G("苹果")}, schemes, keys, words);
    EXPECT_EQ(At("usa"), "USA");
    EXPECT_EQ(At("apple"), "Apple;apple;" + G("苹果"));
}

TEST_F(CodeTable, SensesAreSeparatePiecesAndSchemesFollowTheSwitches) {
    schemes.on = {false, false, false, false};
    BuildSentenceCodeTable("x", {"take care\t" + G("保重") + "\xA3\xBB" + G("小心")}, schemes, keys,
                           words);
    EXPECT_EQ(At("tc"), "take care;" + G("保重") + ";" + G("小心"));
    EXPECT_EQ(At("bz"), "<none>");
}

TEST_F(CodeTable, PhraseOfDigitsGetsTheEmptyCode) {
    BuildSentenceCodeTable("", {"3 4\t" + G("三四")}, schemes, keys, words);
    EXPECT_EQ(At(""), "3 4;" + G("三四"));
}

TEST_F(CodeTable, ManyPolyphonicCharactersStayBounded) {
    // Twelve characters of two readings each: at most 2^12 distinct codes, built quickly.
    std::string sense;
    for (int i = 0; i < 20; ++i) sense += G("重");
    BuildSentenceCodeTable("", {"heavy\t" + sense}, schemes, keys, words);
    EXPECT_LE(keys.size(), 4096u + 2u);
    EXPECT_EQ(At("zzzzzzzzzzzz"), sense);
}

TEST(PhraseList, PhrasesOfTwoOrMoreWordsWithIndentedSenses) {
    StringList lines = PhraseListLines({"bank\t" + G("银行"),
                                        "take care\t" + G("保重") + "\xA3\xBB\xA3\xBB" + G("小心"),
                                        "take care of\t" + G("照顾")});
    EXPECT_EQ(lines, (StringList{"take care", " " + G("保重"), " " + G("小心"), "take care of",
                                 " " + G("照顾")}));
    EXPECT_TRUE(PhraseListLines({"bank\t" + G("银行")}).empty());
}

// Both semicolons split (user lexicons often hold ";"), a sense met twice is offered once, blanks
// and empty senses are dropped.
TEST(SentenceSenses, EverySenseOnceSplitAtBothSemicolons) {
    const auto senses =
        SentenceSenses({"bank\t" + G("银行") + "\xA3\xBB" + G("岸"),
                        "river\t" + G("河流") + "; " + G("银行") + ";;", "who\t" + G("谁"), "x\t"});
    EXPECT_EQ(senses, (std::vector<std::string>{G("银行"), G("岸"), G("河流"), G("谁")}));
    EXPECT_TRUE(SentenceSenses({}).empty());
}

// 状态 and 码 lie inside 状态码 and are left out. Bytes are matched on character boundaries:
// 啊啊 (B0 A1 B0 A1) holds the bytes of “ (A1 B0) only across its two characters, so “ stays.
TEST(SentenceSenses, ASenseInsideALongerOneIsLeftOut) {
    EXPECT_EQ(SentenceSenses({"code\t" + G("代码") + "\xA3\xBB" + G("码"),
                              "status\t" + G("状态") + "\xA3\xBB" + G("地位"),
                              "status code\t" + G("状态码")}),
              (std::vector<std::string>{G("代码"), G("地位"), G("状态码")}));
    EXPECT_EQ(SentenceSenses({"a\t" + G("啊啊"), "b\t" + G("“")}),
              (std::vector<std::string>{G("啊啊"), G("“")}));
    const std::string note = G("本命令用于退出当前的命令处理器");
    EXPECT_EQ(SentenceSenses({"exit\t" + G("退出") + "\xA3\xBB" + note}),
              (std::vector<std::string>{G("退出"), note}));
}

TEST(Explanation, SortedLinesAndTheLongestString) {
    TExplanation ex = BuildExplanation(
        {"take care\t" + G("保重"), "bank\t" + G("银行") + "\xA3\xBB" + G("河岸边上")});
    EXPECT_EQ(ex.lines, (StringList{"bank", "  " + G("银行"), "  " + G("河岸边上"), "take care",
                                    "  " + G("保重")}));
    EXPECT_EQ(ex.longest, "take care"); // 9 bytes beat 8; ties keep the earlier
    EXPECT_TRUE(BuildExplanation({}).lines.empty());
}

// "buffer" found as written comes before "buff", which its rules reduce it to; "take" (from took)
// has no entry as written to follow and keeps its place; both are marked with their words.
TEST(ReducedForms, TheWordAsWrittenFirstReducedFormsMarked) {
    const TReducedFrom reduced = {{"buff", "buffer"}, {"take", "took"}, {"look at", "looking at"}};
    const StringList pooled = {"buff\t" + G("擦亮"), "buffer\t" + G("缓冲器"), "take\t" + G("拿"),
                               "look at\t" + G("看"), "looking at\t" + G("注视")};
    const std::string arrow = " " + G("←") + " ";
    EXPECT_EQ(BuildExplanation(pooled, &reduced).lines,
              (StringList{"buffer", "  " + G("缓冲器"), "buff" + arrow + "buffer", "  " + G("擦亮"),
                          "looking at", "  " + G("注视"), "look at" + arrow + "looking at",
                          "  " + G("看"), "take" + arrow + "took", "  " + G("拿")}));
    StringList inserted;
    EXPECT_EQ(
        PhraseListLines(pooled, &reduced, &inserted),
        (StringList{"looking at", " " + G("注视"), "look at" + arrow + "looking at", " " + G("看")}));
    EXPECT_EQ(inserted, (StringList{"looking at", G("注视"), "look at", G("看")}));
    // The input method prefers the word's senses; "take" is all "took" has, so it stays.
    EXPECT_EQ(SentenceSenses(pooled, &reduced),
              (std::vector<std::string>{G("缓冲器"), G("注视"), G("拿")}));
}

// The memory's match "Cannot open file." (无法打开文件，公开) for "Cannot read file.": 打开 is a
// sense of "open", which the sentence lacks; 公开 only holds its one-character sense 开.
TEST(MatchWordLines, TheWordsOfWhatTheSentenceLacksAreLeftOut) {
    struct SplitByScript : ClauseConverter {
        void Convert(int, std::string_view, std::vector<ClauseCandidate>& out) override {
            out.clear();
        }
        void SetPreferredWords(const std::vector<std::string>&) override {}
        void Learn(int, std::string_view, const ClauseCandidate&) override {}
        void ForgetHistory() override {}
        void SaveHistory() override {}
        void SplitWords(std::string_view text, std::vector<std::string>& out) override {
            out = text == G("无法打开文件")
                      ? std::vector<std::string>{G("无法"), G("打开"), G("文件")}
                      : std::vector<std::string>{std::string(text)};
        }
    } conv;
    std::vector<std::unique_ptr<TQbDict>> dicts;
    dicts.push_back(std::make_unique<TQbDict>());
    dicts[0]->LoadEntriesFromBytes("open\t" + G("打开；开") + "\r\nfile\t" + G("文件") + "\r\n", false);
    EXPECT_EQ(MatchWordLines(G("无法打开文件，公开"), {"open"}, dicts, &conv),
              (StringList{"\t" + G("无法"), "\t" + G("文件"), "\t" + G("公开")}));
    EXPECT_TRUE(MatchWordLines(G("无法打开文件"), {}, dicts, nullptr).empty());
}

TEST(ExampleText, TwoLinesEachBeginningWithASpace) {
    EXPECT_EQ(ExampleText(), " Welcome to use Quillbridge Translating Environment!\r\n"
                             " From now on, you'll have more time to enjoy life.\r\n");
}

} // namespace
} // namespace qb::test

namespace qb::test {
namespace {

// The merger must give exactly what MergeKeyedValue gives call by call, byte limits included.
TEST(KeyedMerger, SameListsAsMergeKeyedValue) {
    std::mt19937 rng(12345);
    const std::vector<std::string> keyPool = {"a", "A",  "ab",    "AB",  "b",
                                              "",  "zz", G("中"), "x;y", "tc"};
    const std::vector<std::string> piecePool = {"",
                                                "p",
                                                "q",
                                                "r",
                                                ";",
                                                ";;",
                                                "p;q",
                                                G("保重"),
                                                "P",
                                                std::string(900, 'w'),
                                                std::string(2600, 'v'),
                                                std::string(4999, 'u'),
                                                "\x81"};
    for (int round = 0; round < 300; ++round) {
        StringList refKeys, refWords;
        TKeyedMerger merger;
        const int adds = 1 + int(rng() % 40);
        for (int i = 0; i < adds; ++i) {
            const std::string& key = keyPool[rng() % keyPool.size()];
            std::string text;
            const int parts = 1 + int(rng() % 3);
            for (int j = 0; j < parts; ++j) {
                if (j) text += ';';
                text += piecePool[rng() % piecePool.size()];
            }
            MergeKeyedValue(key, text, refKeys, refWords, ";");
            merger.Add(key, text);
        }
        StringList keys, words;
        merger.Finish(keys, words);
        ASSERT_EQ(keys, refKeys) << "round " << round;
        ASSERT_EQ(words, refWords) << "round " << round;
    }
}

} // namespace
} // namespace qb::test
