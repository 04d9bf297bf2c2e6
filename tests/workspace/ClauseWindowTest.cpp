// The whole-clause converter in the workbench window, with a scripted converter in its place:
// the sentence's senses handed over per sentence, picks learned, the history saved at shutdown
// and forgotten from the 选项 menu, Alt+letter kept from the menu mnemonics.
#include "WorkspaceTestSupport.h"

#include "CandidatsUnit.h"
#include "CompoUnit.h"
#include "FakeConverter.h"
#include "GbkText.h"
#include "SentenceLogic.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMenu>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>

namespace qb::test {
namespace {

class ClauseWindow : public TWindowTest, public testing::Test {
protected:
    qbtest::FakeConverter* fake = nullptr; // owned by the window
    void SetUp() override {
        makeConverter = [this] {
            auto c = std::make_unique<qbtest::FakeConverter>();
            c->readings[{1, "zhuangtaima"}] = {{G("状态吗"), 11}, {G("状态"), 9}};
            fake = c.get();
            return std::unique_ptr<ClauseConverter>(std::move(c));
        };
        Make();
        ASSERT_EQ(window->Converter(), fake);
        window->TargetPane().Edit()->setFocus();
    }
    void Ctrl(Qt::Key k) { QTest::keyClick(window->TargetPane().Edit(), k, Qt::ControlModifier); }
    void Type(const char* letters) {
        for (const char* c = letters; *c; ++c)
            QTest::keyClick(window->TargetPane().Edit(), Qt::Key(Qt::Key_A + (*c - 'a')));
    }
    TfrmBianma& Box() { return static_cast<TfrmBianma&>(*window->InputWindows().box); }
    TfrmCandidates& Cands() {
        return static_cast<TfrmCandidates&>(*window->InputWindows().candidates);
    }
};

TEST_F(ClauseWindow, EverySentenceReplacesThePreferredWords) {
    window->SourcePane().SetText("Take care of the bank. Go. Xyzzy.");
    Ctrl(Qt::Key_J);
    const std::vector<std::string> first = fake->preferred;
    EXPECT_EQ(first, SentenceSenses(window->SentenceLists().SentencePhrases,
                                    &window->SentenceLists().SentenceReduced));
    EXPECT_NE(std::find(first.begin(), first.end(), G("照顾")), first.end());
    EXPECT_NE(std::find(first.begin(), first.end(), G("银行")), first.end());
    Ctrl(Qt::Key_J); // "Go.": only 去 and 走 stay preferred
    EXPECT_EQ(fake->preferred, (std::vector<std::string>{G("去"), G("走")}));
    Ctrl(Qt::Key_J); // no lexicon knows the word: nothing is preferred any more
    EXPECT_TRUE(fake->preferred.empty());
    EXPECT_EQ(fake->setPreferredCalls, 3);
}

// The window's tables know no "zhuangtaima": the converter's readings come first, a partial pick
// leaves "ma", and each pick is learned.
TEST_F(ClauseWindow, ConversionRowsReachTheCandidateWindowAndPicksAreLearned) {
    Type("zhuangtaima");
    ASSERT_TRUE(Cands().isVisible());
    ASSERT_GE(Cands().RowCount(), 2);
    EXPECT_EQ(Cands().RowText(0), "1:" + G("状态吗"));
    EXPECT_EQ(Cands().RowText(1), "2:" + G("状态"));
    QTest::keyClick(window->TargetPane().Edit(), Qt::Key_2);
    EXPECT_EQ(window->TargetPane().Text(), G("状态"));
    EXPECT_EQ(Box().Code(), "ma");
    EXPECT_TRUE(Box().isVisible());
    EXPECT_EQ(fake->learned, std::vector<std::string>{"1:zhuangtaima:" + G("状态") + ":9"});
}

TEST_F(ClauseWindow, HistorySavedAtShutdownAndAFailureIsShownWithoutStoppingTheRest) {
    fake->failSave = true;
    window->UserLexicon()->AddEntry("status code", G("状态码"));
    window->FormDestroy();
    EXPECT_EQ(fake->saves, 1);
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_NE(Messages()[0].find("pinyin-history"), std::string::npos);
    // The user lexicon was written all the same.
    EXPECT_NE(ReadBytes(folder.Path("mydict.txt")).find("status code"), std::string::npos);
}

TEST_F(ClauseWindow, ForgettingTheHistoryAsksFirst) {
    ui.yesNoAnswers = {false};
    window->findChild<QAction*>("actForgetHistory")->trigger();
    EXPECT_EQ(ui.questions.size(), 1u);
    EXPECT_EQ(fake->forgets, 0);
    ui.yesNoAnswers = {true};
    window->findChild<QAction*>("actForgetHistory")->trigger();
    EXPECT_EQ(fake->forgets, 1);
    EXPECT_EQ(fake->saves, 1); // written at once, not only at shutdown
    EXPECT_TRUE(Messages().empty());
}

// Alt+E is the mnemonic of 编辑(&E): in the target pane it joins the code instead.
TEST_F(ClauseWindow, AltLetterJoinsTheCodeInsteadOfOpeningTheMenu) {
    QTest::keyClick(window->TargetPane().Edit(), Qt::Key_E, Qt::AltModifier);
    EXPECT_EQ(Box().Code(), "e");
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
}

} // namespace

TEST(ClauseWindowNone, WithoutTheLibraryTheMenuSaysSo) {
    struct T : TWindowTest {
    } t;
    t.Make();
    EXPECT_EQ(t.window->Converter(), nullptr);
    t.window->findChild<QAction*>("actForgetHistory")->trigger();
    EXPECT_EQ(t.ui.questions.size(), 0u);
    ASSERT_EQ(t.Messages().size(), 1u);
}

// Without the pinyin library's data (the maker gives nothing) the input method types from its
// tables, and the status bar says so once, not at every key.
TEST(ClauseWindowNone, WithoutTheLibrarysDataTheTablesTypeAndTheStatusBarSaysSoOnce) {
    struct T : TWindowTest {
    } t;
    t.makeConverter = [] { return std::unique_ptr<ClauseConverter>(); };
    t.Make();
    QSignalSpy said(t.window->statusBar(), &QStatusBar::messageChanged);
    t.window->TargetPane().Edit()->setFocus();
    for (const char* c = "zhongguo"; *c; ++c)
        QTest::keyClick(t.window->TargetPane().Edit(), Qt::Key(Qt::Key_A + (*c - 'a')));
    // The tables' only word of the code goes in with its last letter.
    EXPECT_EQ(t.window->TargetPane().Edit()->toPlainText(), QString::fromUtf8("中国"));
    EXPECT_EQ(t.window->statusBar()->currentMessage(), kNoClauseConverterMessage);
    EXPECT_EQ(said.count(), 1);
    EXPECT_TRUE(t.Messages().empty());
}

} // namespace qb::test
