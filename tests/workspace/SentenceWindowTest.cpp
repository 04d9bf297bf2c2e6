// Sentence selection, suggestions and browse mode through the real window offscreen, with real key and mouse events.
#include "WorkspaceTestSupport.h"

#include "CompoUnit.h"
#include "ExplanUnit.h"
#include "GbkText.h"
#include "PopSourceUnit.h"
#include "QtText.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <QListWidget>
#include <QPlainTextEdit>
#include <QScreen>
#include <QStatusBar>
#include <QTest>
#include <QTextCursor>
#include <QToolButton>

namespace qb::test {
namespace {

class SentenceWindow : public TWindowTest, public testing::Test {
protected:
    void SetUp() override {
        folder.MakeProfessional("law.txt", folder.Path("law.qbs"));
        folder.MakeProfessional("med.txt", folder.Path("med.qbs"));
        folder.WriteIni("[inisetup]\nrcdicts1=" + folder.Path("law.qbs") +
                        "\nrcdicts2=" + folder.Path("med.qbs") + "\n");
        Make();
        ASSERT_EQ(window->LexiconsInUse().size(), 4u);
        window->SourcePane().Edit()->setFocus();
    }
    void Key(QWidget* w, Qt::Key k, Qt::KeyboardModifiers m = Qt::ControlModifier) {
        QTest::keyClick(w, k, m);
    }
    void CtrlJ() { Key(QApplication::focusWidget(), Qt::Key_J); }
    QString Selected() const { return window->SourcePane().Edit()->textCursor().selectedText(); }
    std::vector<QString> ListLines() const {
        std::vector<QString> out;
        for (int i = 0; i < window->findChild<QListWidget*>("lbLongPhrase")->count(); ++i)
            out.push_back(window->findChild<QListWidget*>("lbLongPhrase")->item(i)->text());
        return out;
    }
};

TEST_F(SentenceWindow, F11ThenCtrlJSelectsTheFirstSentenceAfterTheLeadingSpace) {
    window->SourcePane().Edit()->setPlainText("old text");
    Key(window->SourcePane().Edit(), Qt::Key_F11, Qt::NoModifier);
    EXPECT_EQ(window->SourcePane().Text(), " Welcome to use Quillbridge Translating Environment!\r\n"
                                           " From now on, you'll have more time to enjoy life.\r\n");
    EXPECT_EQ(window->SourcePane().SelStart(), 0);
    CtrlJ();
    EXPECT_EQ(window->SourcePane().SelStart(), 1);
    EXPECT_EQ(Selected(), U("Welcome to use Quillbridge Translating Environment!"));
    EXPECT_EQ(QApplication::focusWidget(), window->TargetPane().Edit()); // ProcessSentence focuses the target
    // The phrase list: "welcome to" from the basic lexicon.
    EXPECT_EQ(ListLines(), (std::vector<QString>{U("welcome to"), U(" 欢迎来到")}));
    // The floating window shows the sentence.
    ASSERT_TRUE(window->findChild<TfrmPopSource*>("frmPopSource")->isVisible());
    EXPECT_EQ(window->findChild<TfrmPopSource*>("frmPopSource")->reSource->toPlainText(),
              U("Welcome to use Quillbridge Translating Environment!"));
    CtrlJ();
    EXPECT_EQ(Selected(), U("From now on, you'll have more time to enjoy life."));
    EXPECT_EQ(ListLines(),
              (std::vector<QString>{U("enjoy life"), U(" 享受生活"), U(" 乙"), U("from now on"),
                                    U(" 从现在起"), U(" 今后"), U("more time"), U(" 更多时间")}));
}

// The words predicted after a pick are the last sentence's: Ctrl+J takes them away, and Space
// in the next translation is a space, not 私人的.
TEST_F(SentenceWindow, CtrlJTakesTheLastSentencesPredictionsAway) {
    window->SourcePane().Edit()->setPlainText("Personal data. Next one.");
    CtrlJ();
    auto* box = dynamic_cast<TfrmBianma*>(window->InputWindows().box);
    ASSERT_NE(box, nullptr);
    box->ShowPredictions({G("私人的")});
    ASSERT_TRUE(box->PredictionsVisible());
    CtrlJ();
    EXPECT_FALSE(box->PredictionsVisible());
    QTest::keyClick(window->TargetPane().Edit(), Qt::Key_Space);
    EXPECT_EQ(window->TargetPane().Edit()->toPlainText().indexOf(U("私人的")), -1);
}

// F7 inserts the placeholders of the sentence one by one, each the first the translation's
// paragraph lacks, with the input method on; then says there is none left.
TEST_F(SentenceWindow, F7InsertsTheNextPlaceholderTheTranslationLacks) {
    window->SourcePane().Edit()->setPlainText("Copied {1} to {2}.");
    CtrlJ();
    QPlainTextEdit* target = window->TargetPane().Edit();
    target->setPlainText(U("已将"));
    target->moveCursor(QTextCursor::End);
    Key(target, Qt::Key_F7, Qt::NoModifier);
    target->insertPlainText(U("复制到"));
    Key(target, Qt::Key_F7, Qt::NoModifier);
    EXPECT_EQ(target->toPlainText(), U("已将{1}复制到{2}"));
    Key(target, Qt::Key_F7, Qt::NoModifier);
    EXPECT_EQ(target->toPlainText(), U("已将{1}复制到{2}"));
    EXPECT_TRUE(window->statusBar()->currentMessage().contains(U("没有译文缺少的占位符")));
}

TEST_F(SentenceWindow, PhrasesArePooledAcrossLexiconsInSlotOrder) {
    window->SourcePane().SetText("Please take care of it. Take care.");
    CtrlJ();
    // user 保重, basic 小心；保重, med 当心 -> one line, user's first; law gives "take care of".
    std::size_t i = 0;
    const StringList& ph = window->SentenceLists().SentencePhrases;
    auto find = [&](const std::string& key) {
        for (i = 0; i < ph.size(); ++i)
            if (ph[i].rfind(key + "\t", 0) == 0) return ph[i].substr(key.size() + 1);
        return std::string("<none>");
    };
    EXPECT_EQ(find("take care"), G("保重；小心；当心"));
    EXPECT_EQ(find("take care of"), G("照顾；负责"));
    EXPECT_TRUE(std::is_sorted(ph.begin(), ph.end(), [](const std::string& a, const std::string& b) {
        return TextLess(a, b);
    }));
    // The code table offers the phrase under its initials, then its senses.
    std::size_t k = 0;
    ASSERT_TRUE(SortedFind(window->SentenceLists().SentenceCodeKeys, "tco", k));
    EXPECT_EQ(window->SentenceLists().SentenceCodeWords[k],
              "take care of;" + G("照顾") + ";" + G("负责"));
    ASSERT_TRUE(SortedFind(window->SentenceLists().SentenceCodeKeys, "bz", k)); // 保重 in 全拼/自然/双拼
    EXPECT_EQ(window->SentenceLists().SentenceCodeWords[k], G("保重"));
    ASSERT_TRUE(SortedFind(window->SentenceLists().SentenceCodeKeys, "please", k));
    EXPECT_EQ(window->SentenceLists().SentenceCodeWords[k], "Please");
}

TEST_F(SentenceWindow, CtrlKExtendsAndCtrlLConfirms) {
    window->SourcePane().SetText("Hello there. How are you? Fine.");
    CtrlJ();
    EXPECT_EQ(Selected(), U("Hello there."));
    Key(QApplication::focusWidget(), Qt::Key_K);
    EXPECT_EQ(window->SourcePane().SelStart(), 0);
    EXPECT_EQ(window->SourcePane().SelLength(), 26);
    // A word selected by hand, confirmed with Ctrl+L.
    window->SourcePane().SetText("I went to the bank.");
    window->SourcePane().Select(14, 4);
    window->TargetPane().Edit()->setFocus();
    Key(window->TargetPane().Edit(), Qt::Key_L);
    // The word, and 银行 by the initials of its readings (行: xing hang; 五笔 qvej tfh); 岸 is
    // not in the tables.
    EXPECT_EQ(window->SentenceLists().SentenceCodeKeys, (StringList{"bank", "qt", "yh", "yx"}));
    ASSERT_EQ(window->SentenceLists().SentencePhrases.size(), 1u);
    EXPECT_EQ(window->SentenceLists().SentencePhrases[0], "bank\t" + G("银行；岸"));
    EXPECT_TRUE(ListLines().empty()); // single words never reach the list
}

TEST_F(SentenceWindow, CrLfAndChineseKeepTheSelectionRight) {
    window->SourcePane().Edit()->setPlainText(U("中文句子。\nTake 🙂care.\nnext"));
    CtrlJ(); // "中文句子。" has no ASCII end mark: the CR ends it
    EXPECT_EQ(Selected(), U("中文句子。"));
    EXPECT_EQ(window->SourcePane().SelText(), G("中文句子。") + "\r");
    // The floating window gets the selected bytes, CR included (a trailing break, not counted).
    EXPECT_EQ(window->findChild<TfrmPopSource*>("frmPopSource")->reSource->toPlainText(),
              U("中文句子。\n"));
    CtrlJ();
    EXPECT_EQ(Selected(), U("Take 🙂care."));
    EXPECT_EQ(window->SourcePane().SelText(), "Take \x7F"
                                              "care.");
    EXPECT_EQ(window->findChild<TfrmPopSource*>("frmPopSource")->reSource->toPlainText(),
              U("Take 🙂care."));
    CtrlJ();
    EXPECT_EQ(Selected(), U("next"));
}

TEST_F(SentenceWindow, ACharacterOutsideGbkNeverEndsASentence) {
    // The pane model gives such a character as one stand-in byte (7F for 🙂), which is no end
    // mark: "Wow🙂 nice." is one sentence (with '?' in its place, "? " used to end it there).
    window->SourcePane().Edit()->setPlainText(U("Wow🙂 nice. End"));
    CtrlJ();
    EXPECT_EQ(Selected(), U("Wow🙂 nice."));
    EXPECT_EQ(window->SourcePane().SelText(), "Wow\x7F nice.");
    EXPECT_EQ(window->findChild<TfrmPopSource*>("frmPopSource")->reSource->toPlainText(),
              U("Wow🙂 nice."));
    CtrlJ();
    EXPECT_EQ(Selected(), U("End"));
}

TEST_F(SentenceWindow, ClickOnAPhraseListLineInsertsItIntoTheTarget) {
    window->SourcePane().SetText("Take care of it.");
    CtrlJ();
    std::vector<QString> lines = ListLines();
    ASSERT_GE(lines.size(), 3u);
    ASSERT_EQ(lines[0], U("take care"));
    window->TargetPane().SetText("AxB");
    window->TargetPane().Select(1, 1);
    QListWidget* lb = window->findChild<QListWidget*>("lbLongPhrase");
    QRect r = lb->visualItemRect(lb->item(1)); // " 保重", indented
    QTest::mouseClick(lb->viewport(), Qt::LeftButton, {}, r.center());
    EXPECT_EQ(window->TargetPane().Text(), "A" + G("保重") + "B");
    EXPECT_EQ(QApplication::focusWidget(), window->TargetPane().Edit());
    r = lb->visualItemRect(lb->item(0));
    QTest::mouseClick(lb->viewport(), Qt::RightButton, {}, r.center());
    EXPECT_EQ(window->TargetPane().Text(), "A" + G("保重") + "take careB");
    // Below the last line: nothing.
    QTest::mouseClick(lb->viewport(), Qt::LeftButton, {}, QPoint(5, lb->viewport()->height() - 2));
    EXPECT_EQ(window->TargetPane().Text(), "A" + G("保重") + "take careB");
}

// "took care of" reaches "take care" and "take care of" through took^take^: marked with the
// sentence's words, and a click inserts the phrase alone.
TEST_F(SentenceWindow, AReducedPhraseIsMarkedAndInsertsThePhraseAlone) {
    window->SourcePane().SetText("He took care of it.");
    CtrlJ();
    std::vector<QString> lines = ListLines();
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines[0], U("take care ← took care"));
    EXPECT_NE(std::find(lines.begin(), lines.end(), U("take care of ← took care of")), lines.end());
    window->TargetPane().SetText("");
    QListWidget* lb = window->findChild<QListWidget*>("lbLongPhrase");
    QTest::mouseClick(lb->viewport(), Qt::LeftButton, {}, lb->visualItemRect(lb->item(0)).center());
    EXPECT_EQ(window->TargetPane().Text(), "take care");
}

TEST_F(SentenceWindow, EmptyEndProcessesTheEmptyText) {
    window->SourcePane().SetText("Go.");
    CtrlJ();
    CtrlJ();
    EXPECT_EQ(window->SourcePane().SelStart(), 3);
    EXPECT_EQ(window->SourcePane().SelLength(), 0);
    EXPECT_TRUE(window->SentenceLists().SentencePhrases.empty());
    EXPECT_TRUE(window->SentenceLists().SentenceCodeKeys.empty());
    EXPECT_TRUE(window->findChild<TfrmPopSource*>("frmPopSource")->isVisible());
    EXPECT_EQ(window->findChild<TfrmPopSource*>("frmPopSource")->height(),
              window->findChild<TfrmPopSource*>("frmPopSource")->LineHeight + 26);
}

TEST_F(SentenceWindow, StepKeysMoveTheInputWindowsUnderSmartFollow) {
    QWidget bianma, candidates; // stand-ins for the input method's pop-ups
    bianma.resize(120, 30);
    candidates.resize(150, 200);
    window->SetInputWindows({&bianma, &candidates});
    window->SourcePane().SetText("Take care.");
    Key(window->SourcePane().Edit(), Qt::Key_M); // smart follow on
    ASSERT_TRUE(window->Modes().SmartFollow);
    CtrlJ();
    const int topP = window->findChild<TfrmPopSource*>("frmPopSource")->y();
    EXPECT_EQ(bianma.y(), topP + 60);
    Key(window->TargetPane().Edit(), Qt::Key_D);
    EXPECT_EQ(window->Modes().StepOffset, 1);
    EXPECT_EQ(bianma.y(), topP + 80);
    EXPECT_EQ(candidates.y(), topP + 80);
    EXPECT_EQ(candidates.x(), bianma.x() + 125);
    Key(window->TargetPane().Edit(), Qt::Key_U);
    Key(window->TargetPane().Edit(), Qt::Key_U);
    EXPECT_EQ(bianma.y(), topP + 40);
    CtrlJ(); // a new sentence resets the step
    EXPECT_EQ(window->Modes().StepOffset, 0);
    window->SetInputWindows({});
}

TEST_F(SentenceWindow, FollowSourceOffKeepsTheFloatingWindowHidden) {
    window->TargetPane().Edit()->setFocus();
    Key(window->TargetPane().Edit(), Qt::Key_F);
    window->SourcePane().SetText("Take care.");
    CtrlJ();
    EXPECT_FALSE(window->findChild<TfrmPopSource*>("frmPopSource")->isVisible());
    Key(window->TargetPane().Edit(), Qt::Key_F);
    CtrlJ();
    CtrlJ();
    EXPECT_TRUE(window->findChild<TfrmPopSource*>("frmPopSource")->isVisible());
}

TEST_F(SentenceWindow, BrowseModeExplainsAMouseSelection) {
    window->SourcePane().SetText("we take care of the bank");
    Key(window->SourcePane().Edit(), Qt::Key_F5, Qt::NoModifier);
    ASSERT_TRUE(window->Modes().BrowseMode);
    EXPECT_TRUE(window->findChild<QAction*>("actFindWords")->isChecked());
    EXPECT_FALSE(window->findChild<TfrmPopSource*>("frmPopSource")->isVisible());
    // Drag over "take care of" with the mouse.
    QPlainTextEdit* e = window->SourcePane().Edit();
    QTextCursor c(e->document());
    c.setPosition(3);
    const QPoint from = e->cursorRect(c).center();
    c.setPosition(15);
    const QPoint to = e->cursorRect(c).center();
    QTest::mousePress(e->viewport(), Qt::LeftButton, {}, from);
    QTest::mouseMove(e->viewport(), to);
    QTest::mouseRelease(e->viewport(), Qt::LeftButton, {}, to);
    ASSERT_EQ(window->SourcePane().SelText(), "take care of");
    ASSERT_TRUE(window->findChild<TfrmShowExplain*>("frmShowExplain")->isVisible());
    QListWidget* m = window->findChild<TfrmShowExplain*>("frmShowExplain")->MeanList;
    std::vector<QString> lines;
    for (int i = 0; i < m->count(); ++i) lines.push_back(m->item(i)->text());
    EXPECT_EQ(lines, (std::vector<QString>{U("care"), U("  护理"), U("take"), U("  拿"), U("  取"),
                                           U("take care"), U("  保重"), U("  小心"), U("  当心"),
                                           U("take care of"), U("  照顾"), U("  负责")}));
    const int width = window->findChild<TfrmShowExplain*>("frmShowExplain")->width();
    EXPECT_GE(width, 50);
    EXPECT_LE(width, 400);
    EXPECT_EQ(width,
              window->findChild<TfrmShowExplain*>("frmShowExplain")->TextWidth("take care of") + 35);
    // A plain click leaves the window as it was.
    QTest::mouseClick(e->viewport(), Qt::LeftButton, {}, from);
    EXPECT_TRUE(window->findChild<TfrmShowExplain*>("frmShowExplain")->isVisible());
    EXPECT_EQ(m->count(), int(lines.size()));
    // F5 again: the explanation window goes; the floating window stays hidden until a sentence.
    Key(window->SourcePane().Edit(), Qt::Key_F5, Qt::NoModifier);
    EXPECT_FALSE(window->Modes().BrowseMode);
    EXPECT_FALSE(window->findChild<TfrmShowExplain*>("frmShowExplain")->isVisible());
    EXPECT_FALSE(window->findChild<TfrmPopSource*>("frmPopSource")->isVisible());
}

TEST_F(SentenceWindow, ExplanationWithoutHitsIsFiftyPixelsWide) {
    {
        TWorkspaceModes m = window->Modes();
        m.BrowseMode = true;
        window->SetModes(m);
    }
    window->ExplainSelection("zzzz");
    EXPECT_TRUE(window->findChild<TfrmShowExplain*>("frmShowExplain")->isVisible());
    EXPECT_EQ(window->findChild<TfrmShowExplain*>("frmShowExplain")->width(), 50);
    EXPECT_EQ(window->findChild<TfrmShowExplain*>("frmShowExplain")->MeanList->count(), 0);
    std::string wide(200, 'w');
    window->UserLexicon()->AddEntry(wide, G("宽"));
    window->ExplainSelection(wide);
    EXPECT_EQ(window->findChild<TfrmShowExplain*>("frmShowExplain")->width(), 400);
}

TEST_F(SentenceWindow, BrowseButtonShowsTheMode) {
    window->findChild<QToolButton*>("btBrowseMode")->click();
    EXPECT_TRUE(window->Modes().BrowseMode);
    EXPECT_TRUE(window->findChild<QToolButton*>("btBrowseMode")->isChecked());
    window->findChild<QToolButton*>("btBrowseMode")->click();
    EXPECT_FALSE(window->Modes().BrowseMode);
    EXPECT_FALSE(window->findChild<QToolButton*>("btBrowseMode")->isChecked());
}

} // namespace
} // namespace qb::test

