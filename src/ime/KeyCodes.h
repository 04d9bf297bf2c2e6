// The key codes and modifier set every key handler works with, neutral of any toolkit: the
// codes of the physical keys of a US keyboard, so Shift+1 is the key 49 with kModShift whatever
// the layout made of it. VirtualKeyMap.h makes them from Qt key events; the input method's key
// tables decide on them. Plain C++, no Qt.
#pragma once

namespace qb {

// The modifier set of a key, among Shift, Ctrl and Alt (other modifiers are not part of it).
using Modifiers = unsigned;
inline constexpr Modifiers kModNone = 0;
inline constexpr Modifiers kModShift = 1;
inline constexpr Modifiers kModCtrl = 2;
inline constexpr Modifiers kModAlt = 4;

// Virtual-key codes the input method knows (US layout).
namespace vk {
inline constexpr int Back = 8;
inline constexpr int Escape = 27;
inline constexpr int Space = 32;
inline constexpr int Digit0 = 48, Digit9 = 57;
inline constexpr int A = 65, Z = 90;
inline constexpr int LWin = 91, Apps = 93; // handled like [ and ]
inline constexpr int Numpad0 = 96, Numpad9 = 105;
inline constexpr int Semicolon = 186, Comma = 188, Minus = 189, Period = 190, Slash = 191;
inline constexpr int LBracket = 219, Backslash = 220, RBracket = 221, Quote = 222;
} // namespace vk

} // namespace qb
