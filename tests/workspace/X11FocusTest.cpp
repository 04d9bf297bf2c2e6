// Under Xvfb (QT_QPA_PLATFORM=xcb): the floating source window and the explanation window never
// take the focus from the panes, with real X key events and clicks (xdotool through the X
// server). Skipped on any other platform; run by ctest through xvfb-run.
#include "WorkspaceTestSupport.h"

#include "ExplanUnit.h"
#include "PaneStore.h"
#include "PopSourceUnit.h"
#include "X11Input.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPlainTextEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace qb::test {
namespace {

class X11Focus : public TWindowTest, public testing::Test {
protected:
    void SetUp() override {
        if (!qbtest::HaveXdotool()) GTEST_SKIP() << "needs an X server (xcb) and xdotool";
        Make(false);
        window->setGeometry(100, 100, 640, 480);
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get(), 15000));
        window->SourcePane().Edit()->setFocus();
        QTest::qWait(50);
    }
};

TEST_F(X11Focus, SentenceKeysShowTheFloatingWindowWithoutTakingTheFocus) {
    window->SourcePane().SetText("Take care of it. Go.");
    ASSERT_TRUE(qbtest::Xdo({"key", "ctrl+j"}));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window->findChild<TfrmPopSource*>("frmPopSource"), 15000));
    EXPECT_EQ(window->SourcePane().SelText(), "Take care of it.");
    EXPECT_EQ(QApplication::focusWidget(), window->TargetPane().Edit());
    EXPECT_TRUE(window->isActiveWindow());
    // A real click on the floating window leaves the main window active.
    ASSERT_TRUE(qbtest::ClickAndSettle(
        window->findChild<TfrmPopSource*>("frmPopSource"),
        window->findChild<TfrmPopSource*>("frmPopSource")->mapToGlobal(QPoint(20, 10))));
    EXPECT_TRUE(window->isActiveWindow());
    EXPECT_EQ(QApplication::activeWindow(), window.get());
    // Typing goes on in the target pane.
    window->SetTargetKeyHandler(nullptr); // the pane's own handling, to see the letter arrive
    ASSERT_TRUE(qbtest::Xdo({"type", "x"}));
    EXPECT_EQ(window->TargetPane().Text(), "x");
}

TEST_F(X11Focus, ExplanationWindowLeavesTheFocusInTheSourcePane) {
    window->SourcePane().SetText("we take care of the bank");
    ASSERT_TRUE(qbtest::Xdo({"key", "F5"}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->Modes().BrowseMode; }, 15000));
    // Double-click "bank" with the real mouse.
    QTextCursor c(window->SourcePane().Edit()->document());
    c.setPosition(21);
    const QPoint p = window->SourcePane().Edit()->viewport()->mapToGlobal(
        window->SourcePane().Edit()->cursorRect(c).center());
    ASSERT_TRUE(qbtest::Xdo({"mousemove", QString::number(p.x()), QString::number(p.y()), "click",
                             "--repeat", "2", "--delay", "80", "1"}));
    ASSERT_TRUE(
        QTest::qWaitForWindowExposed(window->findChild<TfrmShowExplain*>("frmShowExplain"), 15000));
    EXPECT_EQ(window->SourcePane().SelText(), "bank");
    EXPECT_EQ(QApplication::focusWidget(), window->SourcePane().Edit());
    EXPECT_TRUE(window->isActiveWindow());
    // A real click into the explanation list leaves the focus where it was.
    ASSERT_TRUE(qbtest::ClickAndSettle(
        window->findChild<TfrmShowExplain*>("frmShowExplain"),
        window->findChild<TfrmShowExplain*>("frmShowExplain")->mapToGlobal(QPoint(20, 30))));
    EXPECT_TRUE(window->isActiveWindow());
    EXPECT_EQ(QApplication::focusWidget(), window->SourcePane().Edit());
}

// The real program, typed into with real X keys and then killed with SIGKILL: what was typed
// reaches the panes file while the program runs, with no shutdown, and a new window shows it.
// (How soon is the panes benchmark's affair: on a loaded machine the program itself may take
// seconds to read the keys, so a fixed two seconds before the kill failed now and then.)
TEST(KeptPanes, ASigkillLosesNothingTypedBeforeTheWrite) {
    if (!qbtest::HaveXdotool()) GTEST_SKIP() << "needs an X server (xcb) and xdotool";
    auto xdo = [](const QStringList& args) {
        QString out;
        qbtest::Xdo(args, &out);
        return out;
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
        60000))
        << "no window";
    QTest::qWait(500); // the splash is gone, the window takes input
    // Into the target pane (the lower left of the window), the program's input method off.
    xdo({"mousemove", "--window", id, "150", "360", "click", "1"});
    xdo({"key", "ctrl+y"});
    xdo({"type", "--delay", "20", "kept after a kill"});
    const std::string file = (data + "/quillbridge/panes.state").toStdString();
    auto kept = [&] { return PaneStateFromBytes(QByteArray::fromStdString(ReadBytes(file))); };
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            const auto k = kept();
            return k && k->target == QStringLiteral("kept after a kill");
        },
        30000));
    ASSERT_EQ(program.state(), QProcess::Running); // written by the running program
    program.kill();                                // SIGKILL: no shutdown runs
    program.waitForFinished(5000);

    ASSERT_TRUE(kept()) << "no panes file at " << file;
    EXPECT_EQ(kept()->target, QStringLiteral("kept after a kill"));

    TProgramFolder folder;
    TScriptedUi ui;
    TWorkspaceSetup setup;
    setup.programFolder = folder.folder;
    setup.settingsFile = folder.settings;
    setup.ui = &ui;
    setup.rescueFolder = folder.rescue;
    setup.panesFile = file;
    TfrmMainQB window(setup);
    EXPECT_EQ(window.TargetPane().Edit()->toPlainText(), QStringLiteral("kept after a kill"));
}

} // namespace
} // namespace qb::test