namespace qb::test {
namespace {

class SentenceEdges : public TWindowTest, public testing::Test {
protected:
    void SetUp() override {
        Make();
        window->TargetPane().Edit()->setFocus();
    }
    void Key(Qt::Key k) { QTest::keyClick(QApplication::focusWidget(), k, Qt::ControlModifier); }
};

TEST_F(SentenceEdges, ExpandOverTheWholeRestSelectsThroughTheEnd) {
    window->SourcePane().SetText("Take care. Go");
    window->SourcePane().Select(5, 8); // "care. Go", the whole rest
    Key(Qt::Key_K);
    EXPECT_EQ(window->SourcePane().SelStart(), 5);
    EXPECT_EQ(window->SourcePane().SelLength(), 8);
    EXPECT_EQ(window->SourcePane().SelText(), "care. Go");
}

TEST_F(SentenceEdges, APhraseTwiceInASentenceIsListedOnce) {
    window->SourcePane().SetText("Take care, take care.");
    Key(Qt::Key_J);
    int takeCare = 0;
    for (const std::string& l : window->SentenceLists().SentencePhrases)
        if (l.rfind("take care\t", 0) == 0) ++takeCare;
    EXPECT_EQ(takeCare, 1);
    EXPECT_EQ(window->findChild<QListWidget*>("lbLongPhrase")->item(0)->text(),
              QStringLiteral("take care"));
}

TEST_F(SentenceEdges, UserSenseComesBeforeTheBasicOnes) {
    // user: enjoy life 享受生活; basic: 乙；享受生活 -> 享受生活；乙
    window->SourcePane().SetText("Enjoy life!");
    Key(Qt::Key_J);
    ASSERT_FALSE(window->SentenceLists().SentencePhrases.empty());
    bool found = false;
    for (const std::string& l : window->SentenceLists().SentencePhrases)
        if (l == "enjoy life\t" + G("享受生活；乙")) found = true;
    EXPECT_TRUE(found);
}

TEST_F(SentenceEdges, ProcessSentenceReplacesThePreviousSentenceState) {
    window->SourcePane().SetText("Take care of it. Go.");
    Key(Qt::Key_J);
    ASSERT_GT(window->findChild<QListWidget*>("lbLongPhrase")->count(), 0);
    Key(Qt::Key_D);
    EXPECT_EQ(window->Modes().StepOffset, 1);
    Key(Qt::Key_J); // "Go.": single word only
    EXPECT_EQ(window->findChild<QListWidget*>("lbLongPhrase")->count(), 0);
    EXPECT_EQ(window->Modes().StepOffset, 0);
    std::size_t k = 0;
    EXPECT_FALSE(SortedFind(window->SentenceLists().SentenceCodeKeys, "tco", k));
}

} // namespace
} // namespace qb::test
