// LookupCodeTable, LookupCandidates, and the paging / picking decisions.
#include "CandidateLookup.h"
#include "ImeTestSupport.h"

#include <gtest/gtest.h>

#include <map>

using namespace qb;
using qbtest::G;

TEST(LookupCodeTable, ExactWordsThenPrefixCandidatesOfLongerCodes) {
    StringList keys{"zh", "zha", "zhong", "zhongguo", "zi"};
    StringList words{G("这"), G("扎;渣"), G("中;;重"), G("中国"), G("字")};
    StringList exact{"stale"}, prefix{"stale"};
    LookupCodeTable("zh", keys, words, exact, prefix);
    EXPECT_EQ(exact, StringList{G("这")});
    EXPECT_EQ(prefix, (StringList{G("扎...a"), G("渣...a"), G("中...ong"), G("重...ong"),
                                  G("中国...ongguo")}));
}

TEST(LookupCodeTable, CodeNotFoundGivesOnlyPrefixCandidates) {
    StringList keys{"bao", "zhong", "zhongguo"};
    StringList words{G("保"), G("中"), G("中国")};
    StringList exact, prefix;
    LookupCodeTable("zho", keys, words, exact, prefix);
    EXPECT_TRUE(exact.empty());
    EXPECT_EQ(prefix, (StringList{G("中...ng"), G("中国...ngguo")}));
}

TEST(LookupCodeTable, UnknownCodeGivesNothing) {
    StringList keys{"a", "b"}, words{"1", "2"};
    StringList exact, prefix;
    LookupCodeTable("q", keys, words, exact, prefix);
    EXPECT_TRUE(exact.empty());
    EXPECT_TRUE(prefix.empty());
    LookupCodeTable("q", {}, {}, exact, prefix);
    EXPECT_TRUE(exact.empty());
    EXPECT_TRUE(prefix.empty());
}

TEST(LookupCodeTable, LimitOfTwentyIsTestedBetweenKeys) {
    // Code "a": keys a1..a9 of three words each. After 7 keys c = 21 >= 20: the scan stops, and
    // all three words of the seventh key are kept.
    StringList keys, words;
    for (int i = 1; i <= 9; ++i) {
        keys.push_back("a" + std::to_string(i));
        words.push_back("x;y;z");
    }
    StringList exact, prefix;
    LookupCodeTable("a", keys, words, exact, prefix);
    EXPECT_EQ(prefix.size(), 21u);
    EXPECT_EQ(prefix.back(), "z...7");
}

TEST(LookupCodeTable, SkipsOneKeyAfterAFoundCodeAndTwoAfterAMissingOne) {
    // Keys sorted case-insensitively; the prefix test is by bytes. Code "ab" found at 0: "ABc"
    // (index 1) does not begin with "ab" by bytes and is passed over; "abd" is taken; "b" ends.
    StringList keys{"ab", "ABc", "abd", "b"};
    StringList words{"1", "2", "3", "4"};
    StringList exact, prefix;
    LookupCodeTable("ab", keys, words, exact, prefix);
    EXPECT_EQ(exact, StringList{"1"});
    EXPECT_EQ(prefix, StringList{"3...d"});
    // A second non-matching key right after a found code ends the scan.
    StringList keys2{"ab", "ABc", "ABd", "abe"};
    StringList words2{"1", "2", "3", "4"};
    LookupCodeTable("ab", keys2, words2, exact, prefix);
    EXPECT_TRUE(prefix.empty());
    // Not found ("ab" would go in at 1): keys 1 and 2 are passed over, "abe" is taken.
    StringList keys3{"a", "ABc", "ABd", "abe", "b"};
    StringList words3{"1", "2", "3", "4", "5"};
    LookupCodeTable("ab", keys3, words3, exact, prefix);
    EXPECT_TRUE(exact.empty());
    EXPECT_EQ(prefix, StringList{"4...e"});
}

TEST(LookupCodeTable, RestOfCodeIsCutAtThousandBytes) {
    std::string longKey = "a" + std::string(1500, 'b');
    StringList keys{"a", longKey}, words{"x", "y"};
    StringList exact, prefix;
    LookupCodeTable("a", keys, words, exact, prefix);
    ASSERT_EQ(prefix.size(), 1u);
    EXPECT_EQ(prefix[0], "y..." + std::string(1000, 'b'));
}

