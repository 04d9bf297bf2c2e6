#include "SessionPlatform.h"

#include <QtGlobal>

namespace qb {

QByteArray PlatformForSession(const TSessionEnvironment& env) {
    if (!env.qpaPlatform.isEmpty()) return {};
    if (env.waylandDisplay.isEmpty() || env.display.isEmpty()) return {};
    return QByteArrayLiteral("xcb");
}

void ChoosePlatformForSession() {
    TSessionEnvironment env;
    env.waylandDisplay = qgetenv("WAYLAND_DISPLAY");
    env.display = qgetenv("DISPLAY");
    env.qpaPlatform = qgetenv("QT_QPA_PLATFORM");
    const QByteArray platform = PlatformForSession(env);
    if (!platform.isEmpty()) qputenv("QT_QPA_PLATFORM", platform);
}

} // namespace qb
