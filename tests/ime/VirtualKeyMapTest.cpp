// The virtual-key map as a table: Qt key + keypad flag -> the US-layout code; modifiers.
#include "VirtualKeyMap.h"

#include <QKeyEvent>

#include <gtest/gtest.h>

using namespace qb;

struct VkRow {
    int qtKey;
    bool keypad;
    int vk;
};

TEST(VirtualKeyMap, Table) {
    // clang-format off
    const VkRow rows[] = {
        // Letters whatever the case (Qt reports the key, not the character).
        {Qt::Key_A, false, 65}, {Qt::Key_M, false, 77}, {Qt::Key_Z, false, 90},
        // Top-row digits as QTest sends them (Key_1 + Shift) ...
        {Qt::Key_0, false, 48}, {Qt::Key_1, false, 49}, {Qt::Key_9, false, 57},
        // ... and as X11 / Wayland deliver the shifted ones.
        {Qt::Key_ParenRight, false, 48}, {Qt::Key_Exclam, false, 49}, {Qt::Key_At, false, 50},
        {Qt::Key_NumberSign, false, 51}, {Qt::Key_Dollar, false, 52}, {Qt::Key_Percent, false, 53},
        {Qt::Key_AsciiCircum, false, 54}, {Qt::Key_Ampersand, false, 55},
        {Qt::Key_Asterisk, false, 56}, {Qt::Key_ParenLeft, false, 57},
        // Punctuation keys, plain and shifted.
        {Qt::Key_Semicolon, false, 186}, {Qt::Key_Colon, false, 186},
        {Qt::Key_Equal, false, 187}, {Qt::Key_Plus, false, 187},
        {Qt::Key_Comma, false, 188}, {Qt::Key_Less, false, 188},
        {Qt::Key_Minus, false, 189}, {Qt::Key_Underscore, false, 189},
        {Qt::Key_Period, false, 190}, {Qt::Key_Greater, false, 190},
        {Qt::Key_Slash, false, 191}, {Qt::Key_Question, false, 191},
        {Qt::Key_QuoteLeft, false, 192}, {Qt::Key_AsciiTilde, false, 192},
        {Qt::Key_BracketLeft, false, 219}, {Qt::Key_BraceLeft, false, 219},
        {Qt::Key_Backslash, false, 220}, {Qt::Key_Bar, false, 220},
        {Qt::Key_BracketRight, false, 221}, {Qt::Key_BraceRight, false, 221},
        {Qt::Key_Apostrophe, false, 222}, {Qt::Key_QuoteDbl, false, 222},
        // Editing keys.
        {Qt::Key_Backspace, false, 8}, {Qt::Key_Escape, false, 27}, {Qt::Key_Space, false, 32},
        {Qt::Key_Return, false, 13}, {Qt::Key_Tab, false, 9}, {Qt::Key_Delete, false, 46},
        {Qt::Key_Left, false, 37}, {Qt::Key_Home, false, 36}, {Qt::Key_F1, false, 112},
        {Qt::Key_F12, false, 123}, {Qt::Key_Menu, false, 93}, {Qt::Key_Super_L, false, 91},
        // The keypad: digits 96-105, its own codes for . / * - + and Enter; never main keys.
        {Qt::Key_0, true, 96}, {Qt::Key_5, true, 101}, {Qt::Key_9, true, 105},
        {Qt::Key_Period, true, 110}, {Qt::Key_Comma, true, 110}, {Qt::Key_Slash, true, 111},
        {Qt::Key_Asterisk, true, 106}, {Qt::Key_Minus, true, 109}, {Qt::Key_Plus, true, 107},
        {Qt::Key_Enter, true, 13}, {Qt::Key_Home, true, 36}, {Qt::Key_Delete, true, 46},
        // Keys the input method has no code for.
        {Qt::Key_unknown, false, 0}, {0x4e2d /* a Unicode key, e.g. from another layout */, false, 0},
        {Qt::Key_Eacute, false, 0},
    };
    // clang-format on
    for (const VkRow& r : rows) {
        SCOPED_TRACE(::testing::Message() << std::hex << "qt=0x" << r.qtKey << " keypad=" << r.keypad);
        EXPECT_EQ(VirtualKeyFromQt(r.qtKey, r.keypad), r.vk);
    }
}

TEST(VirtualKeyMap, Modifiers) {
    EXPECT_EQ(ModifiersFromQt(Qt::NoModifier), kModNone);
    EXPECT_EQ(ModifiersFromQt(Qt::ShiftModifier), kModShift);
    EXPECT_EQ(ModifiersFromQt(Qt::ControlModifier), kModCtrl);
    EXPECT_EQ(ModifiersFromQt(Qt::AltModifier), kModAlt);
    EXPECT_EQ(ModifiersFromQt(Qt::ShiftModifier | Qt::ControlModifier), kModShift | kModCtrl);
    // The keypad flag and Meta are not part of the set: keypad 1 has "no modifier".
    EXPECT_EQ(ModifiersFromQt(Qt::KeypadModifier), kModNone);
    EXPECT_EQ(ModifiersFromQt(Qt::MetaModifier | Qt::ShiftModifier), kModShift);
}

TEST(VirtualKeyMap, FromEvents) {
    QKeyEvent x11Shift1(QEvent::KeyPress, Qt::Key_Exclam, Qt::ShiftModifier, "!");
    EXPECT_EQ(VirtualKeyFromEvent(x11Shift1), 49);
    EXPECT_EQ(ModifiersFromEvent(x11Shift1), kModShift);
    QKeyEvent qtestShift1(QEvent::KeyPress, Qt::Key_1, Qt::ShiftModifier, "!");
    EXPECT_EQ(VirtualKeyFromEvent(qtestShift1), 49);
    QKeyEvent keypad7(QEvent::KeyPress, Qt::Key_7, Qt::KeypadModifier, "7");
    EXPECT_EQ(VirtualKeyFromEvent(keypad7), 103);
    EXPECT_EQ(ModifiersFromEvent(keypad7), kModNone);
    QKeyEvent colon(QEvent::KeyPress, Qt::Key_Colon, Qt::ShiftModifier, ":");
    EXPECT_EQ(VirtualKeyFromEvent(colon), 186);
    QKeyEvent dq(QEvent::KeyPress, Qt::Key_QuoteDbl, Qt::ShiftModifier, "\"");
    EXPECT_EQ(VirtualKeyFromEvent(dq), 222);
}