TEST(LookupCodeTable, WordListShorterThanKeysStopsTheScan) {
    StringList keys{"a", "ab", "ac"}, words{"1", "2"};
    StringList exact, prefix;
    LookupCodeTable("a", keys, words, exact, prefix);
    EXPECT_EQ(prefix, StringList{"2...b"});
}

namespace {

struct Fixture {
    SchemeTables qp, sp, zr, wb;
    StringList sentenceKeys, sentenceWords;
    CandidateSources Sources(std::array<int, 4> order = {1, 2, 3, 4},
                             std::array<bool, 4> use = {true, true, true, true}) {
        CandidateSources s;
        s.sentenceKeys = &sentenceKeys;
        s.sentenceWords = &sentenceWords;
        s.schemes = {&qp, &sp, &zr, &wb};
        s.use = use;
        s.order = order;
        s.classicOrder = true;
        return s;
    }
    Fixture() {
        qp.CodeKeys = {"ab", "abc"};
        qp.CodeWords = {"QP1;W", "QPX"};
        sp.CodeKeys = {"ab", "abd"};
        sp.CodeWords = {"SP1;W", "SPX"};
        zr.CodeKeys = {"ab", "abe"};
        zr.CodeWords = {"ZR1", "ZRX"};
        wb.CodeKeys = {"ab", "abf"};
        wb.CodeWords = {"WB1;w", "WBX"};
        sentenceKeys = {"ab", "abs"};
        sentenceWords = {"SEN;W", "SX"};
    }
};

} // namespace

namespace {

// The rows as the window draws them, and the code each leaves to compose and its scheme.
StringList Drawn(const CandidateRows& rows) {
    StringList out;
    for (const CandidateRow& r : rows) out.push_back(DrawnRow(r));
    return out;
}
std::vector<std::string> Rests(const CandidateRows& rows) {
    std::vector<std::string> out;
    for (const CandidateRow& r : rows) out.push_back(r.rest);
    return out;
}
std::vector<int> Schemes(const CandidateRows& rows) {
    std::vector<int> out;
    for (const CandidateRow& r : rows) out.push_back(r.scheme);
    return out;
}
// Plain rows of these texts; "中...ong" gives the prefix row 中 of the longer code's rest ong.
CandidateRows RowsOf(const StringList& texts, int scheme = 0) {
    CandidateRows rows;
    for (const std::string& t : texts) {
        CandidateRow& r = rows.emplace_back();
        const std::size_t mark = t.find(kPrefixMark);
        r.text = t.substr(0, mark);
        r.prefix = mark != std::string::npos;
        if (r.prefix) r.codeRest = t.substr(mark + kPrefixMark.size());
        r.scheme = scheme;
    }
    return rows;
}

} // namespace

TEST(LookupCandidates, SentenceFirstThenSchemesInOrderExactBeforePrefix) {
    Fixture f;
    CandidateLookup lookup;
    StringList out{"stale"};
    lookup.LookupCandidates("ab", f.Sources(), out);
    // "W" of the schemes and "w" of 五笔 equal "W" of the sentence in text order: kept once,
    // at the sentence's position.
    EXPECT_EQ(out, (StringList{"SEN", "W", "QP1", "SP1", "ZR1", "WB1", "SX...s", "QPX...c",
                               "SPX...d", "ZRX...e", "WBX...f"}));
}

TEST(LookupCandidates, SchemeOrderFourOneTwoThreeInBothGroups) {
    Fixture f;
    CandidateLookup lookup;
    StringList out;
    lookup.LookupCandidates("ab", f.Sources({4, 1, 2, 3}), out);
    EXPECT_EQ(out, (StringList{"SEN", "W", "WB1", "QP1", "SP1", "ZR1", "SX...s", "WBX...f",
                               "QPX...c", "SPX...d", "ZRX...e"}));
}

TEST(LookupCandidates, ZiranmaBeforeShuangpinWithOrderOneThreeTwoFour) {
    Fixture f;
    f.sentenceKeys.clear();
    f.sentenceWords.clear();
    CandidateLookup lookup;
    StringList out;
    lookup.LookupCandidates("ab", f.Sources({1, 3, 2, 4}), out);
    EXPECT_EQ(out, (StringList{"QP1", "W", "ZR1", "SP1", "WB1", "QPX...c", "ZRX...e", "SPX...d",
                               "WBX...f"}));
}

