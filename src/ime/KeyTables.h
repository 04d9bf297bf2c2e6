// The punctuation table, the key table and the full-width forms, as plain functions of
// (virtual key code, modifiers, state) -> decision. No Qt: the codes and modifiers are the
// neutral ones of KeyCodes.h.
#pragma once

#include "KeyCodes.h"

#include <string_view>

namespace qb {

// full-width strings, assigned once, never changed (GBK: A3 C1.., A3 E1.., A3 B0..).
inline constexpr std::string_view FullWidthUpper =
    "\xA3\xC1\xA3\xC2\xA3\xC3\xA3\xC4\xA3\xC5\xA3\xC6\xA3\xC7\xA3\xC8\xA3\xC9\xA3\xCA\xA3\xCB"
    "\xA3\xCC\xA3\xCD\xA3\xCE\xA3\xCF\xA3\xD0\xA3\xD1\xA3\xD2\xA3\xD3\xA3\xD4\xA3\xD5\xA3\xD6"
    "\xA3\xD7\xA3\xD8\xA3\xD9\xA3\xDA";
inline constexpr std::string_view FullWidthLower =
    "\xA3\xE1\xA3\xE2\xA3\xE3\xA3\xE4\xA3\xE5\xA3\xE6\xA3\xE7\xA3\xE8\xA3\xE9\xA3\xEA\xA3\xEB"
    "\xA3\xEC\xA3\xED\xA3\xEE\xA3\xEF\xA3\xF0\xA3\xF1\xA3\xF2\xA3\xF3\xA3\xF4\xA3\xF5\xA3\xF6"
    "\xA3\xF7\xA3\xF8\xA3\xF9\xA3\xFA";
inline constexpr std::string_view FullWidthDigits =
    "\xA3\xB0\xA3\xB1\xA3\xB2\xA3\xB3\xA3\xB4\xA3\xB5\xA3\xB6\xA3\xB7\xA3\xB8\xA3\xB9";

// The full-width form of a letter key (65-90): capital with exactly Shift, else small.
// Empty for any other key.
std::string_view FullWidthLetter(int k, Modifiers m);
// The full-width form of a digit key (48-57); empty for any other key.
std::string_view FullWidthDigit(int k);

// The punctuation table, consulted before the key table. `text` is empty when the key has no entry.
// The quote key gives the opening or the closing quote by the flag of its kind; `flipSingle` /
// `flipDouble` say which flag the caller flips after inserting.
struct Punctuation {
    std::string_view text;
    bool flipSingle = false;
    bool flipDouble = false;
};
Punctuation PunctuationFor(int k, Modifiers m, bool singleQuoteClosing, bool doubleQuoteClosing);

// The key table: what a key does to the composition once punctuation has had its turn.
enum class KeyAction {
    None,           // nothing
    Cancel,         // hide the box, set the code to ""
    ShortenCode,    // Backspace: drop the last byte of the code; hide the box when now empty; focus
    PickFirst,      // Space: insert PickCandidate(1), clear the code
    PickDigit,      // insert PickCandidate(k - 48), clear the code
    FullWidthDigit, // insert FullWidthDigit(k)
    FullWidthLetter, // insert FullWidthLetter(k, m)
    AppendLetter,    // show the box, append char(k + 32) to the code, focus
    AppendCodeChar,  // append ';' '.' or '\'' (CodeCharFor) to the code, focus
    PageBack,        // ShowPage back
    PageForward,     // ShowPage forward
};
struct ComposeState {
    bool boxVisible = false;        // the composition box is shown
    bool candidatesVisible = false; // the candidate window is shown
    bool fullWidthChars = false;    // FullWidthChars
};
struct KeyDecision {
    KeyAction action = KeyAction::None;
    bool consumed = false; // KeyHandled = true, k = 0: the pane sees neither character nor key-up
};
KeyDecision DecideKey(int k, Modifiers m, const ComposeState& state);
// The character that key 186, 190 or 222 adds to a code; 0 for any other key.
char CodeCharFor(int k);

} // namespace qb
