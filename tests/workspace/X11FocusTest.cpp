// Under Xvfb (QT_QPA_PLATFORM=xcb): the floating source window and the explanation window never
// take the focus from the panes, with real X key events and clicks (xdotool through the X
// server). Skipped on any other platform; run by ctest through xvfb-run.
#include "WorkspaceTestSupport.h"

#include "ExplanUnit.h"
#include "PopSourceUnit.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QPlainTextEdit>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

namespace qb::test {
namespace {

class X11Focus : public TWindowTest, public testing::Test {
protected:
    void SetUp() override {
        if (QGuiApplication::platformName() != "xcb") GTEST_SKIP() << "needs an X server (xcb)";
        if (QStandardPaths::findExecutable("xdotool").isEmpty()) GTEST_SKIP() << "needs xdotool";
        Make(false);
        window->setGeometry(100, 100, 640, 480);
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get(), 5000));
        window->reSource->setFocus();
        QTest::qWait(50);
    }
    bool XdoTool(const QStringList& args) {
        QProcess p;
        p.start(QStandardPaths::findExecutable("xdotool"), args);
        if (!p.waitForStarted(5000)) return false;
        for (int i = 0; i < 500 && p.state() != QProcess::NotRunning; ++i) QTest::qWait(10);
        QTest::qWait(150);
        return p.exitCode() == 0;
    }
    bool ClickAt(QPoint global) {
        return XdoTool({"mousemove", QString::number(global.x()), QString::number(global.y()),
                        "click", "1"});
    }
};

TEST_F(X11Focus, SentenceKeysShowTheFloatingWindowWithoutTakingTheFocus) {
    window->Source.SetText("Take care of it. Go.");
    ASSERT_TRUE(XdoTool({"key", "ctrl+j"}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->frmPopSource->isVisible(); }, 3000));
    EXPECT_EQ(window->Source.SelText(), "Take care of it.");
    EXPECT_EQ(QApplication::focusWidget(), window->reTarget);
    EXPECT_TRUE(window->isActiveWindow());
    // A real click on the floating window leaves the main window active.
    ASSERT_TRUE(ClickAt(window->frmPopSource->mapToGlobal(QPoint(20, 10))));
    EXPECT_TRUE(window->isActiveWindow());
    EXPECT_EQ(QApplication::activeWindow(), window.get());
    // Typing goes on in the target pane.
    window->SetTargetKeyHandler(nullptr); // the pane's own handling, to see the letter arrive
    ASSERT_TRUE(XdoTool({"type", "x"}));
    EXPECT_EQ(window->Target.Text(), "x");
}

TEST_F(X11Focus, ExplanationWindowLeavesTheFocusInTheSourcePane) {
    window->Source.SetText("we take care of the bank");
    ASSERT_TRUE(XdoTool({"key", "F5"}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->BrowseMode; }, 3000));
    // Double-click "bank" with the real mouse.
    QTextCursor c(window->reSource->document());
    c.setPosition(21);
    const QPoint p = window->reSource->viewport()->mapToGlobal(window->reSource->cursorRect(c).center());
    ASSERT_TRUE(XdoTool({"mousemove", QString::number(p.x()), QString::number(p.y()), "click",
                         "--repeat", "2", "--delay", "80", "1"}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->frmShowExplain->isVisible(); }, 3000));
    EXPECT_EQ(window->Source.SelText(), "bank");
    EXPECT_EQ(QApplication::focusWidget(), window->reSource);
    EXPECT_TRUE(window->isActiveWindow());
    // A real click into the explanation list leaves the focus where it was.
    ASSERT_TRUE(ClickAt(window->frmShowExplain->mapToGlobal(QPoint(20, 30))));
    EXPECT_TRUE(window->isActiveWindow());
    EXPECT_EQ(QApplication::focusWidget(), window->reSource);
}

} // namespace
} // namespace qb::test