TEST(LookupCandidates, DisabledSchemesAreLeftOut) {
    Fixture f;
    CandidateLookup lookup;
    StringList out;
    lookup.LookupCandidates("ab", f.Sources({1, 2, 3, 4}, {false, true, false, false}), out);
    EXPECT_EQ(out, (StringList{"SEN", "W", "SP1", "SX...s", "SPX...d"}));
    EXPECT_TRUE(lookup.ExactHits[1].empty());
}

TEST(LookupCandidates, ExactAndPrefixOfTheSameWordBothStay) {
    Fixture f;
    f.qp.CodeWords = {"X", "X"};
    CandidateLookup lookup;
    StringList out;
    lookup.LookupCandidates("ab", f.Sources({1, 2, 3, 4}, {true, false, false, false}), out);
    EXPECT_EQ(out, (StringList{"SEN", "W", "X", "SX...s", "X...c"}));
}

TEST(LookupCandidates, TrailBytesAreNeverFoldedSoTwoCharactersStayTwo) {
    // 乑 is 81 5A and 81 7A is another character: their trail bytes are the codes of 'Z' and 'z'.
    // Folding them would make the two one key and drop the second.
    SchemeTables qp;
    qp.CodeKeys = {"ab"};
    qp.CodeWords = {"\x81\x5A;\x81\x7A;AB;ab"};
    CandidateSources s;
    s.classicOrder = true;
    s.schemes[0] = &qp;
    s.use = {true, false, false, false};
    CandidateLookup lookup;
    StringList out;
    lookup.LookupCandidates("ab", s, out);
    EXPECT_EQ(out, (StringList{"\x81\x5A", "\x81\x7A", "AB"}));
}

namespace {

// Readings per scheme as a real converter would give them, and a record of what was asked.
class FakeConverter : public ClauseConverter {
public:
    std::map<int, std::vector<ClauseCandidate>> rows;
    std::vector<int> asked;
    void Convert(int scheme, std::string_view, std::vector<ClauseCandidate>& out) override {
        asked.push_back(scheme);
        out = rows[scheme];
    }
    void SetPreferredWords(const std::vector<std::string>&) override {}
    void Learn(int, std::string_view, const ClauseCandidate&) override {}
    void ForgetHistory() override {}
    void SaveHistory() override {}
    // The model's words of a text, as scripted; a text not scripted is one word.
    std::map<std::string, std::vector<std::string>> words;
    void SplitWords(std::string_view text, std::vector<std::string>& out) override {
        auto it = words.find(std::string(text));
        out = it != words.end() ? it->second : std::vector<std::string>{std::string(text)};
    }
};

} // namespace

TEST(LookupCandidates, AnExactHitAnywhereKeepsTheTablesListAndAsksNoConversion) {
    Fixture f;
    FakeConverter conv;
    conv.rows[1] = {{"CLAUSE", 2}};
    CandidateLookup lookup;
    CandidateRows rows;
    // Only 五笔 knows "ab" itself: still an exact hit.
    f.qp.CodeKeys = {"abc"};
    f.qp.CodeWords = {"QPX"};
    f.sentenceKeys.clear();
    f.sentenceWords.clear();
    CandidateSources s = f.Sources();
    s.converter = &conv;
    lookup.LookupCandidates("ab", s, rows);
    EXPECT_TRUE(conv.asked.empty());
    EXPECT_EQ(Drawn(rows),
              (StringList{"SP1", "W", "ZR1", "WB1", "QPX...c", "SPX...d", "ZRX...e", "WBX...f"}));
    EXPECT_EQ(Rests(rows), std::vector<std::string>(rows.size()));
    EXPECT_EQ(Schemes(rows), std::vector<int>(rows.size()));
}

std::vector<int> Sources(const CandidateRows& rows) {
    std::vector<int> out;
    for (const CandidateRow& r : rows) out.push_back(r.source);
    return out;
}

