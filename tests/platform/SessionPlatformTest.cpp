#include "SessionPlatform.h"

#include <gtest/gtest.h>

namespace qb {
namespace {

TEST(SessionPlatform, XcbOnlyUnderWaylandWithXWaylandAndNoChoiceOfTheUser) {
    struct Case {
        const char *wayland, *display, *chosen, *expected;
    };
    const Case cases[] = {
        {"wayland-0", ":0", "", "xcb"},
        {"wayland-0", ":0", "wayland", ""}, // the user's choice stands
        {"wayland-0", "", "", ""},          // no XWayland: Qt's own choice
        {"", ":0", "", ""},                 // a plain X11 session
        {"", "", "", ""},
    };
    for (const Case& c : cases) {
        TSessionEnvironment env{c.wayland, c.display, c.chosen};
        EXPECT_EQ(PlatformForSession(env), QByteArray(c.expected))
            << c.wayland << " / " << c.display << " / " << c.chosen;
    }
}

} // namespace
} // namespace qb
