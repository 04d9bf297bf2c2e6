// Which windowing platform Qt is asked for, decided before the QApplication exists.
//
// Under a Wayland session a client cannot place its own top-level windows: the composition box,
// the candidate list and the floating source window would open wherever the compositor puts
// them, not at the caret. XWayland places them as asked, so when it is at hand (DISPLAY is set
// beside WAYLAND_DISPLAY) the program runs on xcb, unless the user chose QT_QPA_PLATFORM.
#pragma once

#include <QByteArray>

namespace qb {

struct TSessionEnvironment {
    // The values of WAYLAND_DISPLAY, DISPLAY and QT_QPA_PLATFORM; empty counts as not set,
    // as Qt itself treats an empty QT_QPA_PLATFORM.
    QByteArray waylandDisplay;
    QByteArray display;
    QByteArray qpaPlatform;
};

// The platform to set in QT_QPA_PLATFORM, or empty to leave Qt's own choice alone.
// WAYLAND_DISPLAY=wayland-0, DISPLAY=:0 and no QT_QPA_PLATFORM give "xcb".
QByteArray PlatformForSession(const TSessionEnvironment& env);

// Reads the process environment and sets QT_QPA_PLATFORM when PlatformForSession says so.
// Call before the QApplication is made.
void ChoosePlatformForSession();

} // namespace qb
