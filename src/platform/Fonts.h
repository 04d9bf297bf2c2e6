// The captions name Windows fonts; Debian resolves them to DejaVu unless told otherwise.
#pragma once

#include <QFont>

namespace qb {

// "宋体"/"SimSun" -> "AR PL UMing CN", "隶书" -> "AR PL UKai CN",
// "MS Sans Serif" -> "WenQuanYi Micro Hei". Called once at start-up, before any window.
void InstallFontSubstitutions();
// A font by the Windows family name the captions use (UTF-8), size in pixels.
QFont DesignFont(const char* familyUtf8, int pixelSize);

} // namespace qb
