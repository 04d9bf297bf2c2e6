// The virtual-key map: a Qt key event -> the US-layout key code and modifier set the input
// method works with: letters 65-90, top-row digits 48-57, Backspace 8, Escape 27,
// Space 32, ; 186  , 188  - 189  . 190  / 191  [ 219  \ 220  ] 221  ' 222, keypad digits 96-105.
//
// X11 and Wayland deliver the shifted symbol as the key (Shift+1 is Qt::Key_Exclam, Shift+; is
// Key_Colon, Shift+' is Key_QuoteDbl); QTest sends Key_1 with Shift. Both map to the physical key.
// A key from the keypad carries Qt::KeypadModifier: keypad digits map to 96-105 and the keypad's
// . / * - + to their own codes (110, 111, 106, 109, 107), never to the main keys'.
#pragma once

#include "KeyCodes.h"

#include <Qt>

class QKeyEvent;

namespace qb {

// 0 for a key the input method has no code for (it then passes the key through untouched).
int VirtualKeyFromQt(int qtKey, bool keypad);
// Shift, Ctrl and Alt of a Qt modifier set; the keypad flag, Meta and group switches are not part.
Modifiers ModifiersFromQt(Qt::KeyboardModifiers mods);
int VirtualKeyFromEvent(const QKeyEvent& event);
Modifiers ModifiersFromEvent(const QKeyEvent& event);

} // namespace qb
