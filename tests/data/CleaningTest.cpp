// Cleaning ECDICT translations into senses, on real rows of ecdict.csv (fixtures/data).
#include "Ecdict.h"
#include "GbkText.h"
#include "Lexicons.h"

#include <gtest/gtest.h>

#include <map>
#include <unordered_set>

namespace qb::datagen {
namespace {

std::string Gbk(const char* utf8) { return qb::Utf8ToGbkLossy(utf8); }

// key -> rendering (UTF-8) of the FULL selection built from the fixture rows.
std::map<std::string, std::string> FullFromFixture(LexiconSet* keep = nullptr) {
    const std::string csv = qb::ReadWholeFile(QB_TEST_DATA_DIR "/data/sources/ecdict.csv");
    LexiconSet set = BuildLexicons(csv, {}, nullptr, 2);
    SortAndMerge(set.full);
    std::map<std::string, std::string> out;
    for (const LexEntry& e : set.full) out[e.key] = qb::GbkToUtf8(e.rendering);
    if (keep) *keep = std::move(set);
    return out;
}

TEST(Cleaning, TheTenRealRowsGiveTheirRenderings) {
    auto full = FullFromFixture();
    EXPECT_EQ(full["' hood"], "罩；风帽；（布质）面罩；学位连领帽（表示学位种类）；覆盖；用头巾包；"
                              "使(马,鹰等)戴头罩；给…加罩；胡德；兜帽；引擎盖");
    EXPECT_EQ(full["construe"], "解释；分析；对…逐字直译；作句法分析；直译");
    EXPECT_EQ(full["satellize"], "使卫星国化；使沦为附庸国；群集");
    EXPECT_EQ(full["baldrics"], "佩饰；肩带");
    EXPECT_EQ(full["enfranchises"], "给予选举权；（从奴隶制中）解放");
    EXPECT_EQ(full["saturation temperature"], "饱和温度");
    EXPECT_EQ(full["mact"], "Master of Arts in College Teaching 大学教学硕士");
    EXPECT_EQ(full["don ' t"], "不要；禁忌"); // the English in brackets goes
    EXPECT_EQ(full["platted"], "制…的地图；绘…地区图；计划；安排");
    EXPECT_EQ(full["affleck"], "阿弗莱克（人名，苏格兰姓氏） Auchinleck的变体");
    EXPECT_EQ(full["neo - darwinian"], "新达尔文主义的；新达尔文主义者[亦作 neo-Darwinian]");
    EXPECT_EQ(full["abjectness"], "悲惨（卑鄙，无耻）");
}

TEST(Cleaning, CollidingKeysMergeIntoOneEntry) {
    auto full = FullFromFixture();
    // "a.m." and "A. M." are two rows of ECDICT and one key here; the first row's senses lead.
    ASSERT_EQ(full.count("a . m ."), 1u);
    EXPECT_TRUE(full["a . m ."].starts_with("上午；午前"));
}

TEST(Cleaning, RowsWithoutUsableSensesOrWithNonAsciiHeadwordsAreDropped) {
    LexiconSet set;
    auto full = FullFromFixture(&set);
    EXPECT_EQ(full.count("alligatoring"), 0u);
    for (const auto& [key, rendering] : full) EXPECT_NE(key.find("alligator"), 0u) << key;
    EXPECT_EQ(set.rows, 22);
}

TEST(Cleaning, SenseRules) {
    // Markers, spaces and the separators that stay inside a sense.
    EXPECT_EQ(CleanSense(QStringLiteral(" vt.& vi. [医] 走...路 ")), Gbk("走…路"));
    EXPECT_EQ(CleanSense(QStringLiteral("<罕>：一　 二、")), Gbk("一 二"));
    EXPECT_EQ(CleanSense(QStringLiteral("甲；乙;丙")), Gbk("甲，乙,丙"));
    EXPECT_EQ(CleanSense(QStringLiteral("•点º")), Gbk("·点°"));
    EXPECT_EQ(CleanSense(QStringLiteral("汉\u200B字\uFEFF")), Gbk("汉字"));
    // Compatibility ideographs become their unified forms (U+F92C -> U+90CE).
    EXPECT_EQ(CleanSense(QStringLiteral("\uF92C中")), Gbk("郎中"));
    // No ideograph, or a character GBK cannot hold: dropped.
    EXPECT_EQ(CleanSense(QStringLiteral("=googly")), "");
    EXPECT_EQ(CleanSense(QStringLiteral("笑😀")), "");
}

// What is no translation leaves the sense, or the sense leaves the lexicon; the data check
// finds each kind (NoiseOf) in what it reads.
TEST(Cleaning, NoiseLeavesTheSenses) {
    const struct {
        const char16_t* raw;
        const char* clean;
        SenseNoise kind;
    } cases[] = {
        {u"准博士（All But Dissertation）", "准博士", SenseNoise::EnglishInBrackets},
        {u"(= do not)不要", "不要", SenseNoise::EnglishInBrackets},
        {u"(Ababa)人名", "", SenseNoise::EnglishInBrackets},
        {u"(塞)阿巴巴", "阿巴巴", SenseNoise::NameSource},
        {u"(英、葡、波)齐格蒙特", "齐格蒙特", SenseNoise::NameSource},
        {u"be的现在式第三人称", "", SenseNoise::GrammarNote},
        {u"bite的过去式和过去分词", "", SenseNoise::GrammarNote},
        {u"东\uE7C7苇", "", SenseNoise::PrivateUse},
        {u"使(马,鹰等)戴头罩", "使(马,鹰等)戴头罩", SenseNoise::None},
        {u"阿尔(Albert 在美国的昵称)", "阿尔(Albert 在美国的昵称)", SenseNoise::None},
        {u"（布质）面罩", "（布质）面罩", SenseNoise::None},
    };
    for (const auto& c : cases) {
        const QString raw = QString::fromUtf16(c.raw);
        EXPECT_EQ(CleanSense(raw), Gbk(c.clean)) << raw.toStdString();
        if (c.kind != SenseNoise::PrivateUse) { // GBK holds no private-use character to test with
            EXPECT_EQ(NoiseOf(Gbk(raw.toUtf8().constData())), c.kind) << raw.toStdString();
        }
    }
    EXPECT_EQ(NoiseOf(Gbk("DOS内部命令:本命令用于退出")), SenseNoise::CommandExplanation);
    // A command explanation goes with the rest of its line and the unmarked lines after it.
    auto lines = CleanTranslation("vi. 退出\\n[计] 退出; DOS内部命令:本命令用于退出当前的命令处理器"
                                  "(COMMAND.COM)\\n恢复前一个命令处理器\\nn. 出口, 离去");
    std::vector<std::string> all;
    for (const CleanLine& l : lines) AppendSenses(all, l.senses);
    EXPECT_EQ(JoinSenses(all), Gbk("退出；出口；离去"));
}

// "is" and "it" spell IS and IT too: the expansions go to the abbreviation. 比特 stays with "bit"
// ("bit rate" 比特率 holds it), the names of a name line go nowhere.
TEST(Cleaning, AnAbbreviationsSensesLeaveTheWord) {
    AbbreviationEvidence ev;
    ev.AddPhrase("information system", Gbk("信息系统"));
    ev.AddPhrase("information technology", Gbk("信息技术；信息论"));
    ev.AddPhrase("bit rate", Gbk("比特率"));
    ev.AddPhrase("built-in test", Gbk("机内测试"));
    ev.AddPhrase("IT manager", Gbk("信息技术经理；输入终端经理"));
    auto divide = [&](const char* word, const char* translation) {
        RowSenses d = DivideSenses(word, CleanTranslation(translation), &ev);
        return std::make_pair(qb::GbkToUtf8(JoinSenses(d.own)),
                              qb::GbkToUtf8(JoinSenses(d.abbreviation)));
    };
    using P = std::pair<std::string, std::string>;
    EXPECT_EQ(divide("is", "be的现在式第三人称\\n[计] 加下标次序, 信息系统, 国际标准"),
              (P{"", "加下标次序；信息系统；国际标准"}));
    EXPECT_EQ(divide("it", "pron. 它\\n[计] 信息论, 输入终端, 内捕获"),
              (P{"它", "信息论；输入终端；内捕获"}));
    EXPECT_EQ(divide("bit", "n. 少量\\n[计] 比特, 二进制数位, 机内测试"),
              (P{"少量；比特", "二进制数位；机内测试"}));
    EXPECT_EQ(divide("add", "vt. 增加\\n[计] 加法"), (P{"增加；加法", ""}));
    EXPECT_EQ(divide("act", "n. 行动\\n[计] 自动代码翻译技术"), (P{"行动", "自动代码翻译技术"}));
    EXPECT_EQ(divide("its", "pron. 它的\\nn. (Its)人名；(俄)伊茨"), (P{"它的", ""}));
    EXPECT_EQ(divide("a-m", "abbr. 调幅\\nv. 是"), (P{"是", "调幅"}));
    EXPECT_EQ(divide("acne", "[医] 痤疮"), (P{"痤疮", ""})); // no line of the word's own
    EXPECT_TRUE(DivideSenses("it", CleanTranslation("pron. 它\\n[计] 信息论"), nullptr).deferred);
}

TEST(Cleaning, ManualPageWordsLeaveMacrosEscapesAndComments) {
    const auto words = ManPageWords(".\\\" makefile makefile\n.TH PRINTF 3\n.B printf\n"
                                    "\\fBprintf\\fP writes to \\fIstdout\\fR\\(em stdout\\-bound\n",
                                    2);
    EXPECT_EQ(words, (std::unordered_set<std::string>{"printf", "stdout"}));
}

TEST(Cleaning, LinesKeepTheirDomainLabelAndSplitOnlyOutsideBrackets) {
    auto lines = CleanTranslation("[医] 甲, 乙（丙,丁）\\nn. [计] 戊；己\\n[网络] 庚");
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].label, QStringLiteral("医"));
    ASSERT_EQ(lines[0].senses.size(), 2u);
    EXPECT_EQ(lines[0].senses[1], Gbk("乙（丙,丁）"));
    EXPECT_EQ(lines[1].label, QStringLiteral("计"));
    EXPECT_EQ(lines[2].label, QStringLiteral("网络"));
}