// A 全拼 typist's list with the defaults: only 全拼 is read by the library, and the other
// schemes' exact hits take the last rows of the first page however many readings 全拼 has; a
// 五笔 typist's list starts with 五笔's words and asks the library nothing.
TEST(LookupCandidates, LeadingSchemesAreReadAndTheOthersKeepTheirExactHitsOnPageOne) {
    Fixture f;
    f.sentenceKeys.clear();
    f.sentenceWords.clear();
    FakeConverter conv;
    for (int i = 0; i < 12; ++i) conv.rows[1].push_back({"Q" + std::to_string(i), 2});
    conv.rows[2] = {{"DOUBLE", 2}};
    CandidateSources s = f.Sources();
    s.classicOrder = false;
    s.converter = &conv;
    CandidateLookup lookup;
    CandidateRows rows;

    s.lead = {true, false, false, false};
    lookup.LookupCandidates("ab", s, rows);
    EXPECT_EQ(conv.asked, std::vector<int>{1});
    EXPECT_EQ(Drawn(rows), (StringList{"Q0", "Q1", "Q2", "Q3", "Q4", "Q5", "Q6", "SP1", "ZR1", "WB1",
                                       "Q7", "Q8", "Q9", "Q10", "Q11", "QP1", "W", "QPX...c"}));
    EXPECT_EQ(Sources(rows).at(7), 2);
    EXPECT_EQ(Sources(rows).at(0), 1);
    // One row each: 双拼's syllable of three characters leaves room for 五笔's word.
    f.sp.CodeWords[0] = G("选") + ";" + G("玄") + ";" + G("轩");
    lookup.LookupCandidates("ab", s, rows);
    const StringList drawn = Drawn(rows);
    EXPECT_EQ(StringList(drawn.begin() + 7, drawn.begin() + 10), (StringList{G("选"), "ZR1", "WB1"}));
    f.sp.CodeWords[0] = "SP1;W";

    conv.asked.clear();
    s.lead = {false, false, false, true};
    lookup.LookupCandidates("ab", s, rows);
    EXPECT_TRUE(conv.asked.empty());
    EXPECT_EQ(Drawn(rows), (StringList{"WB1", "w", "QP1", "SP1", "ZR1", "WBX...f"}));
    EXPECT_EQ(Sources(rows), (std::vector<int>{4, 4, 1, 2, 3, 4}));
}

// Two senses typed by their initials, one after the other, make one row before the tables'; a
// part whose sense has another length ("wjj") or a code with a vowel makes none.
TEST(LookupCandidates, TwoSensesByTheirInitialsMakeOneRow) {
    Fixture f;
    const StringList senseKeys = {"bf", "wj", "wjj"};
    const StringList senseWords = {G("备份"), G("文件") + ";" + G("文"), G("文件夹")};
    CandidateSources s = f.Sources();
    s.classicOrder = false;
    s.senseKeys = &senseKeys;
    s.senseWords = &senseWords;
    CandidateLookup lookup;
    CandidateRows rows;
    lookup.LookupCandidates("bfwj", s, rows);
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows[0].text, G("备份文件"));
    lookup.LookupCandidates("bfwjj", s, rows);
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows[0].text, G("备份文件夹"));
    lookup.LookupCandidates("bfwa", s, rows);
    EXPECT_TRUE(lookup.SenseCombos.empty());
}

TEST(LookupCandidates, WithoutExactHitsTheConversionComesFirstWholeReadingsBeforeWords) {
    Fixture f;
    FakeConverter conv;
    // "zhuangtaima" as 全拼 (1) and as 自然 (3); 双拼 (2) is switched off, 五笔 is never asked.
    conv.rows[1] = {{"ZTM", 11}, {"ZT", 9}, {"Z", 6}};
    conv.rows[2] = {{"OFF", 11}};
    conv.rows[3] = {{"zt", 9}, {"ZR", 4}, {"ZTMA", 11}};
    for (SchemeTables* t : {&f.qp, &f.sp, &f.zr, &f.wb}) {
        t->CodeKeys = {"zhuangtaimax"};
        t->CodeWords = {"P"};
    }
    f.sentenceKeys.clear();
    f.sentenceWords.clear();
    CandidateSources s = f.Sources({3, 4, 1, 2}, {true, false, true, true});
    s.converter = &conv;
    CandidateLookup lookup;
    CandidateRows rows;
    lookup.LookupCandidates("zhuangtaima", s, rows);
    EXPECT_EQ(conv.asked, (std::vector<int>{3, 1}));
    // Readings of the whole code first in scheme order, then the shorter words; "zt" equals
    // "ZT" in text order: the later one is dropped.
    EXPECT_EQ(Drawn(rows), (StringList{"ZTMA", "ZTM", "zt", "ZR", "Z", "P...x"}));
    EXPECT_EQ(Rests(rows), (std::vector<std::string>{"", "", "ma", "ngtaima", "taima", ""}));
    EXPECT_EQ(Schemes(rows), (std::vector<int>{3, 1, 3, 3, 1, 0}));
    // The next code without a converter: nothing of the last conversion stays.
    s.converter = nullptr;
    lookup.LookupCandidates("zhuangtaima", s, rows);
    EXPECT_EQ(Drawn(rows), StringList{"P...x"});
    EXPECT_EQ(Rests(rows), std::vector<std::string>{""});
    EXPECT_EQ(Schemes(rows), std::vector<int>{0});
}

