// TMainIme over a stand-in of the main window with the main window's field names: the adapter the
// workspace uses to plug the input method in.
#include "MainImeAdapter.h"
#include "TestGbk.h"

#include <QKeyEvent>

#include <gtest/gtest.h>

using namespace qb;
using qbtest::G;

namespace {

struct FakeKeyBase { // the shape of TTargetKeyHandler
    virtual ~FakeKeyBase() = default;
    virtual bool KeyDown(QKeyEvent&) { return false; }
    virtual bool KeyPress(QKeyEvent&) { return false; }
    virtual bool KeyUp(QKeyEvent&) { return false; }
    virtual void Enter() {}
    virtual bool ClaimsShortcut(QKeyEvent&) { return false; }
};

struct FakePane {
    std::string text;
    int marks = 0, focus = 0;
    void MarkChinese() { ++marks; }
    void SetSelText(std::string_view gbk) { text += gbk; }
    void SetFocus() { ++focus; }
};

struct FakeMain {
    FakePane Target;
    bool ImeEnabled = true, FullWidthPunct = true, FullWidthChars = false;
    StringList SentenceCodeKeys, SentenceCodeWords;
    std::array<SchemeTables, 4> Tables;
    bool useQp = true, useSp = true, useZr = true, useWb = true;
    std::array<int, 4> SchemeOrder{1, 2, 3, 4};
    ClauseConverter* Converter() { return nullptr; }
    bool SchemeOn(int id) const {
        return id == 1 ? useQp : id == 2 ? useSp : id == 3 ? useZr : useWb;
    }
};

bool Press(FakeKeyBase& keys, Qt::Key k, Qt::KeyboardModifiers m = Qt::NoModifier) {
    QKeyEvent down(QEvent::KeyPress, k, m);
    const bool consumed = keys.KeyDown(down) || keys.KeyPress(down);
    QKeyEvent up(QEvent::KeyRelease, k, m);
    EXPECT_EQ(keys.KeyUp(up), consumed);
    return consumed;
}

} // namespace

TEST(MainImeAdapter, TypesThroughTheMainWindowsFields) {
    FakeMain main;
    main.Tables[0].CodeKeys = {"zhong", "zhongguo"};
    main.Tables[0].CodeWords = {G("中;钟"), G("中国")};
    TMainIme<FakeKeyBase, FakeMain> ime(main);
    FakeKeyBase& keys = ime;
    for (char c : std::string("zhongguo")) EXPECT_TRUE(Press(keys, Qt::Key(Qt::Key_A + (c - 'a'))));
    EXPECT_EQ(main.Target.text, G("中国"));
    EXPECT_FALSE(ime.Controller().frmBianma()->isVisible());
    EXPECT_TRUE(Press(keys, Qt::Key_Comma));
    EXPECT_EQ(main.Target.text, G("中国，"));
    EXPECT_GE(main.Target.marks, 1);
    EXPECT_FALSE(Press(keys, Qt::Key_J, Qt::ControlModifier));
    main.ImeEnabled = false;
    EXPECT_FALSE(Press(keys, Qt::Key_Comma));
    main.ImeEnabled = true;
    main.useQp = false; // switched off: its words are no longer offered
    EXPECT_TRUE(Press(keys, Qt::Key_Z));
    EXPECT_TRUE(ime.Controller().frmBianma()->isVisible());
    EXPECT_FALSE(ime.Controller().frmCandidates()->isVisible());
    main.SentenceCodeKeys = {"zx"};
    main.SentenceCodeWords = {G("中心")};
    EXPECT_TRUE(Press(keys, Qt::Key_X)); // the sentence's lone word: committed
    EXPECT_EQ(main.Target.text, G("中国，中心"));
}
