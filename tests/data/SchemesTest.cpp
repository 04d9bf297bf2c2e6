// Building the scheme tables from small Rime dictionaries: readings, fallbacks, candidate order.
#include "Schemes.h"
#include "DataCheck.h"
#include "GbkText.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace qb::datagen {
namespace {

std::string Gbk(const char* utf8) { return qb::Utf8ToGbkLossy(utf8); }

const char* const kSimp = "# header\n---\nname: pinyin_simp\n...\n\n"
                          "中\tzhong\t1000\n中\tzhong\t5\n钟\tzhong\t500\n行\txing\t800\n"
                          "行\thang\t300\n国\tguo\t900\n呣\tm\t10\n先\txian\t700\n考\tkao\t50\n"
                          "郎\tlang\t100\n#西\txi\t1\n中国\tzhong guo\t2000\n西安\txi an\t300\n"
                          "a;b\ta b\t5\n";
// 丂 and 乚 are GBK/3 characters that pinyin_simp lacks.
const char* const kLuna = "---\n...\n丂\tkao\n乚\tyin\t60%\n乚\tya\t0%\n乚\tyi\t40%\n行\txing\t91%\n";
const char* const kUnihan = "# comment\nU+4E04\tkMandarin\tshàng\nU+4E04\tkDefinition\tabove\n";

struct PinyinTables : ::testing::Test {
    static HanziUniverse& U() {
        static HanziUniverse u = HanziUniverse::Build();
        return u;
    }
    PinyinData p = ReadPinyin(U(), kSimp, kLuna, kUnihan);

