// The translation memory through the real window under Xvfb, with real X keys and mouse
// (xdotool): three sentences translated Ctrl+J by Ctrl+J, a sentence one word apart from one of
// them shows that pair's translation with its percentage, the hover shows the difference, a
// click inserts it, and a restarted window still has the pairs.
#include "WorkspaceTestSupport.h"

#include "MemoryCommands.h"
#include "MemorySearchWindow.h"
#include "QtText.h"
#include "TranslationMemory.h"
#include "X11Input.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTest>
#include <QToolTip>

namespace qb::test {
namespace {

class MemoryX11 : public TWindowTest, public testing::Test {
protected:
    void SetUp() override {
        if (!qbtest::HaveXdotool()) GTEST_SKIP() << "needs an X server (xcb) and xdotool";
        keepMemory = true;
        Open();
    }
    void TearDown() override {
        if (window) window->FormDestroy();
    }
    void Open() {
        Make(false);
        window->setGeometry(100, 100, 900, 560);
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get(), 15000));
        window->SourcePane().Edit()->setFocus();
        QTest::qWait(50);
    }
    QPoint ItemCentre(int row) {
        QListWidget* lb = window->findChild<QListWidget*>("lbMemory");
        return lb->viewport()->mapToGlobal(lb->visualItemRect(lb->item(row)).center());
    }
    bool MatchShows(const QString& line) {
        return QTest::qWaitFor(
            [&] {
                return window->findChild<QListWidget*>("lbMemory")->isVisible() &&
                       window->findChild<QListWidget*>("lbMemory")->isEnabled() &&
                       window->findChild<QListWidget*>("lbMemory")->count() > 0 &&
                       window->findChild<QListWidget*>("lbMemory")->item(0)->text() == line;
            },
            15000);
    }
};

TEST_F(MemoryX11, TranslatedSentencesComeBackAsMatchesAndStayAcrossARestart) {
    const char* text =
        "The cat sat on the mat. The sun is hot today. Press the red button. The dog sat on the mat.";
    window->SourcePane().SetText(text);
    window->SourcePane().SetSelStart(0);
    // The input method off: xdotool types the Chinese characters themselves.
    ASSERT_TRUE(qbtest::Xdo({"key", "ctrl+y"}));
    ASSERT_FALSE(window->Modes().ImeEnabled);
    const char* translations[] = {"猫坐在垫子上。", "今天太阳很热。", "按红色按钮。"};
    for (const char* t : translations) {
        ASSERT_TRUE(qbtest::Xdo({"key", "ctrl+j"}));
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return QApplication::focusWidget() == window->TargetPane().Edit(); }, 15000));
        const QString before = window->TargetPane().Edit()->toPlainText();
        ASSERT_TRUE(qbtest::TypeInto(window->TargetPane().Edit(), U(t)))
            << window->TargetPane().Edit()->toPlainText().toStdString();
        ASSERT_EQ(window->TargetPane().Edit()->toPlainText(), before + U(t));
    }
    ASSERT_TRUE(qbtest::Xdo({"key", "ctrl+j"})); // "The dog sat on the mat.": one word from the first
    ASSERT_TRUE(MatchShows(U("[85%] 猫坐在垫子上。")));
    EXPECT_EQ(window->findChild<QListWidget*>("lbMemory")->count(), 1);

    const QPoint at = ItemCentre(0);
    ASSERT_TRUE(qbtest::Xdo({"mousemove", QString::number(at.x()), QString::number(at.y())}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return QToolTip::isVisible(); }, 15000));
    EXPECT_TRUE(QToolTip::text().contains(U("The <s>cat</s> <u>dog</u> sat")))
        << QToolTip::text().toStdString();
    const QString before = window->TargetPane().Edit()->toPlainText();
    ASSERT_TRUE(qbtest::Xdo({"click", "1"}));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return window->TargetPane().Edit()->toPlainText() == before + U("猫坐在垫子上。"); },
        15000))
        << window->TargetPane().Edit()->toPlainText().toStdString();
    EXPECT_EQ(QApplication::focusWidget(), window->TargetPane().Edit());

    // A new run of the program: the same memory file, the pairs still in it.
    window->FormDestroy();
    window.reset();
    Open();
    window->SourcePane().SetText("Press the red button.");
    window->SourcePane().SetSelStart(0);
    ASSERT_TRUE(qbtest::Xdo({"key", "ctrl+j"}));
    ASSERT_TRUE(MatchShows(U("[100%] 按红色按钮。")));
    tm::TTranslationMemory memory(folder.memory);
    EXPECT_EQ(memory.Matches("The cat sat on the mat.").at(0).pair.target, "猫坐在垫子上。");
    EXPECT_EQ(memory.Matches("The sun is hot today.").at(0).pair.target, "今天太阳很热。");
    // The clicked match, recorded for the fourth sentence when the first run ended.
    EXPECT_EQ(memory.Matches("The dog sat on the mat.").at(0).pair.target, "猫坐在垫子上。");
}

// The concordance window takes the keys while it searches, and after Enter the next keys go to
// the target pane again, in the active main window.
TEST_F(MemoryX11, ConcordanceEnterGivesTheKeysBackToTheTargetPane) {
    {
        tm::TTranslationMemory memory(folder.memory);
        memory.Record("Handle with care.", "小心轻放。");
    }
    window->TargetPane().Edit()->setFocus();
    ASSERT_TRUE(qbtest::Xdo({"key", "ctrl+t"}));
    TfrmMemorySearch* search = window->MemoryCommands().SearchWindow();
    ASSERT_TRUE(search);
    ASSERT_TRUE(QTest::qWaitFor([&] { return search->isActiveWindow(); }, 15000));
    ASSERT_TRUE(qbtest::Xdo({"type", "care"}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !search->Waiting() && search->lbPairs->count() == 1; },
                                15000));
    ASSERT_TRUE(qbtest::Xdo({"key", "Return"}));
    EXPECT_EQ(window->TargetPane().Edit()->toPlainText(), U("小心轻放。"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->isActiveWindow(); }, 15000));
    EXPECT_EQ(QApplication::focusWidget(), window->TargetPane().Edit());
    window->SetTargetKeyHandler(nullptr); // the pane's own handling, to see the letter arrive
    ASSERT_TRUE(qbtest::Xdo({"type", "x"}));
    EXPECT_EQ(window->TargetPane().Edit()->toPlainText(), U("小心轻放。x"));
}

} // namespace
} // namespace qb::test
