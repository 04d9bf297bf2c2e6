// The input method on a real QPlainTextEdit: real Qt key events (QTest, and events shaped as X11
// delivers them) through VirtualKeyMap and the controller, asserting after every step.
#include "ImeWindowTestSupport.h"

#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <map>

using namespace qb;
using namespace qbtest;

namespace {

class ImeWindow : public ::testing::Test {
protected:
    QWidget top;
    QPlainTextEdit* edit = new QPlainTextEdit(&top);
    PaneHost host;
    std::unique_ptr<TImeController> ime;

    void SetUp() override {
        auto* layout = new QVBoxLayout(&top);
        layout->addWidget(edit);
        edit->setAttribute(Qt::WA_InputMethodEnabled, false);
        host.edit = edit;
        SchemeTables& qp = host.schemes[0];
        AddCode(qp, "a", "啊;阿");
        AddCode(qp, "ab", "全甲");
        AddCode(qp, "abc", "全长");
        std::string pg;
        for (int i = 1; i <= 25; ++i) pg += "w" + std::to_string(i) + ";";
        AddCode(qp, "pg", pg);
        AddCode(qp, "xyzw", "字");
        AddCode(qp, "zhong", "中;钟");
        AddCode(qp, "zhongguo", "中国");
        SchemeTables& sp = host.schemes[1];
        AddCode(sp, "ab", "双乙");
        AddCode(sp, "abc", "双长");
        AddCode(sp, "vs", "中");
        AddCode(sp, "vsgo", "中国");
        SchemeTables& zr = host.schemes[2];
        AddCode(zr, "ab", "自丙");
        AddCode(zr, "abc", "自长");
        SchemeTables& wb = host.schemes[3];
        AddCode(wb, "ab", "五丁");
        AddCode(wb, "abc", "五长");
        AddCode(wb, "khlg", "中国");
        ime = std::make_unique<TImeController>(host);
        edit->installEventFilter(ime.get());
        top.resize(400, 300);
        top.show();
        edit->setFocus();
    }
    void TearDown() override { edit->removeEventFilter(ime.get()); }

    TfrmBianma& Box() { return *ime->frmBianma(); }
    TfrmCandidates& Cands() { return *ime->frmCandidates(); }
    std::string Code() { return Box().Code(); }
    bool BoxShown() { return Box().isVisible(); }
    bool CandsShown() { return Cands().isVisible(); }
    StringList Rows() { return Cands().Rows(); }
    std::string Pane() { return host.Text(); }

    void Key(Qt::Key k, Qt::KeyboardModifiers m = Qt::NoModifier) { QTest::keyClick(edit, k, m); }
    void Type(std::string_view letters) {
        for (char c : letters) Key(Qt::Key(Qt::Key_A + (c - 'a')));
    }
    // A key as X11 / Wayland deliver it: the shifted symbol as the key.
    void SendX11(Qt::Key k, Qt::KeyboardModifiers m, const QString& text) {
        QKeyEvent press(QEvent::KeyPress, k, m, text);
        QApplication::sendEvent(edit, &press);
        QKeyEvent release(QEvent::KeyRelease, k, m, text);
        QApplication::sendEvent(edit, &release);
    }
    static StringList GL(std::initializer_list<const char*> utf8) {
        StringList out;
        for (const char* s : utf8) out.push_back(G(s));
        return out;
    }
};

} // namespace

