// Under Xvfb with real X keys and clicks (xdotool): a mend of an earlier translation typed while
// the next sentence has nothing yet stays with the earlier sentence in the memory, and an F8
// entry is on disk a few seconds later, before any shutdown (the program killed with SIGKILL).
#include "WorkspaceTestSupport.h"

#include "QtText.h"
#include "TranslationMemory.h"
#include "X11Input.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace qb::test {
namespace {

QString Xdo(const QStringList& args) {
    QString out;
    qbtest::Xdo(args, &out);
    return out;
}

class NeverLoseX11 : public TWindowTest, public testing::Test {
protected:
    void SetUp() override {
        if (!qbtest::HaveXdotool()) GTEST_SKIP() << "needs an X server (xcb) and xdotool";
        keepMemory = true;
        Make(false);
        window->setGeometry(100, 100, 900, 560);
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get(), 15000));
        window->SourcePane().Edit()->setFocus();
        QTest::qWait(50);
    }
    void TearDown() override {
        if (window) window->FormDestroy();
    }
    bool TypeIntoTarget(const char* utf8) {
        const bool ok = qbtest::TypeInto(window->TargetPane().Edit(), U(utf8));
        EXPECT_TRUE(ok) << window->TargetPane().Edit()->toPlainText().toStdString();
        return ok;
    }
};

TEST_F(NeverLoseX11, AMendOfTheFirstTranslationIsNotTheSecondSentencesTranslation) {
    window->SourcePane().SetText("The first line is here. The second line is there.");
    window->SourcePane().SetSelStart(0);
    Xdo({"key", "ctrl+y"}); // the input method off: xdotool types the characters themselves
    ASSERT_FALSE(window->Modes().ImeEnabled);
    Xdo({"key", "ctrl+j"});
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return QApplication::focusWidget() == window->TargetPane().Edit(); }, 15000));
    ASSERT_TRUE(TypeIntoTarget("第一行在这里。"));
    Xdo({"key", "ctrl+j"}); // the second sentence selected, nothing typed for it yet

    // A click between 第一行 and 在, and 改 put in there.
    QTextCursor c = window->TargetPane().Edit()->textCursor();
    c.setPosition(3);
    const QRect caret = window->TargetPane().Edit()->cursorRect(c);
    const QPoint at = window->TargetPane().Edit()->viewport()->mapToGlobal(
        QPoint(caret.left() + 1, caret.center().y()));
    ASSERT_TRUE(qbtest::ClickAndSettle(window->TargetPane().Edit(), at));
    ASSERT_EQ(window->TargetPane().Edit()->textCursor().position(), 3);
    ASSERT_TRUE(TypeIntoTarget("改"));
    Xdo({"key", "ctrl+End"});
    ASSERT_TRUE(TypeIntoTarget("第二行在那里。"));
    EXPECT_EQ(window->TargetPane().Edit()->toPlainText(), U("第一行改在这里。第二行在那里。"));
    Xdo({"key", "ctrl+j"});

    // The second sentence again: its own translation is the 100% match.
    window->SourcePane().SetText("The second line is there.");
    window->SourcePane().SetSelStart(0);
    window->SourcePane().Edit()->setFocus();
    Xdo({"key", "ctrl+j"});
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            QListWidget* lb = window->findChild<QListWidget*>("lbMemory");
            return lb->isVisible() && lb->isEnabled() && lb->count() > 0;
        },
        15000));
    EXPECT_EQ(window->findChild<QListWidget*>("lbMemory")->item(0)->text(), U("[100%] 第二行在那里。"));

    window->FormDestroy();
    tm::TTranslationMemory memory(folder.memory);
    EXPECT_EQ(memory.Matches("The second line is there.").at(0).pair.target, "第二行在那里。");
    // The mend is the first sentence's newer translation; the one typed first is its history.
    EXPECT_EQ(memory.Matches("The first line is here.").at(0).pair.target, "第一行改在这里。");
    const auto history = memory.History("The first line is here.");
    ASSERT_EQ(history.size(), 1u);
    EXPECT_EQ(history[0].target, "第一行在这里。");
}

// The real program: an entry added with F8 reaches the user lexicon's file while the program
// runs, and stays there when the program is then killed with SIGKILL (no shutdown runs). How
// soon is not timed here: on a loaded machine the program may take seconds to read the keys.
TEST(UserLexiconX11, AnF8EntrySurvivesASigkill) {
    if (!qbtest::HaveXdotool()) GTEST_SKIP() << "needs an X server (xcb) and xdotool";
    // A program folder of its own (the fixtures' tables and lexicons beside a copy of the
    // program), so the user lexicon written is the test's, not the build's.
    TProgramFolder folder;
    const QString program = QString::fromStdString(folder.folder) + "quillbridge";
    ASSERT_TRUE(QFile::copy(QStringLiteral(QB_BIN_DIR "/quillbridge"), program));
    QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QTemporaryDir root;
    const QString runtime = root.path() + "/runtime";
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", root.path());
    env.insert("XDG_DATA_HOME", root.path() + "/data");
    env.insert("XDG_CONFIG_HOME", root.path() + "/config");
    env.insert("XDG_RUNTIME_DIR", runtime);
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(program, {});
    ASSERT_TRUE(p.waitForStarted(5000));
    QString id; // the main window: the program's visible window wider than the splash
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            const QString ids =
                Xdo({"search", "--onlyvisible", "--pid", QString::number(p.processId())});
            for (const QString& w : ids.split('\n', Qt::SkipEmptyParts)) {
                const QString g =
                    Xdo({"getwindowgeometry", w}).section("Geometry: ", 1).section('x', 0, 0);
                if (g.toInt() > 400) id = w;
            }
            return !id.isEmpty();
        },
        60000))
        << "no window";
    QTest::qWait(500);
    // The source pane (upper left): "China" typed and selected.
    Xdo({"mousemove", "--window", id, "150", "120", "click", "1"});
    Xdo({"type", "--delay", "20", "China"});
    Xdo({"key", "shift+Home"});
    // The target pane (lower left): 中国 typed with the input method (row 1 of zhongguo, picked
    // with Space) and selected.
    Xdo({"mousemove", "--window", id, "150", "360", "click", "1"});
    Xdo({"type", "--delay", "20", "zhongguo"});
    Xdo({"key", "space"});
    Xdo({"key", "shift+Home"});
    Xdo({"key", "F8"});
    const std::string entry = "china\t" + G("中国") + "\r\n";
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return ReadBytes(folder.Path("mydict.txt")).find(entry) != std::string::npos; }, 30000));
    ASSERT_EQ(p.state(), QProcess::Running); // written by the running program
    p.kill();                                // SIGKILL: no shutdown runs
    p.waitForFinished(5000);
    const std::string lexicon = ReadBytes(folder.Path("mydict.txt"));
    EXPECT_NE(lexicon.find(entry), std::string::npos) << lexicon;
}

} // namespace
} // namespace qb::test
