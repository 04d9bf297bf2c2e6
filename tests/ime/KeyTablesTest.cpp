// Target-pane keys and modes: the punctuation table, the key table and the full-width forms, row by row.
#include "KeyTables.h"
#include "ImeTestSupport.h"

#include <gtest/gtest.h>

using namespace qb;
using qbtest::G;

namespace {
const Modifiers kShiftAlt = kModShift | kModAlt;
const Modifiers kCtrlShift = kModCtrl | kModShift;

std::string Punct(int k, Modifiers m) {
    return std::string(PunctuationFor(k, m, false, false).text);
}
} // namespace

struct PunctRow {
    int k;
    const char* shift; // UTF-8, "" = no entry
    const char* none;
    const char* other;
};

TEST(PunctuationTable, EveryRowUnderShiftNoModifierAndOtherSets) {
    // clang-format off
    const PunctRow rows[] = {
        {48, "）", "", ""},   {49, "！", "", ""},   {50, "·", "", ""},   {52, "￥", "", ""},
        {54, "……", "", ""}, {55, "—", "", ""},    {57, "（", "", ""},
        {186, "：", "；", "；"}, {188, "《", "，", "，"}, {189, "——", "", ""},
        {190, "》", "。", "。"}, {191, "？", "", ""}, {220, "", "、", ""},
        {51, "", "", ""},     {53, "", "", ""},     {56, "", "", ""},     {65, "", "", ""},
        {219, "", "", ""},    {221, "", "", ""},    {187, "", "", ""},    {96, "", "", ""},
    };
    // clang-format on
    for (const PunctRow& r : rows) {
        SCOPED_TRACE(r.k);
        EXPECT_EQ(Punct(r.k, kModShift), G(r.shift));
        EXPECT_EQ(Punct(r.k, kModNone), G(r.none));
        EXPECT_EQ(Punct(r.k, kModAlt), G(r.other));
        EXPECT_EQ(Punct(r.k, kCtrlShift), G(r.other));
        EXPECT_EQ(Punct(r.k, kShiftAlt), G(r.other));
    }
}

TEST(PunctuationTable, GbkBytesOfEveryEntry) {
    EXPECT_EQ(Punct(54, kModShift), "\xA1\xAD\xA1\xAD");
    EXPECT_EQ(Punct(189, kModShift), "\xA1\xAA\xA1\xAA");
    EXPECT_EQ(Punct(190, kModNone), "\xA1\xA3");
    EXPECT_EQ(Punct(188, kModNone), "\xA3\xAC");
}

TEST(PunctuationTable, QuotesByFlagAndWhichFlagFlips) {
    auto p = PunctuationFor(222, kModNone, false, false);
    EXPECT_EQ(std::string(p.text), G("‘"));
    EXPECT_TRUE(p.flipSingle);
    EXPECT_FALSE(p.flipDouble);
    p = PunctuationFor(222, kModNone, true, false);
    EXPECT_EQ(std::string(p.text), G("’"));
    p = PunctuationFor(222, kModShift, false, false);
    EXPECT_EQ(std::string(p.text), G("“"));
    EXPECT_TRUE(p.flipDouble);
    EXPECT_FALSE(p.flipSingle);
    p = PunctuationFor(222, kModShift, false, true);
    EXPECT_EQ(std::string(p.text), G("”"));
    p = PunctuationFor(222, kModAlt, true, false); // any other set: as no modifier
    EXPECT_EQ(std::string(p.text), G("’"));
    EXPECT_TRUE(p.flipSingle);
}

TEST(FullWidth, StringsAndForms) {
    EXPECT_EQ(FullWidthUpper.size(), 52u);
    EXPECT_EQ(FullWidthLower.size(), 52u);
    EXPECT_EQ(FullWidthDigits.size(), 20u);
    EXPECT_EQ(std::string(FullWidthUpper), G("ＡＢＣＤＥＦＧＨＩＪＫＬＭＮＯＰＱＲＳＴＵＶＷＸＹＺ"));
    EXPECT_EQ(std::string(FullWidthLower), G("ａｂｃｄｅｆｇｈｉｊｋｌｍｎｏｐｑｒｓｔｕｖｗｘｙｚ"));
    EXPECT_EQ(std::string(FullWidthDigits), G("０１２３４５６７８９"));
    EXPECT_EQ(std::string(FullWidthLetter(65, kModShift)), G("Ａ"));
    EXPECT_EQ(std::string(FullWidthLetter(65, kModNone)), G("ａ"));
    EXPECT_EQ(std::string(FullWidthLetter(90, kShiftAlt)), G("ｚ")); // not exactly Shift
    EXPECT_EQ(std::string(FullWidthDigit(48)), G("０"));
    EXPECT_EQ(std::string(FullWidthDigit(57)), G("９"));
    EXPECT_TRUE(FullWidthDigit(96).empty());
    EXPECT_TRUE(FullWidthLetter(91, kModNone).empty());
    for (int k = 65; k <= 90; ++k) { // A3 followed by the ASCII code + 0x80
        EXPECT_EQ(FullWidthLetter(k, kModShift), std::string({'\xA3', char(k + 0x80)}));
        EXPECT_EQ(FullWidthLetter(k, kModNone), std::string({'\xA3', char(k + 32 + 0x80)}));
    }
}

