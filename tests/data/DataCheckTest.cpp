// The whole-output checker finds each kind of fault it is there for.
#include "DataCheck.h"
#include "GbkText.h"
#include "MyUtils.h"

#include <gtest/gtest.h>

namespace qb::datagen {
namespace {

std::string Gbk(const char* utf8) { return qb::Utf8ToGbkLossy(utf8); }
std::string Lines(std::initializer_list<std::string> l) { return qb::JoinLinesCrLf(StringList(l)); }

// The first error that mentions `what`, or "" when none does.
::testing::AssertionResult HasError(const CheckReport& r, const std::string& what) {
    for (const std::string& e : r.errors)
        if (e.find(what) != std::string::npos) return ::testing::AssertionSuccess();
    std::string all;
    for (const std::string& e : r.errors) all += "\n  " + e;
    return ::testing::AssertionFailure() << "no error about \"" << what << "\" in:" << all;
}

struct SchemeCheck : ::testing::Test {
    std::string achr = Lines({Gbk("国"), Gbk("中")}); // B9FA before D6D0
    std::string mpy = Lines({"guo", "zhong"});
    std::string py = Lines({"guo", "zhong", "zhongguo"});
    std::string mchar = Lines({Gbk("国"), Gbk("中;钟"), Gbk("中国")});
    CheckReport Run() {
        CheckReport r;
        CheckScheme("s", achr, mpy, py, mchar, r);
        return r;
    }
};

TEST_F(SchemeCheck, GoodTablesPass) { EXPECT_TRUE(Run().errors.empty()); }

TEST_F(SchemeCheck, OrderAndUniqueness) {
    achr = Lines({Gbk("中"), Gbk("国")});
    EXPECT_TRUE(HasError(Run(), "s.achr: line 2: not after"));
    achr = Lines({Gbk("国"), Gbk("国")});
    EXPECT_TRUE(HasError(Run(), "s.achr: line 2: not after"));
    achr = Lines({Gbk("国"), Gbk("中")});
    py = Lines({"guo", "zhongguo", "zhong"});
    EXPECT_TRUE(HasError(Run(), "s.py: line 3: not after"));
}

TEST_F(SchemeCheck, ParallelFilesAndReadings) {
    mpy = Lines({"guo"});
    EXPECT_TRUE(HasError(Run(), "s.mpy: 1 lines, but s.achr has 2"));
    mpy = Lines({"guo", "zhong  zhong"});
    EXPECT_TRUE(HasError(Run(), "s.mpy: line 2: readings not single-space"));
    mpy = Lines({"guo ", ""});
    CheckReport r = Run();
    EXPECT_TRUE(HasError(r, "s.mpy: line 1"));
    EXPECT_TRUE(HasError(r, "s.mpy: line 2"));
    mpy = Lines({"guo", "zhong"});
    mchar = Lines({Gbk("国"), Gbk("中;钟")});
    EXPECT_TRUE(HasError(Run(), "s.mchar: 2 lines, but s.py has 3"));
}

TEST_F(SchemeCheck, CandidatesCodesAndBytes) {
    mchar = Lines({Gbk("国"), Gbk("中;;钟"), Gbk("中国...")});
    CheckReport r = Run();
    EXPECT_TRUE(HasError(r, "s.mchar: line 2: an empty candidate"));
    EXPECT_TRUE(HasError(r, "s.mchar: line 3: \"...\""));
    py = Lines({"guo", "zhong", "zhong1"});
    EXPECT_TRUE(HasError(Run(), "s.py: line 3: not a code"));
    py = Lines({"guo", "zhong", "zhongguo"});
    achr = Lines({Gbk("国"), "\xD6"}); // half a character
    r = Run();
    EXPECT_TRUE(HasError(r, "s.achr: not valid GBK"));
    EXPECT_TRUE(HasError(r, "s.achr: line 2: not one two-byte character"));
    achr = Lines({Gbk("国"), Gbk("中")}) + std::string(1, '\0');
    EXPECT_TRUE(HasError(Run(), "s.achr: a NUL byte"));
}

TEST_F(SchemeCheck, AWordUnderTwoCodesThatDifferOnlyByApostrophes) {
    py = Lines({"guo", "xi'an", "xian", "zhong"});
    mchar = Lines({Gbk("国"), Gbk("西安"), Gbk("先;西安"), Gbk("中")});
    EXPECT_TRUE(HasError(Run(), "s.mchar: line 2: \"西安\" under \"xi'an\" and \"xian\""));
    mchar = Lines({Gbk("国"), Gbk("西安"), Gbk("先"), Gbk("中")});
    for (const std::string& e : Run().errors) EXPECT_EQ(e.find("under"), std::string::npos) << e;
}

std::string Qbs(std::initializer_list<std::string> lines) {
    StringList l(lines);
    qb::ScrambleLines(l);
    return qb::JoinLinesCrLf(l);
}

TEST(LexiconCheck, GoodLexiconPasses) {
    CheckReport r;
    CheckLexicon("x.qbs", Qbs({"a . m .\t" + Gbk("上午；午前"), "take\t" + Gbk("拿")}), r);
    EXPECT_TRUE(r.errors.empty()) << r.errors.front();
}

TEST(LexiconCheck, KeysRenderingsAndOrder) {
    struct Case {
        std::string line, error;
    } cases[] = {
        {"Take\t" + Gbk("拿"), "line 1: key not in lookup form"},
        {"a.m.\t" + Gbk("上午"), "line 1: key not in lookup form"},
        {"take\t" + Gbk("拿;取"), "line 1: half-width"},
        {"take\t" + Gbk("拿；；取"), "line 1: an empty sense"},
        {"take\t" + Gbk("拿；"), "line 1: an empty sense"},
        {"take\t" + Gbk("拿；Abc；abc"), "line 1: the sense \"Abc\" twice"},
        {"take\t", "line 1: rendering of 0 bytes"},
        {"take\t" + std::string(5001, 'x'), "line 1: rendering of 5001 bytes"},
        {"take " + Gbk("拿"), "line 1: no TAB"},
        {"take\t\xD6", "line 1: not valid GBK"},
    };
    for (const Case& c : cases) {
        CheckReport r;
        CheckLexicon("x.qbs", Qbs({c.line}), r);
        EXPECT_TRUE(HasError(r, c.error)) << c.line;
    }
    CheckReport r;
    CheckLexicon("x.qbs",
                 Qbs({"take\t" + Gbk("拿"), "apple\t" + Gbk("苹果"), "apple\t" + Gbk("苹果")}), r);
    EXPECT_TRUE(HasError(r, "line 2: key \"apple\" not after \"take\""));
    EXPECT_TRUE(HasError(r, "line 3: key \"apple\" not after \"apple\""));
    EXPECT_TRUE(HasError(r, "the lexicon engine does not write these bytes back unchanged"));
}

TEST(LexiconCheck, NoiseInSensesAndAbbreviationsMixedIntoWords) {
    CheckReport r;
    CheckLexicon("x.qbs",
                 Qbs({"abd\t" + Gbk("准博士（All But Dissertation）"), "ababa\t" + Gbk("(塞)阿巴巴"),
                      "exit\t" + Gbk("退出；DOS内部命令:退出"), "is\t" + Gbk("be的现在式第三人称")}),
                 r);
    EXPECT_TRUE(HasError(r, "line 1: English in brackets"));
    EXPECT_TRUE(HasError(r, "line 2: name sources"));
    EXPECT_TRUE(HasError(r, "line 3: command explanations"));
    EXPECT_TRUE(HasError(r, "line 4: grammar notes"));
    const std::string abbreviations = Qbs({"cd\t" + Gbk("光盘；载波检测"), "it\t" + Gbk("信息论")});
    CheckReport mixed;
    EXPECT_EQ(CheckAbbreviationsApart(
                  "b.qbs",
                  Qbs({"cd\t" + Gbk("光盘"), "it\t" + Gbk("它；信息论"), "take\t" + Gbk("拿")}),
                  abbreviations, mixed),
              1u);
    EXPECT_TRUE(HasError(mixed, "\"it\" has senses of its own and the abbreviation's \"信息论\""));
}

TEST(LexiconCheck, UnscrambledLinesAreFound) {
    CheckReport r;
    CheckLexicon("x.qbs", Lines({"take\t" + Gbk("拿取")}), r);
    EXPECT_FALSE(r.errors.empty());
}

TEST(IrregularCheck, FormsAndShape) {
    CheckReport good;
    CheckIrregular("verb.spe", Lines({"went^go^", "was^be^"}), good);
    EXPECT_TRUE(good.errors.empty());
    CheckReport r;
    CheckIrregular(
        "verb.spe",
        Lines({"went^go", "Went^go^", "half-lives^half-life^", "went^go^", "went^went^x", "^go^"}), r);
    EXPECT_TRUE(HasError(r, "line 1: not form^base^"));
    EXPECT_TRUE(HasError(r, "line 2: not form^base^"));
    EXPECT_TRUE(HasError(r, "line 3: not form^base^"));
    EXPECT_FALSE(HasError(r, "line 4:"));
    EXPECT_TRUE(HasError(r, "line 5: not form^base^"));
    EXPECT_TRUE(HasError(r, "line 6: not form^base^"));
    CheckReport twice;
    CheckIrregular("verb.spe", Lines({"went^go^", "went^wend^"}), twice);
    EXPECT_TRUE(HasError(twice, "line 2: form met before"));
}

} // namespace
} // namespace qb::datagen