TEST(LookupCandidates, TheRestOfAPickNeverStartsWithTheSyllableSeparator) {
    FakeConverter conv;
    conv.rows[1] = {{"XI", 3}, {"XIAN", 5}};
    SchemeTables qp;
    CandidateSources s;
    s.classicOrder = true;
    s.schemes = {&qp, nullptr, nullptr, nullptr};
    s.use = {true, false, false, false};
    s.converter = &conv;
    CandidateLookup lookup;
    CandidateRows rows;
    lookup.LookupCandidates("xi'an", s, rows);
    EXPECT_EQ(Drawn(rows), (StringList{"XIAN", "XI"}));
    EXPECT_EQ(Rests(rows), (std::vector<std::string>{"", "an"}));
}

TEST(LookupCandidates, LveAndNveFindTheFullPinyinTablesLueAndNue) {
    SchemeTables qp, sp;
    qp.CodeKeys = {"celue", "lue", "nue"};
    qp.CodeWords = {G("策略"), G("略;掠"), G("虐")};
    sp.CodeKeys = {"lve"}; // a double-pinyin code is taken as typed
    sp.CodeWords = {"SP"};
    CandidateSources s;
    s.classicOrder = true;
    s.schemes = {&qp, &sp, nullptr, nullptr};
    s.use = {true, true, false, false};
    CandidateLookup lookup;
    StringList out;
    lookup.LookupCandidates("lve", s, out);
    EXPECT_EQ(out, (StringList{G("略"), G("掠"), "SP"}));
    lookup.LookupCandidates("nve", s, out);
    EXPECT_EQ(out, StringList{G("虐")});
    lookup.LookupCandidates("celv", s, out);
    EXPECT_EQ(out, StringList{});
    lookup.LookupCandidates("celve", s, out);
    EXPECT_EQ(out, StringList{G("策略")});
}

TEST(LookupCandidates, EmptyCodeYieldsNothing) {
    Fixture f;
    CandidateLookup lookup;
    StringList out{"stale"};
    lookup.LookupCandidates("", f.Sources(), out);
    EXPECT_TRUE(out.empty());
}

TEST(LookupCandidates, NullSourcesAreEmpty) {
    CandidateSources s; // nothing attached
    s.classicOrder = true;
    s.use = {true, true, true, true};
    CandidateLookup lookup;
    StringList out;
    lookup.LookupCandidates("ab", s, out);
    EXPECT_TRUE(out.empty());
}

TEST(LookupCandidates, OverASchemeLoadedFromItsFiles) {
    SchemeTables mini;
    LoadScheme(mini, std::string(QB_TEST_DATA_DIR) + "/ime/", "mini", true);
    CandidateSources s;
    s.classicOrder = true;
    s.schemes[0] = &mini;
    s.use = {true, false, false, false};
    CandidateLookup lookup;
    CandidateRows rows;
    lookup.LookupCandidates("yin", s, rows); // 银;;因: the empty piece is dropped
    EXPECT_EQ(Drawn(rows), (StringList{G("银"), G("因"), G("银行...hang")}));
    lookup.LookupCandidates("yinh", s, rows);
    EXPECT_EQ(Drawn(rows), StringList{G("银行...ang")});
    EXPECT_EQ(DecideCompose(rows), ComposeOutcome::ShowFirstPage);
    lookup.LookupCandidates("yinhang", s, rows);
    EXPECT_EQ(Drawn(rows), StringList{G("银行")});
    EXPECT_EQ(DecideCompose(rows), ComposeOutcome::Commit);
}

TEST(DecideCompose, NoneOneExactOnePrefixMany) {
    EXPECT_EQ(DecideCompose({}), ComposeOutcome::NoCandidates);
    EXPECT_EQ(DecideCompose(RowsOf({G("中国")})), ComposeOutcome::Commit);
    EXPECT_EQ(DecideCompose(RowsOf({G("中...ong")})), ComposeOutcome::ShowFirstPage);
    EXPECT_EQ(DecideCompose(RowsOf({G("中"), G("钟")})), ComposeOutcome::ShowFirstPage);
}