TEST_F(ImeWindow, PopupsAreHiddenToolWindowsThatNeverTakeFocus) {
    EXPECT_FALSE(BoxShown());
    EXPECT_FALSE(CandsShown());
    for (QWidget* w : {static_cast<QWidget*>(&Box()), static_cast<QWidget*>(&Cands())}) {
        EXPECT_TRUE(w->windowFlags().testFlag(Qt::WindowDoesNotAcceptFocus));
        EXPECT_TRUE(w->windowFlags().testFlag(Qt::FramelessWindowHint));
        EXPECT_TRUE(w->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        EXPECT_EQ(w->windowType(), Qt::Tool);
        EXPECT_TRUE(w->testAttribute(Qt::WA_ShowWithoutActivating));
    }
    EXPECT_EQ(Box().size(), QSize(106, 26));
    EXPECT_EQ(Box().editCompose->geometry(), QRect(0, 1, 105, 25));
    EXPECT_FALSE(Box().editCompose->testAttribute(Qt::WA_InputMethodEnabled));
    EXPECT_EQ(Box().editCompose->focusPolicy(), Qt::NoFocus);
    EXPECT_EQ(Cands().CandidatsList->focusPolicy(), Qt::NoFocus);
    EXPECT_EQ(Cands().height(), 10 * Cands().RowHeight() + 6);
}

TEST_F(ImeWindow, ZhongguoLoneExactCandidateCommittedAsItsLastLetterIsTyped) {
    Type("z");
    EXPECT_TRUE(BoxShown());
    EXPECT_EQ(Code(), "z");
    EXPECT_TRUE(CandsShown());
    EXPECT_EQ(Rows(), GL({"1:中...hong", "2:钟...hong", "3:中国...hongguo"}));
    Type("hong");
    EXPECT_EQ(Code(), "zhong");
    EXPECT_EQ(Rows(), GL({"1:中", "2:钟", "3:中国...guo"}));
    EXPECT_EQ(Pane(), "");
    Type("g");
    EXPECT_EQ(Rows(), GL({"1:中国...uo"})); // a lone prefix candidate: shown, not committed
    EXPECT_TRUE(BoxShown());
    EXPECT_EQ(Pane(), "");
    Type("u");
    EXPECT_EQ(Rows(), GL({"1:中国...o"}));
    Type("o");
    EXPECT_EQ(Pane(), G("中国"));
    EXPECT_FALSE(BoxShown());
    EXPECT_FALSE(CandsShown());
    EXPECT_EQ(Code(), "");
    EXPECT_EQ(Cands().RowCount(), 0);
    EXPECT_GE(host.marks, 0);
}

// Alt with a letter joins the code even when the letter is a menu mnemonic: Alt+E gives "e",
// and the menu 编辑(&E) stays closed.
TEST_F(ImeWindow, AltLetterThatIsAMenuMnemonicJoinsTheCode) {
    auto* bar = new QMenuBar(&top);
    QMenu* menu = bar->addMenu(QString::fromUtf8("编辑(&E)"));
    menu->addAction(QString::fromUtf8("复制"));
    top.layout()->setMenuBar(bar);
    QApplication::processEvents();
    Key(Qt::Key_E, Qt::AltModifier);
    EXPECT_EQ(Code(), "e");
    EXPECT_FALSE(menu->isVisible());
    Key(Qt::Key_A, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(Code(), "ea");
    EXPECT_FALSE(menu->isVisible());
    host.ime = false; // with the input method off the mnemonic works as usual
    Key(Qt::Key_Escape);
    Key(Qt::Key_E, Qt::AltModifier);
    EXPECT_TRUE(menu->isVisible());
    menu->hide();
}

TEST_F(ImeWindow, ShuangpinFirstGivesZhongguoForVsgo) {
    host.order = {2, 1, 3, 4};
    host.on = {false, true, false, false};
    Type("vsg");
    EXPECT_EQ(Rows(), GL({"1:中国...o"}));
    Type("o");
    EXPECT_EQ(Pane(), G("中国"));
    EXPECT_FALSE(BoxShown());
}

TEST_F(ImeWindow, LonePrefixCandidateShownNotCommitted) {
    Type("xyz");
    EXPECT_TRUE(CandsShown());
    EXPECT_EQ(Rows(), GL({"1:字...w"}));
    EXPECT_EQ(Pane(), "");
    EXPECT_EQ(Box().PageNo, 1);
    Type("w");
    EXPECT_EQ(Pane(), G("字"));
}

TEST_F(ImeWindow, PagingOfTwentyFiveCandidates) {
    Type("pg");
    ASSERT_EQ(Rows().size(), 10u);
    EXPECT_EQ(Rows().front(), "1:w1");
    EXPECT_EQ(Rows().back(), "0:w10");
    Key(Qt::Key_BracketRight);
    EXPECT_EQ(Box().PageNo, 2);
    EXPECT_EQ(Rows().front(), "1:w11");
    EXPECT_EQ(Rows().back(), "0:w20");
    Key(Qt::Key_BracketRight);
    EXPECT_EQ(Rows(), (StringList{"1:w21", "2:w22", "3:w23", "4:w24", "5:w25"}));
    Key(Qt::Key_BracketRight); // forward on the last page stays
    EXPECT_EQ(Box().PageNo, 3);
    EXPECT_EQ(Rows().size(), 5u);
    Key(Qt::Key_BracketLeft);
    EXPECT_EQ(Rows().front(), "1:w11");
    Key(Qt::Key_BracketLeft);
    EXPECT_EQ(Rows().front(), "1:w1");
    Key(Qt::Key_BracketLeft); // back from page 1 closes the window, keeps the code
    EXPECT_FALSE(CandsShown());
    EXPECT_TRUE(BoxShown());
    EXPECT_EQ(Code(), "pg");
    EXPECT_EQ(Pane(), "");
    Key(Qt::Key_BracketRight); // no page shown: cancels, and the key reaches the pane
    EXPECT_FALSE(BoxShown());
    EXPECT_EQ(Code(), "");
    EXPECT_EQ(Pane(), "]");
}

TEST_F(ImeWindow, DigitZeroPicksTheTenthRowAndDigitsPickOnLaterPages) {
    Type("pg");
    Key(Qt::Key_0);
    EXPECT_EQ(Pane(), "w10");
    EXPECT_FALSE(BoxShown());
    EXPECT_FALSE(CandsShown());
    EXPECT_EQ(Code(), "");
    Type("pg");
    Key(Qt::Key_BracketRight);
    Key(Qt::Key_3);
    EXPECT_EQ(Pane(), "w10w13");
    Type("pg");
    Key(Qt::Key_BracketRight);
    Key(Qt::Key_BracketRight);
    Key(Qt::Key_0); // five rows: the tenth does not exist; nothing is inserted, the key consumed
    EXPECT_EQ(Pane(), "w10w13");
    EXPECT_EQ(Code(), "");
    EXPECT_FALSE(CandsShown());
}

TEST_F(ImeWindow, SchemeOrderInTheExactAndThePrefixGroups) {
    host.order = {4, 1, 2, 3};
    Type("ab");
    EXPECT_EQ(Rows(), GL({"1:五丁", "2:全甲", "3:双乙", "4:自丙", "5:五长...c", "6:全长...c",
                          "7:双长...c", "8:自长...c"}));
    Key(Qt::Key_Escape);
    host.order = {1, 3, 2, 4};
    Type("ab");
    EXPECT_EQ(Rows(), GL({"1:全甲", "2:自丙", "3:双乙", "4:五丁", "5:全长...c", "6:自长...c",
                          "7:双长...c", "8:五长...c"}));
    Key(Qt::Key_Escape);
    // The sentence's own words first in each group; a word offered twice shows once.
    host.keys = {"ab", "abs"};
    host.words = {G("句;全甲"), G("句长")};
    host.on = {true, true, false, false};
    Type("ab");
    EXPECT_EQ(Rows(), GL({"1:句", "2:全甲", "3:双乙", "4:句长...s", "5:全长...c", "6:双长...c"}));
}

TEST_F(ImeWindow, SentencePhraseInitialsGiveItsRendering) {
    host.keys = {"tc"};
    host.words = {G("take care;保重")};
    Type("tc");
    EXPECT_EQ(Rows(), GL({"1:take care", "2:保重"}));
    Key(Qt::Key_2);
    EXPECT_EQ(Pane(), G("保重"));
}

TEST_F(ImeWindow, PunctuationTableWithAndWithoutShift) {
    Key(Qt::Key_Comma);
    EXPECT_EQ(Pane(), G("，"));
    Key(Qt::Key_Comma, Qt::ShiftModifier);
    EXPECT_EQ(Pane(), G("，《"));
    Key(Qt::Key_Period);
    Key(Qt::Key_Period, Qt::ShiftModifier);
    Key(Qt::Key_Semicolon);
    Key(Qt::Key_Semicolon, Qt::ShiftModifier);
    EXPECT_EQ(Pane(), G("，《。》；："));
    Key(Qt::Key_Backslash);
    Key(Qt::Key_Slash, Qt::ShiftModifier);
    Key(Qt::Key_Minus, Qt::ShiftModifier);
    Key(Qt::Key_1, Qt::ShiftModifier);
    Key(Qt::Key_2, Qt::ShiftModifier);
    Key(Qt::Key_4, Qt::ShiftModifier);
    Key(Qt::Key_6, Qt::ShiftModifier);
    Key(Qt::Key_7, Qt::ShiftModifier);
    Key(Qt::Key_9, Qt::ShiftModifier);
    Key(Qt::Key_0, Qt::ShiftModifier);
    EXPECT_EQ(Pane(), G("，《。》；：、？——！·￥……—（）"));
    EXPECT_FALSE(BoxShown());
    edit->clear();
    Key(Qt::Key_1); // no entry without Shift and no page: a plain 1
    Key(Qt::Key_Slash);
    Key(Qt::Key_Minus);
    EXPECT_EQ(Pane(), "1/-");
}

TEST_F(ImeWindow, PunctuationAsX11DeliversTheShiftedKeys) {
    SendX11(Qt::Key_Exclam, Qt::ShiftModifier, "!");
    SendX11(Qt::Key_Colon, Qt::ShiftModifier, ":");
    SendX11(Qt::Key_QuoteDbl, Qt::ShiftModifier, "\"");
    SendX11(Qt::Key_Less, Qt::ShiftModifier, "<");
    SendX11(Qt::Key_Question, Qt::ShiftModifier, "?");
    SendX11(Qt::Key_QuoteDbl, Qt::ShiftModifier, "\"");
    EXPECT_EQ(Pane(), G("！：“《？”"));
}

TEST_F(ImeWindow, PunctuationWithTheBoxOpen) {
    Type("a");
    ASSERT_TRUE(CandsShown());
    Key(Qt::Key_Comma); // not converted: a plain comma, the code stays
    EXPECT_EQ(Pane(), ",");
    EXPECT_EQ(Code(), "a");
    EXPECT_TRUE(CandsShown());
    Key(Qt::Key_1, Qt::ShiftModifier); // picks row 1, no ！
    EXPECT_EQ(Pane(), G(",啊"));
    EXPECT_EQ(Code(), "");
    Type("a");
    Key(Qt::Key_Semicolon); // ; . ' join the code
    EXPECT_EQ(Code(), "a;");
    EXPECT_FALSE(CandsShown());
    EXPECT_TRUE(BoxShown());
    Key(Qt::Key_Period);
    Key(Qt::Key_Apostrophe);
    EXPECT_EQ(Code(), "a;.'");
    EXPECT_EQ(Pane(), G(",啊"));
}

TEST_F(ImeWindow, QuotesAlternateAcrossSentences) {
    Key(Qt::Key_Apostrophe);
    Key(Qt::Key_Apostrophe);
    Key(Qt::Key_Apostrophe);
    EXPECT_EQ(Pane(), G("‘’‘"));
    host.keys = {"x"}; // a new sentence: nothing resets the flags
    host.words = {"x"};
    Key(Qt::Key_Apostrophe, Qt::ShiftModifier);
    Key(Qt::Key_Apostrophe);
    Key(Qt::Key_Apostrophe, Qt::ShiftModifier);
    EXPECT_EQ(Pane(), G("‘’‘“’”"));
}

TEST_F(ImeWindow, BackspaceWithAndWithoutTheBox) {
    edit->setPlainText("AB");
    edit->moveCursor(QTextCursor::End);
    Type("zh");
    Key(Qt::Key_Backspace); // consumed: shortens the code, the pane keeps its text
    EXPECT_EQ(Code(), "z");
    EXPECT_TRUE(BoxShown());
    EXPECT_EQ(Pane(), "AB");
    Key(Qt::Key_Backspace); // empty code: the box goes
    EXPECT_EQ(Code(), "");
    EXPECT_FALSE(BoxShown());
    EXPECT_FALSE(CandsShown());
    EXPECT_EQ(Pane(), "AB");
    Key(Qt::Key_Backspace); // nothing composed: the pane deletes
    EXPECT_EQ(Pane(), "A");
    Type("xyzwq"); // no candidates: box shown, candidate window hidden
    EXPECT_TRUE(BoxShown());
    EXPECT_FALSE(CandsShown());
    Key(Qt::Key_Backspace); // back to a code with one exact candidate: committed
    EXPECT_EQ(Pane(), G("A字"));
    EXPECT_FALSE(BoxShown());
}

TEST_F(ImeWindow, EscapeSpaceAndBracketsWithAndWithoutAPage) {
    Type("zh");
    Key(Qt::Key_Escape);
    EXPECT_FALSE(BoxShown());
    EXPECT_FALSE(CandsShown());
    EXPECT_EQ(Code(), "");
    EXPECT_EQ(Pane(), "");
    Type("zhong");
    Key(Qt::Key_Space); // page shown: row 1
    EXPECT_EQ(Pane(), G("中"));
    EXPECT_FALSE(BoxShown());
    Type("zhongq"); // composing, nothing shown
    EXPECT_FALSE(CandsShown());
    Key(Qt::Key_Space); // cancels, and a space is typed
    EXPECT_EQ(Pane(), G("中 "));
    EXPECT_EQ(Code(), "");
    Type("zhongq");
    Key(Qt::Key_BracketLeft);
    EXPECT_EQ(Pane(), G("中 ["));
    EXPECT_FALSE(BoxShown());
    Type("zhong");
    Key(Qt::Key_BracketLeft); // page shown: back from page 1 closes it, the code stays
    EXPECT_FALSE(CandsShown());
    EXPECT_EQ(Code(), "zhong");
    Key(Qt::Key_2); // no page: a digit cancels and is typed
    EXPECT_EQ(Pane(), G("中 [2"));
    EXPECT_EQ(Code(), "");
    Key(Qt::Key_Escape); // nothing composed: nothing
    EXPECT_EQ(Pane(), G("中 [2"));
}

TEST_F(ImeWindow, KeypadDigitsPassThrough) {
    Type("zhong");
    const StringList before = Rows();
    Key(Qt::Key_1, Qt::KeypadModifier);
    Key(Qt::Key_0, Qt::KeypadModifier);
    EXPECT_EQ(Pane(), "10");
    EXPECT_EQ(Code(), "zhong");
    EXPECT_TRUE(CandsShown());
    EXPECT_EQ(Rows(), before);
    Key(Qt::Key_Period, Qt::KeypadModifier); // the keypad's . is not the . key
    EXPECT_EQ(Code(), "zhong");
    EXPECT_EQ(Pane(), "10.");
}

TEST_F(ImeWindow, FullWidthModesTakePrecedence) {
    host.chars = true;
    Type("a");
    Key(Qt::Key_A, Qt::ShiftModifier);
    Key(Qt::Key_1);
    EXPECT_EQ(Pane(), G("ａＡ１"));
    EXPECT_FALSE(BoxShown());
    Key(Qt::Key_1, Qt::ShiftModifier); // full-width punctuation first
    EXPECT_EQ(Pane(), G("ａＡ１！"));
    host.punct = false; // punctuation off, characters on: Shift+1 is the full-width digit
    Key(Qt::Key_1, Qt::ShiftModifier);
    EXPECT_EQ(Pane(), G("ａＡ１！１"));
    Key(Qt::Key_Comma); // no punctuation: a plain comma
    EXPECT_EQ(Pane(), G("ａＡ１！１,"));
    edit->clear();
    host.punct = true;
    host.chars = false;
    Type("zh");
    ASSERT_TRUE(CandsShown());
    host.chars = true; // a toggle does not touch the composition; digits no longer pick
    Key(Qt::Key_1);
    Type("b");
    EXPECT_EQ(Pane(), G("１ｂ"));
    EXPECT_EQ(Code(), "zh");
    EXPECT_TRUE(CandsShown());
}

TEST_F(ImeWindow, CtrlShortcutsPassThroughOtherModifiersCompose) {
    edit->setPlainText("abc");
    Key(Qt::Key_A, Qt::ControlModifier); // the pane's own select-all
    EXPECT_TRUE(edit->textCursor().hasSelection());
    EXPECT_FALSE(BoxShown());
    edit->moveCursor(QTextCursor::End);
    Key(Qt::Key_B, Qt::AltModifier);
    EXPECT_EQ(Code(), "b");
    Key(Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(Code(), "bc");
    EXPECT_EQ(Pane(), "abc");
}

TEST_F(ImeWindow, InputMethodOffIsAPlainPane) {
    host.ime = false;
    Type("zhong");
    Key(Qt::Key_Comma);
    Key(Qt::Key_1, Qt::ShiftModifier);
    EXPECT_FALSE(BoxShown());
    EXPECT_EQ(Pane().substr(0, 6), "zhong,");
}

TEST_F(ImeWindow, CandidateWindowWidthBounds) {
    Type("xyz"); // one short entry
    EXPECT_EQ(Cands().width(), 80);
    Key(Qt::Key_Escape);
    Type("zhong"); // the width of the longest entry and "中文"
    EXPECT_EQ(Cands().width(), CandidateWindowWidth(Cands().TextWidth(G("中国...guo") + G("中文"))));
    Key(Qt::Key_Escape);
    host.keys = {"lw"};
    host.words = {G(std::string(60, 'W') + "长")};
    Type("lw");
    EXPECT_EQ(Cands().width(), 400);
}

namespace {

// The real composition box and candidate window over a scripted lookup that offers conversion
// rows the way the whole-clause converter does: the reading of the whole code on row 1, then
// words of the first syllables with the rest of the code each leaves.
class ClauseBox : public ::testing::Test {
protected:
    QWidget top;
    QPlainTextEdit* edit = new QPlainTextEdit(&top);
    PaneHost host;
    TfrmCandidates cands;
    struct Row {
        const char* text;
        const char* rest;
        int scheme;
    };
    std::map<std::string, std::vector<Row>> script{
        {"zhuangtaima", {{"状态吗", "", 1}, {"状态", "ma", 1}, {"壮", "taima", 1}}},
        {"ma", {{"吗", "", 0}, {"码", "", 0}, {"妈", "", 0}}},
        {"womenyinggai", {{"我们应该", "", 1}}},
        {"taima", {{"太吗", "", 1}}},
    };
    TfrmBianma box{cands,
                   [this](const std::string& code, CandidateRows& rows) {
                       rows.clear();
                       for (const Row& r : script[code]) {
                           CandidateRow& row = rows.emplace_back();
                           row.text = G(r.text);
                           row.rest = r.rest;
                           row.scheme = r.scheme;
                           row.codeLength = code.size() - row.rest.size();
                           if (r.scheme) row.origin = CandidateOrigin::Library;
                       }
                   },
                   [this](const std::string& word) { host.ReplaceTargetSelection(word); }};
    ImeKeyHandler keys{host, box};

    void SetUp() override {
        host.edit = edit;
        top.show();
    }
    int Down(int k) {
        keys.KeyDown(k, kModNone);
        return k;
    }
    void Type(std::string_view letters) {
        for (char c : letters) Down(c - 32);
    }
};

} // namespace

TEST_F(ClauseBox, PickingTheFirstWordsLeavesTheRestComposingWithItsCandidates) {
    Type("zhuangtaima");
    ASSERT_TRUE(cands.isVisible());
    EXPECT_EQ(cands.Rows(), (StringList{"1:" + G("状态吗"), "2:" + G("状态"), "3:" + G("壮")}));
    EXPECT_EQ(Down(50), 0);
    EXPECT_EQ(host.Text(), G("状态"));
    EXPECT_TRUE(box.isVisible());
    EXPECT_EQ(box.Code(), "ma");
    EXPECT_TRUE(cands.isVisible());
    EXPECT_EQ(cands.Rows(), (StringList{"1:" + G("吗"), "2:" + G("码"), "3:" + G("妈")}));
    EXPECT_EQ(Down(50), 0);
    EXPECT_EQ(host.Text(), G("状态码"));
    EXPECT_FALSE(box.isVisible());
    EXPECT_FALSE(cands.isVisible());
    EXPECT_EQ(box.Code(), "");
}

TEST_F(ClauseBox, ALoneWholeClauseReadingIsShownNotCommitted) {
    Type("womenyinggai");
    EXPECT_EQ(host.Text(), "");
    EXPECT_TRUE(box.isVisible());
    EXPECT_EQ(cands.Rows(), StringList{"1:" + G("我们应该")});
    EXPECT_EQ(Down(32), 0);
    EXPECT_EQ(host.Text(), G("我们应该"));
    EXPECT_FALSE(box.isVisible());
}

TEST_F(ClauseBox, PickOnTheSecondPageMapsToItsOwnRest) {
    auto& rows = script["zhuangtaima"];
    rows.insert(rows.begin() + 1, 10, Row{"状", "uangtaima", 1}); // entries 2-11
    Type("zhuangtaima");
    EXPECT_EQ(Down(221), 0); // page 2: 状 (entry 11), 状态 (12), 壮 (13)
    EXPECT_EQ(cands.Rows(), (StringList{"1:" + G("状"), "2:" + G("状态"), "3:" + G("壮")}));
    EXPECT_EQ(Down(51), 0);
    EXPECT_EQ(host.Text(), G("壮"));
    EXPECT_EQ(box.Code(), "taima");
    EXPECT_EQ(cands.Rows(), StringList{"1:" + G("太吗")});
}
