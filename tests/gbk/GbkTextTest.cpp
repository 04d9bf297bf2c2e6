// The one converter between GBK bytes and QString. What matters: nothing is silently lost on the
// strict paths, and the lossy paths keep one replacement per bad character so byte offsets
// computed over the converted text stay consistent.
#include "GbkText.h"

#include <gtest/gtest.h>

using namespace qb;

TEST(GbkText, RoundTripsChineseAndAscii) {
    ASSERT_TRUE(GbkAvailable());
    const std::string gbk = "take\t\xC8\xA1\xA3\xBB\xC4\xC3"; // take<TAB>取；拿
    const QString text = FromGbk(gbk);
    EXPECT_EQ(text, QString::fromUtf8("take\t取；拿"));
    EXPECT_EQ(ToGbk(text), gbk);
    auto strict = ToGbkStrict(text);
    ASSERT_TRUE(strict.has_value());
    EXPECT_EQ(*strict, gbk);
}

TEST(GbkText, StrictEncodingNamesTheFirstCharacterGbkCannotHold) {
    // "ab😀c": the emoji is a surrogate pair at index 2; é (in GBK's pinyin block) is fine.
    const QString text = QString::fromUtf8("\xC3\xA9"
                                           "b\xF0\x9F\x98\x80"
                                           "c");
    qsizetype bad = -7;
    EXPECT_FALSE(ToGbkStrict(text, &bad).has_value());
    EXPECT_EQ(bad, 2);
    // The lossy form writes one '?' for the whole emoji.
    EXPECT_EQ(ToGbk(text), std::string("\xA8\xA6"
                                       "b?c"));
}

TEST(GbkText, BadBytesDecodeToReplacementButStrictDecodingRefuses) {
    const std::string half = "ab\xD6"; // half of 中 at the end
    EXPECT_FALSE(FromGbkStrict(half).has_value());
    const QString lossy = FromGbk(half);
    EXPECT_TRUE(lossy.startsWith(QLatin1String("ab")));
    EXPECT_TRUE(lossy.contains(QChar(0xFFFD)));
    auto ok = FromGbkStrict("\xD6\xD0");
    ASSERT_TRUE(ok.has_value());
    EXPECT_EQ(*ok, QString::fromUtf8("中"));
}
