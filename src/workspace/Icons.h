// The window's and the tool buttons' icons, drawn in code (no image files, no icon theme).
#pragma once

#include <QIcon>

namespace qb {

enum class TIcon { App, Browse, NextSentence, Expand, Confirm, Add, Undo, Copy, Cut, Paste };
QIcon MakeIcon(TIcon which);

} // namespace qb
