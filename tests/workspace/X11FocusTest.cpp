// Under Xvfb (QT_QPA_PLATFORM=xcb): the floating source window and the explanation window never
// take the focus from the panes, with real X key events and clicks (xdotool through the X
// server). Skipped on any other platform; run by ctest through xvfb-run.
#include "WorkspaceTestSupport.h"

#include "ExplanUnit.h"
#include "PaneStore.h"
#include "PopSourceUnit.h"
#include "X11Click.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPlainTextEdit>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
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
};

TEST_F(X11Focus, SentenceKeysShowTheFloatingWindowWithoutTakingTheFocus) {
    window->Source.SetText("Take care of it. Go.");
    ASSERT_TRUE(XdoTool({"key", "ctrl+j"}));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window->frmPopSource, 3000));
    EXPECT_EQ(window->Source.SelText(), "Take care of it.");
    EXPECT_EQ(QApplication::focusWidget(), window->reTarget);
    EXPECT_TRUE(window->isActiveWindow());
    // A real click on the floating window leaves the main window active.
    ASSERT_TRUE(qbtest::ClickAndSettle(window->frmPopSource,
                                       window->frmPopSource->mapToGlobal(QPoint(20, 10))));
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
    const QPoint p =
        window->reSource->viewport()->mapToGlobal(window->reSource->cursorRect(c).center());
    ASSERT_TRUE(XdoTool({"mousemove", QString::number(p.x()), QString::number(p.y()), "click",
                         "--repeat", "2", "--delay", "80", "1"}));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window->frmShowExplain, 3000));
    EXPECT_EQ(window->Source.SelText(), "bank");
    EXPECT_EQ(QApplication::focusWidget(), window->reSource);
    EXPECT_TRUE(window->isActiveWindow());
    // A real click into the explanation list leaves the focus where it was.
    ASSERT_TRUE(qbtest::ClickAndSettle(window->frmShowExplain,
                                       window->frmShowExplain->mapToGlobal(QPoint(20, 30))));
    EXPECT_TRUE(window->isActiveWindow());
    EXPECT_EQ(QApplication::focusWidget(), window->reSource);
}

// The real program, typed into with real X keys and then killed with SIGKILL: what was typed
// two seconds and more before the kill is in the panes file, and a new window shows it.
TEST(KeptPanes, ASigkillLosesAtMostTheLastTwoSeconds) {
    if (QGuiApplication::platformName() != "xcb") GTEST_SKIP() << "needs an X server (xcb)";
    const QString xdotool = QStandardPaths::findExecutable("xdotool");
    if (xdotool.isEmpty()) GTEST_SKIP() << "needs xdotool";
    auto xdo = [&](const QStringList& args) {
        QProcess p;
        p.start(xdotool, args);
        p.waitForFinished(10000);
        return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
    };
    QTemporaryDir root;
    const QString data = root.path() + "/data", runtime = root.path() + "/runtime";
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", root.path());
    env.insert("XDG_DATA_HOME", data);
    env.insert("XDG_CONFIG_HOME", root.path() + "/config");
    env.insert("XDG_RUNTIME_DIR", runtime);
    QProcess program;
    program.setProcessEnvironment(env);
    program.start(QStringLiteral(QB_BIN_DIR "/quillbridge"), {});
    ASSERT_TRUE(program.waitForStarted(5000));
    // The main window: the program's visible window that is wider than the splash.
    QString id;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            const QString ids =
                xdo({"search", "--onlyvisible", "--pid", QString::number(program.processId())});
            for (const QString& w : ids.split('\n', Qt::SkipEmptyParts)) {
                const QString g =
                    xdo({"getwindowgeometry", w}).section("Geometry: ", 1).section('x', 0, 0);
                if (g.toInt() > 400) id = w;
            }
            return !id.isEmpty();
        },
        30000))
        << "no window";
    QTest::qWait(500); // the splash is gone, the window takes input
    // Into the target pane (the lower left of the window), the program's input method off.
    xdo({"mousemove", "--window", id, "150", "360", "click", "1"});
    xdo({"key", "ctrl+y"});
    xdo({"type", "--delay", "20", "kept after a kill"});
    QTest::qWait(2100);
    program.kill(); // SIGKILL: no shutdown runs
    program.waitForFinished(5000);

    const std::string file = (data + "/quillbridge/panes.state").toStdString();
    const auto kept = PaneStateFromBytes(QByteArray::fromStdString(ReadBytes(file)));
    ASSERT_TRUE(kept) << "no panes file at " << file;
    EXPECT_EQ(kept->target, QStringLiteral("kept after a kill"));

    TProgramFolder folder;
    TScriptedUi ui;
    TWorkspaceSetup setup;
    setup.programFolder = folder.folder;
    setup.settingsFile = folder.settings;
    setup.ui = &ui;
    setup.rescueFolder = folder.rescue;
    setup.panesFile = file;
    TfrmMainQB window(setup);
    EXPECT_EQ(window.reTarget->toPlainText(), QStringLiteral("kept after a kill"));
}

} // namespace
} // namespace qb::test
