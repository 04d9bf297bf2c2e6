#include "Dialogs.h"

#include "MyUtils.h"

#include <gtest/gtest.h>

namespace qb {
namespace {

TEST(ErrorGuard, ShowsTheFileErrorAndGoesOn) {
    TScriptedUi ui;
    bool after = false;
    EXPECT_FALSE(Guarded(ui, [] { ThrowCannotOpen("/tmp/无.qbs"); }));
    EXPECT_TRUE(Guarded(ui, [&] { after = true; }));
    EXPECT_TRUE(after);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0], QString::fromUtf8("Cannot open file /tmp/无.qbs"));
}

TEST(ErrorGuard, BusyPointerIsRestoredAfterAnError) {
    TScriptedUi ui;
    Guarded(ui, [&] {
        TBusyPointer busy(ui);
        ThrowCannotCreate("x");
    });
    EXPECT_EQ(ui.busyCalls, (std::vector<bool>{true, false}));
}

TEST(ScriptedUi, AnswersAsScripted) {
    TScriptedUi ui;
    ui.yesNoAnswers = {true};
    EXPECT_TRUE(ui.AskYesNo("q1"));
    EXPECT_FALSE(ui.AskYesNo("q2")); // queue empty: No
    ui.openAnswers = {{"a", "b"}};
    EXPECT_EQ(ui.OpenFiles("t", "f", true), (QStringList{"a", "b"}));
    EXPECT_TRUE(ui.OpenFiles("t", "f", true).isEmpty());
}

} // namespace
} // namespace qb