TEST(DecideCompose, ALoneConversionReadingNeverCommits) {
    EXPECT_EQ(DecideCompose(RowsOf({G("我们应该")}, 1)), ComposeOutcome::ShowFirstPage);
    EXPECT_EQ(DecideCompose(RowsOf({G("我们应该")}, 3)), ComposeOutcome::ShowFirstPage);
    EXPECT_EQ(DecideCompose(RowsOf({G("中国")}, 0)), ComposeOutcome::Commit);
}

TEST(StepPage, TwentyFiveCandidatesGiveThreePages) {
    int page = 0;
    page = StepPage(page, 25, true);
    EXPECT_EQ(page, 1);
    page = StepPage(page, 25, true);
    EXPECT_EQ(page, 2);
    page = StepPage(page, 25, true);
    EXPECT_EQ(page, 3);
    page = StepPage(page, 25, true); // forward on the last page stays
    EXPECT_EQ(page, 3);
    EXPECT_EQ(StepPage(1, 25, false), 0); // back from page 1: no page
    EXPECT_EQ(StepPage(0, 25, false), 0);
    EXPECT_EQ(StepPage(1, 10, true), 1); // ten candidates: one page
    EXPECT_EQ(StepPage(0, 0, true), 0);
}

TEST(BuildPageText, NumbersOneToNineThenZeroAndDropsTheFinalCrLf) {
    StringList texts;
    for (int i = 1; i <= 25; ++i) texts.push_back("c" + std::to_string(i));
    const CandidateRows buffer = RowsOf(texts);
    PageText p1 = BuildPageText(buffer, 1);
    EXPECT_EQ(p1.text, "1:c1\r\n2:c2\r\n3:c3\r\n4:c4\r\n5:c5\r\n6:c6\r\n7:c7\r\n8:c8\r\n9:c9\r\n0:c10");
    EXPECT_EQ(p1.rows, 10);
    EXPECT_EQ(p1.longest, "c10");
    PageText p3 = BuildPageText(buffer, 3);
    EXPECT_EQ(p3.text, "1:c21\r\n2:c22\r\n3:c23\r\n4:c24\r\n5:c25");
    EXPECT_EQ(p3.rows, 5);
    EXPECT_EQ(p3.longest, "c21"); // first on a tie
    EXPECT_EQ(BuildPageText(buffer, 0).text, "");
}

TEST(BuildPageText, LongestByBytes) {
    const CandidateRows buffer = RowsOf({"abc", G("中国人"), "abcdef"});
    EXPECT_EQ(BuildPageText(buffer, 1).longest, G("中国人")); // 6 bytes, first of the tie
    EXPECT_EQ(BuildPageText(RowsOf({G("中...ong")}), 1).text, "1:" + G("中...ong"));
}

TEST(CandidateWindowWidth, HeldBetweenEightyAndFourHundred) {
    EXPECT_EQ(CandidateWindowWidth(10), 80);
    EXPECT_EQ(CandidateWindowWidth(80), 80);
    EXPECT_EQ(CandidateWindowWidth(200), 200);
    EXPECT_EQ(CandidateWindowWidth(400), 400);
    EXPECT_EQ(CandidateWindowWidth(4000), 400);
}

TEST(PickFromRows, DigitZeroIsTheTenthRowAndPrefixIsCut) {
    StringList rows;
    for (int i = 1; i <= 10; ++i) rows.push_back(std::to_string(i % 10) + ":w" + std::to_string(i));
    EXPECT_EQ(PickFromRows(rows, 1), "w1");
    EXPECT_EQ(PickFromRows(rows, 9), "w9");
    EXPECT_EQ(PickFromRows(rows, 0), "w10");
    EXPECT_EQ(PickFromRows(rows, -1), "");
    rows.resize(5);
    EXPECT_EQ(PickFromRows(rows, 0), ""); // fewer than ten rows
    EXPECT_EQ(PickFromRows(rows, 5), "w5");
    EXPECT_EQ(PickFromRows(rows, 6), "");
    StringList prefixRows{"1:" + G("中...ong"), "2:" + G("中国...ong...x")};
    EXPECT_EQ(PickFromRows(prefixRows, 1), G("中"));
    EXPECT_EQ(PickFromRows(prefixRows, 2), G("中国"));
    StringList longRow{"1:" + std::string(800, 'x')};
    EXPECT_EQ(PickFromRows(longRow, 1), std::string(500, 'x'));
}