    static std::string Line(const SchemeFiles& f, const std::string& code) {
        auto it = std::find(f.py.begin(), f.py.end(), code);
        return it == f.py.end() ? "(none)" : qb::GbkToUtf8(f.mchar[std::size_t(it - f.py.begin())]);
    }
    static std::string Readings(const SchemeFiles& f, const char* ch) {
        auto it = std::find(f.achr.begin(), f.achr.end(), Gbk(ch));
        return it == f.achr.end() ? "(none)" : f.mpy[std::size_t(it - f.achr.begin())];
    }
};

TEST_F(PinyinTables, TheGbkUniverseHoldsEveryIdeographOnce) {
    EXPECT_EQ(U().gbk.size(), 20923u);
    EXPECT_EQ(U().gbk.front(), "\x81\x40"); // 丂: GBK/3 sorts before GB2312
    EXPECT_TRUE(std::is_sorted(U().gbk.begin(), U().gbk.end()));
    EXPECT_TRUE(IsGb2312Hanzi(Gbk("啊")));
    EXPECT_FALSE(IsGb2312Hanzi(Gbk("丂")));
}

TEST_F(PinyinTables, ReadingsByWeightWithLunaUnihanAndCanonicalFallbacks) {
    SchemeFiles f = BuildPinyinScheme(U(), p, SchemeKind::FullPinyin);
    EXPECT_EQ(Readings(f, "行"), "xing hang");
    EXPECT_EQ(Readings(f, "乚"), "yin yi");   // by percentage, 0% dropped
    EXPECT_EQ(Readings(f, "丄"), "shang");    // Unihan, tone marks removed
    EXPECT_EQ(Readings(f, "\uF92C"), "lang"); // compatibility 郎 reads as 郎
    EXPECT_EQ(Readings(f, "呣"), "m");
    EXPECT_EQ(Readings(f, "西"), "(none)"); // commented out
    EXPECT_EQ(PlainPinyin(QStringLiteral("lüè")), "lue");
    EXPECT_EQ(PlainPinyin(QStringLiteral("lǜ")), "lv");
}

TEST_F(PinyinTables, CandidatesByWeightWithUnweightedCharactersLast) {
    SchemeFiles f = BuildPinyinScheme(U(), p, SchemeKind::FullPinyin);
    EXPECT_EQ(Line(f, "zhong"), "中;钟");
    EXPECT_EQ(Line(f, "zhongguo"), "中国");
    EXPECT_EQ(Line(f, "kao"), "考;丂");
    // A vowel-initial syllable inside a word: one code, without the apostrophe, so that the
    // word shows once under a prefix.
    EXPECT_EQ(Line(f, "xi'an"), "(none)");
    EXPECT_EQ(Line(f, "xian"), "先;西安");
    EXPECT_EQ(Line(f, "ab"), "(none)"); // a candidate may not hold ";"
}

TEST_F(PinyinTables, DoublePinyinTablesConvertAndDropCodelessReadings) {
    SchemeFiles ms = BuildPinyinScheme(U(), p, SchemeKind::Microsoft);
    SchemeFiles zr = BuildPinyinScheme(U(), p, SchemeKind::Ziranma);
    EXPECT_EQ(Readings(ms, "行"), "x; hh");
    EXPECT_EQ(Readings(zr, "行"), "xy hh");
    EXPECT_EQ(Readings(ms, "呣"), "(none)");
    EXPECT_EQ(Line(ms, "vsgo"), "中国");
    EXPECT_EQ(Line(zr, "vsgo"), "中国");
    EXPECT_EQ(Line(ms, "xm"), "先");
    EXPECT_EQ(Line(ms, "xioj"), "西安"); // xi + the zero-initial an
    EXPECT_EQ(Line(zr, "xian"), "西安");
}

TEST_F(PinyinTables, GeneratedTablesPassTheChecker) {
    for (SchemeKind k : {SchemeKind::FullPinyin, SchemeKind::Microsoft, SchemeKind::Ziranma}) {
        SchemeFiles f = BuildPinyinScheme(U(), p, k);
        CheckReport r;
        CheckScheme("t", qb::JoinLinesCrLf(f.achr), qb::JoinLinesCrLf(f.mpy),
                    qb::JoinLinesCrLf(f.py), qb::JoinLinesCrLf(f.mchar), r);
        EXPECT_TRUE(r.errors.empty()) << r.errors.front();
    }
}

TEST_F(PinyinTables, WubiFullCodesShortCodesAndSymbols) {
    const char* wubi = "---\n...\n中\tk\t563\tkh\n中\tkh\t563\n中\tkhk\t2720\n国\tl\t100\n"
                       "国\tlgyi\t900\n中国\tkhlg\t1220\n⒈\tzzd\t1\n我\tq\t1603\ttr\n我\ttrn\t2310\n"
                       "我\ttrnt\t2310\n𠀀\taaaa\t1\n";
    WubiData w = ReadWubi(U(), wubi);
    SchemeFiles f = BuildWubiScheme(U(), w);
    EXPECT_EQ(Readings(f, "中"), "khk");
    EXPECT_EQ(Readings(f, "我"), "trnt");
    EXPECT_EQ(Line(f, "k"), "中");
    EXPECT_EQ(Line(f, "khlg"), "中国");
    EXPECT_EQ(Line(f, "zzd"), "(none)");  // symbols
    EXPECT_EQ(Line(f, "aaaa"), "(none)"); // not GBK
    EXPECT_EQ(WubiFullCodes({"a", "aa", "aaa", "aaaa"}), std::vector<std::string>{"aaaa"});
    EXPECT_EQ(WubiFullCodes({"tf", "tfhh", "gs"}), std::vector<std::string>{"tfhh"});
}

TEST(Candidates, OrderWeightThenLengthThenBytes) {
    std::vector<WeightedText> c = {
        {"bb", 5, true}, {"a", 0, false}, {"ab", 5, true}, {"abcd", 5, true}, {"z", 9, true}};
    std::sort(c.begin(), c.end(), CandidateBefore);
    std::vector<std::string> texts;
    for (const WeightedText& w : c) texts.push_back(w.text);
    EXPECT_EQ(texts, (std::vector<std::string>{"z", "ab", "bb", "abcd", "a"}));
}

} // namespace
} // namespace qb::datagen
