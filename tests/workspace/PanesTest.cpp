// The kept panes: what is typed is on disk within 2 seconds and at shutdown, and comes back at
// the next start; 文件 clears both panes after asking.
#include "WorkspaceTestSupport.h"

#include "FileSync.h"
#include "PaneStore.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QDir>
#include <QFile>
#include <QPlainTextEdit>
#include <QTest>

#include <atomic>
#include <functional>
#include <thread>

namespace qb::test {
namespace {

class Panes : public TWindowTest, public testing::Test {
protected:
    void SetUp() override { keepPanes = true; }
    std::optional<TPaneState> Kept() const {
        if (!QFile::exists(QString::fromStdString(folder.panes))) return std::nullopt;
        return PaneStateFromBytes(QByteArray::fromStdString(ReadBytes(folder.panes)));
    }
    void Restart() {
        window.reset(); // its shutdown
        Make(false);
    }
};

TEST_F(Panes, TypedTextIsOnDiskWithinTwoSecondsAndComesBack) {
    Make(false);
    window->SourcePane().Edit()->setPlainText(QString::fromUtf8("Take care of it. Go 😀."));
    window->SourcePane().Select(5, 4);
    window->TargetPane().Edit()->insertPlainText(QString::fromUtf8("小心"));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            auto kept = Kept();
            return kept && kept->target == QString::fromUtf8("小心");
        },
        15000));
    EXPECT_EQ(Kept()->source, QString::fromUtf8("Take care of it. Go 😀."));
    EXPECT_EQ(Kept()->selStart, 5);
    EXPECT_EQ(Kept()->selLength, 4);

    Restart();
    EXPECT_EQ(window->SourcePane().Edit()->toPlainText(), QString::fromUtf8("Take care of it. Go 😀."));
    EXPECT_EQ(window->TargetPane().Edit()->toPlainText(), QString::fromUtf8("小心"));
    EXPECT_EQ(window->SourcePane().SelText(), "care");
    EXPECT_TRUE(Messages().empty());
}

TEST_F(Panes, ShutdownWritesTheLastChange) {
    Make(false);
    window->TargetPane().Edit()->setPlainText(QStringLiteral("first"));
    window->FormDestroy(); // at once, before the timer
    ASSERT_TRUE(Kept());
    EXPECT_EQ(Kept()->target, QStringLiteral("first"));
}

TEST_F(Panes, ClearingBothPanesAsksFirst) {
    Make(false);
    window->SourcePane().Edit()->setPlainText(QStringLiteral("source"));
    window->TargetPane().Edit()->setPlainText(QStringLiteral("target"));
    ui.yesNoAnswers = {false, true};
    window->findChild<QAction*>("mnuClearPanes")->trigger();
    ASSERT_EQ(ui.questions.size(), 1u);
    EXPECT_EQ(window->TargetPane().Edit()->toPlainText(), QStringLiteral("target"));
    window->findChild<QAction*>("mnuClearPanes")->trigger();
    EXPECT_EQ(window->SourcePane().Edit()->toPlainText(), QString());
    EXPECT_EQ(window->TargetPane().Edit()->toPlainText(), QString());
    EXPECT_TRUE(QTest::qWaitFor([&] { return Kept() == TPaneState{}; }, 15000));
    Restart();
    EXPECT_EQ(window->TargetPane().Edit()->toPlainText(), QString());
}

// The window's thread never waits on the disk for the panes: typing, the timer's writes and
// clearing make their fsyncs on the writer's thread; the shutdown waits for the last write.
std::atomic<int> g_syncsOnWindowThread{0};
std::atomic<int> g_syncs{0};
std::thread::id g_windowThread;
void CountSync() {
    ++g_syncs;
    if (std::this_thread::get_id() == g_windowThread) ++g_syncsOnWindowThread;
}