struct KeyRow {
    int k;
    bool box, cand, fullChars;
    KeyAction action;
    bool consumed;
};

TEST(KeyTable, EveryRow) {
    using A = KeyAction;
    // clang-format off
    const KeyRow rows[] = {
        {8, true, false, false, A::ShortenCode, true},
        {8, true, true, false, A::ShortenCode, true},
        {8, false, false, false, A::Cancel, false},
        {27, true, false, false, A::Cancel, false},
        {27, false, false, false, A::None, false},
        {32, true, true, false, A::PickFirst, true},
        {32, true, false, false, A::Cancel, false},
        {32, false, false, false, A::Cancel, false},
        {48, true, true, true, A::FullWidthDigit, true},
        {57, false, false, true, A::FullWidthDigit, true},
        {50, true, true, false, A::PickDigit, true},
        {48, true, true, false, A::PickDigit, true},
        {50, true, false, false, A::Cancel, false},
        {50, false, false, false, A::Cancel, false},
        {65, false, false, true, A::FullWidthLetter, true},
        {90, true, true, true, A::FullWidthLetter, true},
        {65, false, false, false, A::AppendLetter, true},
        {77, true, true, false, A::AppendLetter, true},
        {219, true, true, false, A::PageBack, true},
        {91, true, true, false, A::PageBack, true},
        {219, true, false, false, A::Cancel, false},
        {91, false, false, false, A::Cancel, false},
        {221, true, true, false, A::PageForward, true},
        {93, true, true, false, A::PageForward, true},
        {221, true, false, false, A::Cancel, false},
        {93, false, false, false, A::Cancel, false},
        {186, true, false, false, A::AppendCodeChar, true},
        {190, true, true, false, A::AppendCodeChar, true},
        {222, true, false, false, A::AppendCodeChar, true},
        {186, false, false, false, A::None, false},
        {222, false, false, false, A::None, false},
        {188, true, true, false, A::None, false},
        {96, true, true, false, A::None, false},  // keypad 0
        {105, true, true, true, A::None, false},  // keypad 9
        {13, true, true, false, A::None, false},
        {46, true, true, false, A::None, false},
        {0, true, true, false, A::None, false},
    };
    // clang-format on
    for (const KeyRow& r : rows) {
        SCOPED_TRACE(::testing::Message() << "k=" << r.k << " box=" << r.box << " cand=" << r.cand
                                          << " full=" << r.fullChars);
        for (Modifiers m : {kModNone, kModShift, kModAlt, kCtrlShift}) {
            if (r.k == 48 && r.box && (m & kModShift)) continue; // ")": below
            const KeyDecision d = DecideKey(r.k, m, ComposeState{r.box, r.cand, r.fullChars});
            EXPECT_EQ(d.action, r.action);
            EXPECT_EQ(d.consumed, r.consumed);
        }
    }
}

// "name" then ")" while composing: Shift+0 reaches the pane; as a pick of row 0 (there is none)
// it was consumed and the ")" lost.
TEST(KeyTable, ShiftZeroWhileComposingIsTheClosingParenthesis) {
    for (const ComposeState s : {ComposeState{true, true, false}, ComposeState{true, false, true}}) {
        const KeyDecision d = DecideKey(48, kModShift, s);
        EXPECT_EQ(d.action, KeyAction::None);
        EXPECT_FALSE(d.consumed);
    }
}

TEST(KeyTable, CodeCharacters) {
    EXPECT_EQ(CodeCharFor(186), ';');
    EXPECT_EQ(CodeCharFor(190), '.');
    EXPECT_EQ(CodeCharFor(222), '\'');
    EXPECT_EQ(CodeCharFor(188), 0);
}
