// The captions name Windows fonts; Debian resolves them to DejaVu unless told otherwise.
#pragma once

#include <QFont>

namespace qb {

// "宋体"/"SimSun" -> "AR PL UMing CN", "隶书" -> "AR PL UKai CN",
// "MS Sans Serif" -> "WenQuanYi Micro Hei". Called once at start-up, before any window.
void InstallFontSubstitutions();
// The font a window asks for, by its Windows family name (UTF-8) and size in pixels: "宋体" 14
// resolves through the substitutions above to AR PL UMing CN.
QFont RequestedFont(const char* familyUtf8, int pixelSize);

} // namespace qb
