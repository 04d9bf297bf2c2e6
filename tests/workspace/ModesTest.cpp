// The mode toggles and UpdateModeDisplay, FormResize, FitHeight; keys
// are real Qt key events sent to the focused pane.
#include "WorkspaceTestSupport.h"

#include "PopSourceUnit.h"
#include "QtText.h"
#include "imeSetup.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QSplitter>
#include <QTest>
#include <QToolButton>

namespace qb::test {
namespace {

class Modes : public TWindowTest, public testing::Test {
protected:
    void SetUp() override {
        Make();
        window->TargetPane().Edit()->setFocus();
    }
    void Key(Qt::Key k, Qt::KeyboardModifiers m = Qt::ControlModifier) {
        QTest::keyClick(window->TargetPane().Edit(), k, m);
    }
    std::vector<QString> Panels() const {
        return {window->StatusText(0), window->StatusText(1), window->StatusText(2),
                window->StatusText(3)};
    }
};

TEST_F(Modes, StartUpPanelsAndCheckMarks) {
    EXPECT_EQ(Panels(),
              (std::vector<QString>{U("输入启动"), U("全角标点"), U("半角字符"), U("原文随动")}));
    EXPECT_TRUE(window->findChild<QAction*>("ToggleMyIME")->isChecked());
    EXPECT_TRUE(window->findChild<QAction*>("ToggleFullPunct")->isChecked());
    EXPECT_FALSE(window->findChild<QAction*>("ToggleFullWide")->isChecked());
    EXPECT_TRUE(window->findChild<QAction*>("ToggleFollow")->isChecked());
    EXPECT_FALSE(window->findChild<QAction*>("actFindWords")->isChecked());
    EXPECT_FALSE(window->findChild<QAction*>("actSmartFollow")->isChecked());
}

TEST_F(Modes, CtrlYTogglesTheInputMethod) {
    Key(Qt::Key_Y);
    EXPECT_FALSE(window->Modes().ImeEnabled);
    EXPECT_EQ(window->StatusText(0), U("输入关闭"));
    EXPECT_FALSE(window->findChild<QAction*>("ToggleMyIME")->isChecked());
    Key(Qt::Key_Y);
    EXPECT_EQ(window->StatusText(0), U("输入启动"));
    EXPECT_TRUE(window->findChild<QAction*>("ToggleMyIME")->isChecked());
}

TEST_F(Modes, CtrlPWithFullWidthCharactersTurnsBothOff) {
    Key(Qt::Key_H);
    ASSERT_TRUE(window->Modes().FullWidthChars);
    EXPECT_EQ(window->StatusText(2), U("全角字符"));
    Key(Qt::Key_P);
    EXPECT_FALSE(window->Modes().FullWidthPunct);
    EXPECT_FALSE(window->Modes().FullWidthChars);
    EXPECT_EQ(window->StatusText(1), U("半角标点"));
    EXPECT_EQ(window->StatusText(2), U("半角字符"));
    EXPECT_FALSE(window->findChild<QAction*>("ToggleFullPunct")->isChecked());
    EXPECT_FALSE(window->findChild<QAction*>("ToggleFullWide")->isChecked());
}

TEST_F(Modes, CtrlPTwiceLeavesFullWidthCharactersOff) {
    Key(Qt::Key_H);
    Key(Qt::Key_P);
    Key(Qt::Key_P);
    EXPECT_TRUE(window->Modes().FullWidthPunct);
    EXPECT_FALSE(window->Modes().FullWidthChars);
}

TEST_F(Modes, FullWidthCharactersWithHalfWidthPunctuation) {
    Key(Qt::Key_P);
    Key(Qt::Key_H);
    EXPECT_FALSE(window->Modes().FullWidthPunct);
    EXPECT_TRUE(window->Modes().FullWidthChars);
    EXPECT_EQ(window->StatusText(1), U("半角标点"));
    EXPECT_EQ(window->StatusText(2), U("全角字符"));
}

TEST_F(Modes, CtrlFHidesTheFloatingWindow) {
    window->findChild<TfrmPopSource*>("frmPopSource")->show();
    Key(Qt::Key_F);
    EXPECT_FALSE(window->Modes().FollowSource);
    EXPECT_FALSE(window->findChild<TfrmPopSource*>("frmPopSource")->isVisible());
    EXPECT_EQ(window->StatusText(3), U("原文固定"));
    EXPECT_FALSE(window->findChild<QAction*>("ToggleFollow")->isChecked());
    Key(Qt::Key_F);
    EXPECT_EQ(window->StatusText(3), U("原文随动"));
    EXPECT_FALSE(window->findChild<TfrmPopSource*>("frmPopSource")->isVisible()); // back with the next sentence
}

TEST_F(Modes, TogglesAlsoWorkFromTheSourcePane) {
    window->SourcePane().Edit()->setFocus();
    QTest::keyClick(window->SourcePane().Edit(), Qt::Key_M, Qt::ControlModifier);
    EXPECT_TRUE(window->Modes().SmartFollow);
    EXPECT_TRUE(window->findChild<QAction*>("actSmartFollow")->isChecked());
}

TEST_F(Modes, MenuEntriesOfTheOptionsMenu) {
    QList<QMenu*> menus =
        window->menuBar()->findChildren<QMenu*>(QString(), Qt::FindDirectChildrenOnly);
    std::vector<QString> titles;
    for (QAction* a : window->menuBar()->actions()) titles.push_back(a->text());
    EXPECT_EQ(titles, (std::vector<QString>{U("文件(&F)"), U("编辑(&E)"), U("选项(&O)"),
                                            U("词库(&L)"), U("帮助(&H)")}));
    QMenu* options = window->menuBar()->actions()[2]->menu();
    ASSERT_TRUE(options);
    std::vector<QString> items;
    for (QAction* a : options->actions()) items.push_back(a->isSeparator() ? U("-") : a->text());
    EXPECT_EQ(items,
              (std::vector<QString>{U("输入法组合方式...(&I)"), U("启用文渡输入法"), U("全角标点"),
                                    U("全角字符"), U("-"), U("浏览模式"), U("-"), U("选定原文随动"),
                                    U("候选框灵巧跟踪"), U("-"), U("预测下一个词"),
                                    U("清除输入法学习记录..."), U("重新推断输入方案")}));
    EXPECT_EQ(window->findChild<QAction*>("DoGetASent")->shortcut(),
              QKeySequence(Qt::CTRL | Qt::Key_J));
    EXPECT_EQ(window->findChild<QAction*>("actAdjust")->shortcut(), QKeySequence(Qt::Key_F9));
    EXPECT_EQ(window->findChild<QToolButton*>("btExpandSelection")->toolTip(), U("扩展一句"));
    EXPECT_TRUE(window->findChild<QToolButton*>("btGetNextSent")->toolTip().isEmpty());
}

TEST_F(Modes, FormResizeArithmetic) {
    // Client width 801 -> Panel1 600; a panel height of 301 -> source pane 150.
    const int extraH = window->height() - window->findChild<QSplitter*>("Splitter2")->height();
    window->resize(801, 301 + extraH);
    QTest::qWait(20);
    ASSERT_EQ(window->findChild<QSplitter*>("Splitter2")->width(), 801);
    ASSERT_EQ(window->findChild<QSplitter*>("Splitter2")->height(), 301);
    EXPECT_EQ(window->findChild<QSplitter*>("Splitter2")->sizes().at(0), 600);
    EXPECT_EQ(window->findChild<QSplitter*>("Panel1")->sizes().at(0), 150);
    EXPECT_EQ(window->SourcePane().Edit()->height(), 150);
}

TEST_F(Modes, ExitClosesTheWindow) {
    QSignalSpy closed(window.get(), &TfrmMainQB::closed);
    window->findChild<QAction*>("mnuExit")->trigger();
    EXPECT_EQ(closed.count(), 1);
    EXPECT_FALSE(window->isVisible());
}

TEST(PopSource, FitHeightBetweenOneAndEightLines) {
    TfrmPopSource p;
    p.show();
    ASSERT_GT(p.LineHeight, 6);
    p.SetText("");
    p.FitHeight();
    EXPECT_EQ(p.height(), p.LineHeight + 26);
    p.SetText("one line");
    p.FitHeight();
    EXPECT_EQ(p.height(), p.LineHeight + 26);
    p.SetText("1\r\n2\r\n3");
    p.FitHeight();
    EXPECT_EQ(p.height(), 3 * p.LineHeight + 26);
    p.SetText("1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n7\r\n8\r\n9\r\n10\r\n11\r\n12");
    p.FitHeight();
    EXPECT_EQ(p.height(), 8 * p.LineHeight + 26);
}

// The input method typing into the real window: it reads the window's flags, switches and
// sentence table as they are at each key.
TEST_F(Modes, TheInputMethodTypesThroughTheWindowsFlagsAndTables) {
    QTest::keyClicks(window->TargetPane().Edit(), "zhongguo"); // the code's lone word: committed at once
    EXPECT_EQ(window->TargetPane().Text(), G("中国"));
    EXPECT_FALSE(window->InputWindows().box->isVisible());
    QTest::keyClick(window->TargetPane().Edit(), Qt::Key_Comma);
    EXPECT_EQ(window->TargetPane().Text(), G("中国，"));
    Key(Qt::Key_Y); // off: the comma is the pane's own
    QTest::keyClick(window->TargetPane().Edit(), Qt::Key_Comma);
    EXPECT_EQ(window->TargetPane().Text(), G("中国，,"));
    Key(Qt::Key_Y);
    qb::SchemeChoice none = window->SchemeSettings();
    none.use = {false, false, false, false};
    window->SetSchemeSettings(none);
    QTest::keyClick(window->TargetPane().Edit(), Qt::Key_Z); // no scheme offers a word for z any more
    EXPECT_TRUE(window->InputWindows().box->isVisible());
    EXPECT_FALSE(window->InputWindows().candidates->isVisible());
    TSentenceLists zx;
    zx.SentenceCodeKeys = {"zx"};
    zx.SentenceCodeWords = {G("中心")};
    window->SetSentenceLists(std::move(zx));
    QTest::keyClick(window->TargetPane().Edit(), Qt::Key_X); // the sentence's lone word for zx: committed
    EXPECT_EQ(window->TargetPane().Text(), G("中国，,中心"));
}

} // namespace
} // namespace qb::test