// A pick of more than 500 bytes is cut where a character ends: with one letter before a run of
// 中, byte 500 is a lead byte, so the cut keeps 499 bytes; with the run alone it keeps 500.
TEST(PickFromRows, LongPickIsCutAtACharacterBoundary) {
    std::string run;
    for (int i = 0; i < 300; ++i) run += G("中");
    const std::string odd = PickFromRows({"1:a" + run}, 1);
    EXPECT_EQ(odd.size(), 499u);
    EXPECT_EQ(odd, "a" + run.substr(0, 498));
    EXPECT_EQ(PickFromRows({"1:" + run}, 1), run.substr(0, 500));
    const std::string mixed = "ab" + G("中") + "c";
    EXPECT_EQ(CutAtCharBoundary(mixed, 3), "ab");
    EXPECT_EQ(CutAtCharBoundary(mixed, 4), "ab" + G("中"));
    EXPECT_EQ(CutAtCharBoundary(mixed, 99), mixed);
    EXPECT_EQ(CutAtCharBoundary("\x81", 1), "\x81"); // a lone lead byte at the end is one byte
}

// Picks are credited per scheme; three to one scheme make it lead, and a few stray picks among
// many of another scheme do not.
TEST(SchemeUsage, LeadingFollowsThePicks) {
    struct Case {
        std::vector<int> picks;
        std::array<bool, 4> use;
        std::array<int, 4> order;
        std::array<bool, 4> lead;
    };
    const std::array<bool, 4> all{true, true, true, true};
    const std::vector<int> manyQp(10, 1);
    std::vector<int> manyQpThenWb = manyQp;
    manyQpThenWb.insert(manyQpThenWb.end(), {4, 4, 4});
    const Case cases[] = {
        {{}, all, {1, 2, 3, 4}, {true, false, false, false}},
        {{}, all, {4, 1, 2, 3}, {false, false, false, true}},
        {{4, 4}, all, {1, 2, 3, 4}, {true, false, false, false}},
        {{4, 4, 4}, all, {1, 2, 3, 4}, {false, false, false, true}},
        {{4, 4, 4}, {true, true, true, false}, {1, 2, 3, 4}, {true, false, false, false}},
        {manyQpThenWb, all, {1, 2, 3, 4}, {true, false, false, false}},
        {{2, 2, 2, 1, 1, 1}, all, {1, 2, 3, 4}, {true, true, false, false}},
    };
    for (const Case& c : cases) {
        SchemeUsage u;
        for (int id : c.picks) u.Credit(id);
        EXPECT_EQ(u.Leading(c.use, c.order), c.lead) << ::testing::PrintToString(c.picks);
        const SchemeUsage back = SchemeUsage::Load(u.Save());
        EXPECT_EQ(back.Leading(c.use, c.order), c.lead) << u.Save();
    }
    for (const char* bad : {"", "1,2,3", "1,2,3,4,5", "1,2,-3,4", "a,b,c,d", "1,2,3,4x", "nan,0,0,0"})
        EXPECT_FALSE(SchemeUsage::Load(bad).Inferred()) << bad;
    SchemeUsage u;
    for (int i = 0; i < 3; ++i) u.Credit(4);
    u.Forget();
    EXPECT_FALSE(u.Inferred());
}

// A phrase rendered in a translated sentence leads its senses in the later sentences; a sense
// the translation does not hold, a phrase not rendered, and a case change of the phrase are no
// reason to reorder.
TEST(DocumentRenderings, TheRenderingChosenLeadsTheSensesLater) {
    const std::string sep(kSenseSep);
    DocumentRenderings d;
    EXPECT_EQ(d.Learn({"library\t" + G("图书馆") + sep + G("库"), "open\t" + G("打开"),
                       "the\t" + G("这个")},
                      G("打开程序库。")),
              2u);
    StringList later = {"Library\t" + G("图书馆") + sep + G("库") + sep + G("文库"),
                        "close\t" + G("关闭") + sep + G("收盘"), "open\t" + G("打开")};
    const StringList unchanged(later.begin() + 1, later.end());
    d.Apply(later);
    EXPECT_EQ(later[0], "Library\t" + G("库") + sep + G("图书馆") + sep + G("文库"));
    EXPECT_EQ(StringList(later.begin() + 1, later.end()), unchanged);
    // The longest sense the translation holds wins: 程序库 over 库.
    d.Learn({"library\t" + G("库") + ";" + G("程序库")}, G("打开程序库"));
    StringList again = {"library\t" + G("库") + sep + G("程序库")};
    d.Apply(again);
    EXPECT_EQ(again[0], "library\t" + G("程序库") + sep + G("库"));
    d.Clear();
    EXPECT_EQ(d.Size(), 0u);
}

