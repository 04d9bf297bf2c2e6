// punctuation table, key table, full-width forms.
#include "KeyTables.h"

namespace qb {

std::string_view FullWidthLetter(int k, Modifiers m) {
    if (k < vk::A || k > vk::Z) return {};
    const std::string_view table = m == kModShift ? FullWidthUpper : FullWidthLower;
    return table.substr(static_cast<std::size_t>(k - vk::A) * 2, 2);
}

std::string_view FullWidthDigit(int k) {
    if (k < vk::Digit0 || k > vk::Digit9) return {};
    return FullWidthDigits.substr(static_cast<std::size_t>(k - vk::Digit0) * 2, 2);
}

Punctuation PunctuationFor(int k, Modifiers m, bool singleQuoteClosing, bool doubleQuoteClosing) {
    const bool shift = m == kModShift;
    const bool none = m == kModNone;
    Punctuation p;
    switch (k) {
    // clang-format off
    // Shift only.
    case 48: if (shift) p.text = "\xA3\xA9"; break;         // ）
    case 49: if (shift) p.text = "\xA3\xA1"; break;         // ！
    case 50: if (shift) p.text = "\xA1\xA4"; break;         // ·
    case 52: if (shift) p.text = "\xA3\xA4"; break;         // ￥
    case 54: if (shift) p.text = "\xA1\xAD\xA1\xAD"; break; // ……
    case 55: if (shift) p.text = "\xA1\xAA"; break;         // —
    case 57: if (shift) p.text = "\xA3\xA8"; break;         // （
    case vk::Minus: if (shift) p.text = "\xA1\xAA\xA1\xAA"; break; // ——
    case vk::Slash: if (shift) p.text = "\xA3\xBF"; break;  // ？
    // Shift, and every other set alike.
    case vk::Semicolon: p.text = shift ? "\xA3\xBA" : "\xA3\xBB"; break; // ： ；
    case vk::Comma: p.text = shift ? "\xA1\xB6" : "\xA3\xAC"; break;     // 《 ，
    case vk::Period: p.text = shift ? "\xA1\xB7" : "\xA1\xA3"; break;    // 》 。
    // No modifier only.
    case vk::Backslash: if (none) p.text = "\xA1\xA2"; break; // 、
    // clang-format on
    // Quotes alternate, each kind on its own flag.
    case vk::Quote:
        if (shift) {
            p.text = doubleQuoteClosing ? "\xA1\xB1" : "\xA1\xB0"; // ” “
            p.flipDouble = true;
        } else {
            p.text = singleQuoteClosing ? "\xA1\xAF" : "\xA1\xAE"; // ’ ‘
            p.flipSingle = true;
        }
        break;
    default: break;
    }
    return p;
}

char CodeCharFor(int k) {
    switch (k) {
    case vk::Semicolon: return ';';
    case vk::Period: return '.';
    case vk::Quote: return '\'';
    default: return 0;
    }
}

KeyDecision DecideKey(int k, Modifiers m, const ComposeState& s) {
    using A = KeyAction;
    // While composing, Shift+0 is the ")" that closes "%(name": there is no row 0 to pick, and
    // taken as a pick it swallowed the ")". It reaches the pane as typed, as "," does. Shift+1
    // to Shift+9 still pick their rows.
    if (k == vk::Digit0 && (m & kModShift) && s.boxVisible) return {};
    if (k == vk::Back)
        return s.boxVisible ? KeyDecision{A::ShortenCode, true} : KeyDecision{A::Cancel, false};
    if (k == vk::Escape) return {s.boxVisible ? A::Cancel : A::None, false};
    if (k == vk::Space)
        return s.candidatesVisible ? KeyDecision{A::PickFirst, true} : KeyDecision{A::Cancel, false};
    if (k >= vk::Digit0 && k <= vk::Digit9) {
        if (s.fullWidthChars) return {A::FullWidthDigit, true};
        return s.candidatesVisible ? KeyDecision{A::PickDigit, true} : KeyDecision{A::Cancel, false};
    }
    if (k >= vk::A && k <= vk::Z)
        return {s.fullWidthChars ? A::FullWidthLetter : A::AppendLetter, true};
    if (k == vk::LBracket || k == vk::LWin)
        return s.candidatesVisible ? KeyDecision{A::PageBack, true} : KeyDecision{A::Cancel, false};
    if (k == vk::RBracket || k == vk::Apps)
        return s.candidatesVisible ? KeyDecision{A::PageForward, true} : KeyDecision{A::Cancel, false};
    if (k == vk::Semicolon || k == vk::Period || k == vk::Quote)
        return s.boxVisible ? KeyDecision{A::AppendCodeChar, true} : KeyDecision{A::None, false};
    return {};
}

} // namespace qb