namespace qb::test {
namespace {

// What the input method would see: real key events of the target pane, forwarded by
// reTargetKeyDown / KeyPress / KeyUp; a consumed event never reaches the pane.
class RecordingKeys : public TTargetKeyHandler {
public:
    std::vector<int> downs, ups;
    bool consumeLetters = false;
    bool KeyDown(QKeyEvent& e) override {
        downs.push_back(e.key());
        return consumeLetters && e.key() >= Qt::Key_A && e.key() <= Qt::Key_Z;
    }
    bool KeyUp(QKeyEvent& e) override {
        ups.push_back(e.key());
        return false;
    }
};

class TargetKeys : public TWindowTest, public testing::Test {
protected:
    RecordingKeys keys;
    void SetUp() override {
        Make();
        window->SetTargetKeyHandler(&keys);
        window->TargetPane().Edit()->setFocus();
    }
    void TearDown() override { window->SetTargetKeyHandler(nullptr); }
};

TEST_F(TargetKeys, PaneKeysPassThroughTheHandler) {
    QTest::keyClicks(window->TargetPane().Edit(), "ab1");
    EXPECT_EQ(keys.downs, (std::vector<int>{Qt::Key_A, Qt::Key_B, Qt::Key_1}));
    EXPECT_EQ(keys.ups, (std::vector<int>{Qt::Key_A, Qt::Key_B, Qt::Key_1}));
    EXPECT_EQ(window->TargetPane().Text(), "ab1");
}

TEST_F(TargetKeys, ConsumedKeysNeverReachThePane) {
    keys.consumeLetters = true;
    QTest::keyClicks(window->TargetPane().Edit(), "a1b2");
    EXPECT_EQ(window->TargetPane().Text(), "12");
}

TEST_F(TargetKeys, WindowShortcutsFireBeforeTheHandler) {
    QTest::keyClick(window->TargetPane().Edit(), Qt::Key_Y, Qt::ControlModifier);
    EXPECT_FALSE(window->Modes().ImeEnabled);
    // The handler sees the Control key itself, never the Y of the shortcut.
    EXPECT_EQ(std::count(keys.downs.begin(), keys.downs.end(), int(Qt::Key_Y)), 0);
}

} // namespace
} // namespace qb::test