// The words inside the senses are offered after the senses themselves: 无效 of "invalid" (无效的)
// and 一个 of "another" (另一个); a piece that is a sense of its own (文件) or a single character
// (的) is none, and a piece typed already is not predicted again.
TEST(SensePieceLines, WordsInsideTheSensesArePredictedAfterTheSenses) {
    FakeConverter conv;
    conv.words[G("无效的")] = {G("无效"), G("的")};
    conv.words[G("另一个")] = {G("另"), G("一个")};
    conv.words[G("档案文件")] = {G("档案"), G("文件")};
    const std::string sep(kSenseSep);
    const StringList phrases = {"invalid\t" + G("无效的"), "another\t" + G("另一个"),
                                "archive\t" + G("档案文件"), "file\t" + G("文件")};
    const StringList pieces = SensePieceLines(phrases, &conv);
    EXPECT_EQ(pieces,
              (StringList{"invalid\t" + G("无效"), "another\t" + G("一个"), "archive\t" + G("档案")}));
    StringList out;
    BuildPredictions(G("一个"), phrases, &conv, out, &pieces);
    // Ranked by first sense and length, shorter first (no model here): pieces after the senses;
    // 无效的 is offered as 无效.
    EXPECT_EQ(out, (StringList{G("无效"), G("文件"), G("另一个"), G("档案文件"), G("档案")}));
    EXPECT_TRUE(SensePieceLines(phrases, nullptr).empty());
}

// A term's rendering comes before the first sense of a function word, however short that is.
TEST(SensePieceLines, ATermsRenderingIsPredictedBeforeAFunctionWordsSense) {
    FakeConverter conv;
    StringList out;
    BuildPredictions(G("打印"), {"the\t" + G("那"), "status code\t" + G("状态码")}, &conv, out);
    EXPECT_EQ(out, (StringList{G("状态码"), G("那")}));
}

// A gloss framing its object offers what is typed after the object, never the frame with its
// …; a gloss that is no word leaves the first sense's bonus to the next.
TEST(BuildPredictions, AFramesTailIsOfferedAndTheFrameIsNot) {
    FakeConverter conv;
    const std::string sep(kSenseSep);
    const StringList phrases = {
        "when\t" + G("当…的时候") + sep + G("何时"), "on\t" + G("在…之上") + sep + G("打开"),
        "while\t" + G("(一段)时间") + sep + G("一会儿"), "process\t" + G("使…接受处理")};
    StringList out;
    BuildPredictions(G("验证"), phrases, &conv, out);
    EXPECT_EQ(out, (StringList{G("一会儿"), G("时"), G("上"), G("时候"), G("何时"), G("之上"),
                               G("打开"), G("的时候"), G("接受处理")}));
}

// The memory's match words come after the first senses and before the others; one typed
// already is not offered again.
TEST(BuildPredictions, TheMemorysMatchWordsFollowTheFirstSenses) {
    FakeConverter conv;
    const StringList phrases = {"file\t" + G("文件") + std::string(kSenseSep) + G("档案")};
    const StringList match = {"\t" + G("无法"), "\t" + G("读取"), "\t" + G("归档")};
    StringList out;
    BuildPredictions(G("无法"), phrases, &conv, out, nullptr, &match);
    EXPECT_EQ(out, (StringList{G("文件"), G("读取"), G("归档"), G("档案")}));
}

// The document's words, those typed most often first, then the latest sentence's, each once;
// runs end at punctuation.
TEST(DocumentRenderings, TheTranslationsWordsAreKeptMostUsedFirst) {
    FakeConverter conv;
    conv.words[G("归档的格式")] = {G("归档"), G("的"), G("格式")};
    conv.words[G("解压归档")] = {G("解压"), G("归档")};
    DocumentRenderings d;
    d.LearnWords(G("归档的格式：无效"), &conv);
    EXPECT_EQ(d.WordLines(), (StringList{"\t" + G("归档"), "\t" + G("格式"), "\t" + G("无效")}));
    d.LearnWords(G("解压归档"), &conv);
    EXPECT_EQ(d.WordLines(),
              (StringList{"\t" + G("归档"), "\t" + G("解压"), "\t" + G("格式"), "\t" + G("无效")}));
    d.Clear();
    EXPECT_TRUE(d.WordLines().empty());
}
