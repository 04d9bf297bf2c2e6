// Under Xvfb (QT_QPA_PLATFORM=xcb), with real X key events and mouse moves (xdotool): text with
// characters GBK cannot hold (😀, ß, ï, 𠀀 U+20000) pasted into the source pane. Sentences end
// where they should, words are neither split nor joined, the pop-ups show the text as it is.
#include "WorkspaceTestSupport.h"

#include "ExplanUnit.h"
#include "PopSourceUnit.h"
#include "QtText.h"
#include "X11Input.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTest>

#include <algorithm>

namespace qb::test {
namespace {

const char* kFirst = "The café’s naïve “über” Straße guide 😀 costs 5 € today.";
const char* kSecond = "Next \xF0\xA0\x80\x80 one."; // 𠀀, Extension B

class X11Unicode : public TWindowTest, public testing::Test {
protected:
    void SetUp() override {
        if (!qbtest::HaveXdotool()) GTEST_SKIP() << "needs an X server (xcb) and xdotool";
        // Words the sentence holds, and the pieces a split or joined naïve would find.
        WriteBytes(folder.Path("mydict.txt"),
                   "guide\t" + G("指南") + "\r\ncosts\t" + G("花费") + "\r\ntoday\t" + G("今天") +
                       "\r\nna\t" + G("钠") + "\r\nve\t" + G("维") + "\r\nnave\t" + G("中殿") +
                       "\r\nguide costs\t" + G("错") + "\r\nnext one\t" + G("下一个") + "\r\n");
        Make(false);
        window->setGeometry(100, 100, 800, 500);
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get(), 15000));
        window->SourcePane().Edit()->setFocus();
        QTest::qWait(50);
    }
    // Pastes `text` into the source pane with the real Ctrl+V.
    void Paste(const QString& text) {
        QGuiApplication::clipboard()->setText(text);
        QTest::qWait(50);
        ASSERT_TRUE(qbtest::Xdo({"key", "ctrl+v"}));
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return window->SourcePane().Edit()->toPlainText() == text; }, 15000))
            << window->SourcePane().Edit()->toPlainText().toStdString();
        ASSERT_TRUE(qbtest::Xdo({"key", "ctrl+Home"}));
    }
    QPoint SourcePoint(int position) {
        QTextCursor c(window->SourcePane().Edit()->document());
        c.setPosition(position);
        return window->SourcePane().Edit()->viewport()->mapToGlobal(
            window->SourcePane().Edit()->cursorRect(c).center());
    }
    bool HasPhrase(const char* key) const {
        const std::string k = std::string(key) + "\t";
        return std::any_of(window->SentenceLists().SentencePhrases.begin(),
                           window->SentenceLists().SentencePhrases.end(),
                           [&](const std::string& l) { return l.rfind(k, 0) == 0; });
    }
};

TEST_F(X11Unicode, SentenceRunsOverCharactersGbkCannotHoldAndTheFloatingWindowShowsThem) {
    const QString text = U(kFirst) + U(" ") + U(kSecond);
    Paste(text);
    ASSERT_TRUE(qbtest::Xdo({"key", "ctrl+j"}));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return window->findChild<TfrmPopSource*>("frmPopSource")->isVisible(); }, 15000));
    // The whole sentence: the emoji is no end of a sentence (it was '?' once, and "? " ended it).
    EXPECT_EQ(window->SourcePane().SelUnicode(), U(kFirst));
    EXPECT_EQ(window->SourcePane().Edit()->textCursor().selectedText(), U(kFirst));
    EXPECT_EQ(window->findChild<TfrmPopSource*>("frmPopSource")->reSource->toPlainText(), U(kFirst));
    // The rest of the sentence is looked up as usual; naïve is one word that matches nothing,
    // and no phrase reaches across the emoji.
    EXPECT_TRUE(HasPhrase("guide"));
    EXPECT_TRUE(HasPhrase("costs"));
    EXPECT_TRUE(HasPhrase("today"));
    EXPECT_FALSE(HasPhrase("na"));
    EXPECT_FALSE(HasPhrase("ve"));
    EXPECT_FALSE(HasPhrase("nave"));
    EXPECT_FALSE(HasPhrase("guide costs"));
    EXPECT_EQ(window->SourcePane().Edit()->toPlainText(), text); // the pane's own text is untouched

    ASSERT_TRUE(qbtest::Xdo({"key", "ctrl+j"}));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return window->findChild<TfrmPopSource*>("frmPopSource")->reSource->toPlainText() ==
                   U(kSecond);
        },
        15000));
    EXPECT_EQ(window->SourcePane().SelUnicode(), U(kSecond));
    EXPECT_FALSE(HasPhrase("next one")); // 𠀀 stands between the two words
}

TEST_F(X11Unicode, ExplanationOfASelectionWithSuchCharactersListsOnlyRealEntries) {
    Paste(U(kFirst));
    ASSERT_TRUE(qbtest::Xdo({"key", "F5"}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->Modes().BrowseMode; }, 15000));
    // Drag with the real mouse from "naïve" to the end of "costs".
    const QString first = U(kFirst);
    const QPoint from = SourcePoint(int(first.indexOf(U("naïve"))));
    const QPoint to = SourcePoint(int(first.indexOf(U(" 5 €"))));
    ASSERT_TRUE(qbtest::Xdo({"mousemove", QString::number(from.x() + 1), QString::number(from.y()),
                             "mousedown", "1", "mousemove", QString::number(to.x() + 1),
                             QString::number(to.y()), "mouseup", "1"}));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return window->findChild<TfrmShowExplain*>("frmShowExplain")->isVisible(); }, 15000));
    EXPECT_EQ(window->SourcePane().SelUnicode(), U("naïve “über” Straße guide 😀 costs"));
    QStringList lines;
    for (int i = 0; i < window->findChild<TfrmShowExplain*>("frmShowExplain")->MeanList->count(); ++i)
        lines << window->findChild<TfrmShowExplain*>("frmShowExplain")->MeanList->item(i)->text();
    EXPECT_EQ(lines, (QStringList{U("costs"), U("  花费"), U("guide"), U("  指南")}));
}

TEST_F(X11Unicode, CtrlVWithAnEmptyClipboardPastesNothingAndTheProgramGoesOn) {
    window->SourcePane().Edit()->setPlainText(U("kept"));
    QGuiApplication::clipboard()->clear(); // no owner of the X clipboard any more
    QTest::qWait(100);
    ASSERT_TRUE(qbtest::Xdo({"key", "ctrl+v"})); // crashed inside Qt before
    EXPECT_EQ(window->SourcePane().Edit()->toPlainText(), U("kept"));
}

} // namespace
} // namespace qb::test