TEST(Cleaning, SensesEqualInTextOrderCountOnce) {
    std::vector<std::string> into = {Gbk("Kiloyard 千码")};
    AppendSenses(into, {Gbk("kiloyard 千码"), Gbk("码")});
    EXPECT_EQ(JoinSenses(into), Gbk("Kiloyard 千码；码"));
}

TEST(Cleaning, TheRenderingCapFallsAtASenseBoundary) {
    std::vector<std::string> into;
    std::vector<std::string> many(600, std::string());
    for (std::size_t i = 0; i < many.size(); ++i) many[i] = Gbk("义项") + std::to_string(i);
    AppendSenses(into, many);
    const std::string r = JoinSenses(into);
    EXPECT_LE(r.size(), 5000u);
    EXPECT_GT(r.size(), 4980u);
    EXPECT_TRUE(r.ends_with(Gbk("义项") + std::to_string(into.size() - 1)));
}

TEST(Selection, BasicTakesCoreWordsPhrasesAndUnreducibleFormsNotNamesOrInflections) {
    LexiconSet set;
    FullFromFixture(&set);
    std::map<std::string, bool> basic;
    for (const LexEntry& e : set.basic) basic[e.key] = true;
    EXPECT_TRUE(basic["take"]);         // core (frequency lists)
    EXPECT_TRUE(basic["take care of"]); // a general phrase
    EXPECT_TRUE(basic["construe"]);
    EXPECT_FALSE(basic["affleck"]);                // a name
    EXPECT_FALSE(basic["saturation temperature"]); // technical only
    EXPECT_FALSE(basic["mact"]);                   // abbreviation only
    EXPECT_FALSE(basic["baldrics"]);               // an inflected form
}