TEST_F(Panes, NoFsyncOnTheWindowsThread) {
    Make(false);
    g_windowThread = std::this_thread::get_id();
    SetFileSyncObserver(&CountSync);
    window->SourcePane().Edit()->setPlainText(QStringLiteral("Take care of it."));
    window->TargetPane().Edit()->insertPlainText(QStringLiteral("first"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return Kept() && Kept()->target == QStringLiteral("first"); },
                                15000));
    ui.yesNoAnswers = {true};
    window->findChild<QAction*>("mnuClearPanes")->trigger();
    EXPECT_TRUE(QTest::qWaitFor([&] { return Kept() == TPaneState{}; }, 15000));
    window->TargetPane().Edit()->insertPlainText(QStringLiteral("last"));
    window->KeepPanes();
    // The seam sees the panes' writes, two syncs each (the folder's after the rename).
    EXPECT_TRUE(QTest::qWaitFor([] { return g_syncs >= 4; }, 15000));
    const int onWindowThread = g_syncsOnWindowThread;
    SetFileSyncObserver(nullptr);
    window->FormDestroy(); // the lexicons are saved here, on the window's thread, at the end
    EXPECT_EQ(onWindowThread, 0);
    ASSERT_TRUE(Kept());
    EXPECT_EQ(Kept()->target, QStringLiteral("last"));
}

// A write that fails on the worker is shown once for a run of failures, as before.
TEST_F(Panes, AFailedWriteIsShownOnce) {
    folder.panes = folder.data + "not-a-folder/panes.state";
    QDir().mkpath(QString::fromStdString(folder.data));
    WriteBytes(folder.data + "not-a-folder", "a file");
    Make(false);
    window->TargetPane().Edit()->insertPlainText(QStringLiteral("one"));
    window->KeepPanes();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !ui.messages.empty(); }, 15000));
    window->TargetPane().Edit()->insertPlainText(QStringLiteral("two"));
    window->KeepPanes();
    QTest::qWait(300);
    EXPECT_EQ(Messages(), std::vector<std::string>{"Cannot create file " + folder.panes});
}

TEST_F(Panes, AFileThatCannotBeReadIsKeptAsideAndNeverWrittenOver) {
    const std::string cut = "quillbridge-panes 1\nselection 0 0\nsource 400\ncut off";
    struct Case {
        const char* name;
        std::function<void()> make; // puts what cannot be read at folder.panes
        std::string aside;          // where it is found afterwards
        std::string check;          // a file whose bytes show it is whole: the aside or in it
        std::string bytes;
    };
    const std::string bad = folder.panes + ".bad";
    const std::vector<Case> cases = {
        {"a cut file", [&] { WriteBytes(folder.panes, cut); }, bad, bad, cut},
        // Reading fails (as an I/O error or a denied permission would).
        {"a folder in its place",
         [&] {
             QDir().mkpath(QString::fromStdString(folder.panes));
             WriteBytes(folder.panes + "/note", "inside");
         },
         bad, bad + "/note", "inside"},
        {"a cut file while an older one is kept aside already",
         [&] {
             WriteBytes(bad, "older");
             WriteBytes(folder.panes, cut);
         },
         "", bad, "older"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        window.reset();
        ui.messages.clear();
        QDir(QString::fromStdString(folder.data)).removeRecursively();
        QDir().mkpath(QString::fromStdString(folder.data));
        c.make();
        Make(false);
        ASSERT_EQ(ui.messages.size(), 1u);
        const std::string message = Messages().at(0);
        const std::string prefix = "上次的原文和译文无法读出，原文件已改名为";
        ASSERT_EQ(message.rfind(prefix, 0), 0u) << message;
        const std::string aside = message.substr(prefix.size());
        if (!c.aside.empty()) {
            EXPECT_EQ(aside, c.aside);
        }
        EXPECT_EQ(window->TargetPane().Edit()->toPlainText(), QString());
        window->TargetPane().Edit()->setPlainText(QStringLiteral("new"));
        window.reset(); // the shutdown writes the panes
        EXPECT_EQ(ReadBytes(c.check), c.bytes);
        ASSERT_TRUE(Kept());
        EXPECT_EQ(Kept()->target, QStringLiteral("new"));
        if (c.aside.empty()) {
            EXPECT_EQ(ReadBytes(aside), cut); // the new one beside the older
        }
    }
}

} // namespace
} // namespace qb::test
