// Full pinyin syllables -> the two keys of 双拼 (Microsoft) and 自然 (Ziranma).
#include "DoublePinyin.h"

#include <gtest/gtest.h>

namespace qb::datagen {
namespace {

struct Case {
    const char* syllable;
    const char* microsoft;
    const char* ziranma;
};

void ExpectCodes(std::initializer_list<Case> cases) {
    for (const Case& c : cases) {
        EXPECT_EQ(DoublePinyinCode(c.syllable, DoubleScheme::Microsoft), c.microsoft) << c.syllable;
        EXPECT_EQ(DoublePinyinCode(c.syllable, DoubleScheme::Ziranma), c.ziranma) << c.syllable;
    }
}

// clang-format off
TEST(DoublePinyin, ZeroInitialSyllables) {
    ExpectCodes({{"a", "oa", "aa"},   {"o", "oo", "oo"},   {"e", "oe", "ee"},   {"ai", "ol", "ai"},
                 {"ei", "oz", "ei"},  {"ao", "ok", "ao"},  {"ou", "ob", "ou"},  {"an", "oj", "an"},
                 {"en", "of", "en"},  {"ang", "oh", "ah"}, {"eng", "og", "eg"}, {"er", "or", "er"}});
}

TEST(DoublePinyin, RetroflexInitials) {
    ExpectCodes({{"zhong", "vs", "vs"}, {"chuang", "id", "id"}, {"shui", "uv", "uv"},
                 {"zhi", "vi", "vi"},   {"chi", "ii", "ii"},    {"shi", "ui", "ui"}});
}

TEST(DoublePinyin, UmlautAfterLAndNAndUAfterJqxy) {
    ExpectCodes({{"lv", "ly", "lv"},   {"nv", "ny", "nv"},     {"lue", "lt", "lt"},
                 {"nue", "nt", "nt"},  {"lve", "lt", "lt"},    {"ju", "ju", "ju"},
                 {"qu", "qu", "qu"},   {"xu", "xu", "xu"},     {"yu", "yu", "yu"},
                 {"jue", "jt", "jt"},  {"juan", "jr", "jr"},   {"jun", "jp", "jp"},
                 {"yue", "yt", "yt"},  {"yuan", "yr", "yr"},   {"yun", "yp", "yp"}});
}

TEST(DoublePinyin, IngUaiAndTheSharedKeys) {
    ExpectCodes({{"ying", "y;", "yy"},  {"xing", "x;", "xy"},   {"huai", "hy", "hy"},
                 {"kuai", "ky", "ky"},  {"you", "yb", "yb"},    {"xiong", "xs", "xs"},
                 {"guang", "gd", "gd"}, {"liang", "ld", "ld"},  {"guo", "go", "go"},
                 {"lo", "lo", "lo"},    {"luo", "lo", "lo"},    {"luan", "lr", "lr"}});
}
// clang-format on

TEST(DoublePinyin, SyllablesWithoutACode) {
    for (const char* s : {"m", "n", "ng", "hm", "hng", "", "zh", "xyz", "\xC3\xAA"}) {
        EXPECT_EQ(DoublePinyinCode(s, DoubleScheme::Microsoft), "") << s;
        EXPECT_EQ(DoublePinyinCode(s, DoubleScheme::Ziranma), "") << s;
    }
}

} // namespace
} // namespace qb::datagen