TEST(Selection, InflectedFormsStayOutOnlyWhenTheLookupReachesTheirLemma) {
    const std::string csv = qb::ReadWholeFile(QB_TEST_DATA_DIR "/data/sources/ecdict.csv");
    qb::TQbDict forms;
    forms.LoadIrregularFromBytes("took^take^\r\n");
    LexiconSet set = BuildLexicons(csv, {}, &forms, 1);
    std::map<std::string, bool> basic;
    for (const LexEntry& e : set.basic) basic[e.key] = true;
    EXPECT_TRUE(basic["gentlemen"]); // no rule turns it into gentleman
    EXPECT_FALSE(basic["took"]);     // verb.spe does
    EXPECT_FALSE(basic["baldrics"]); // the plural rule does
    EXPECT_EQ(LemmaOf("0:go/1:p"), "go");
    EXPECT_EQ(LemmaOf("1:p/0:take"), "take");
    EXPECT_EQ(LemmaOf("p:took/d:taken"), "");
}

TEST(Lexicon, FileBytesAreTheEnginesOwnAndSurviveARoundTrip) {
    LexEntries e = {{"b", Gbk("乙")}, {"a", Gbk("甲；乙")}, {"A", Gbk("乙；丙")}};
    SortAndMerge(e);
    ASSERT_EQ(e.size(), 2u);
    EXPECT_EQ(e[0].rendering, Gbk("甲；乙；丙"));
    const std::string bytes = LexiconFileBytes(e);
    EXPECT_EQ(bytes, qb::ScrambleLine("a\t" + Gbk("甲；乙；丙")) + "\r\n" +
                         qb::ScrambleLine("b\t" + Gbk("乙")) + "\r\n");
    qb::TQbDict d;
    d.LoadEntriesFromBytes(bytes, true);
    EXPECT_EQ(d.SaveToBytes(true), bytes);
}

} // namespace
} // namespace qb::datagen
