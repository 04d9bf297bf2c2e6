// Under Xvfb (QT_QPA_PLATFORM=xcb): the pop-ups never take the focus, and real X key events
// (xdotool, through the X server) reach the input method as X11 delivers them (Shift+1 arrives
// as Key_Exclam). Skipped on any other platform; run by ctest through xvfb-run.
#include "ClauseConverter.h"
#include "ImeWindowTestSupport.h"
#include "X11Input.h"

#include <QApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

using namespace qb;
using namespace qbtest;

namespace {

class ImeX11 : public ::testing::Test {
protected:
    QWidget top;
    QPlainTextEdit* edit = new QPlainTextEdit(&top);
    PaneHost host;
    std::unique_ptr<TImeController> ime;

    void SetUp() override {
        if (QGuiApplication::platformName() != "xcb") GTEST_SKIP() << "needs an X server (xcb)";
        auto* layout = new QVBoxLayout(&top);
        layout->addWidget(edit);
        edit->setAttribute(Qt::WA_InputMethodEnabled, false);
        host.edit = edit;
        AddCode(host.schemes[0], "zhong", "中;钟");
        AddCode(host.schemes[0], "zhongguo", "中国");
        AddCode(host.schemes[1], "vs", "中");
        AddCode(host.schemes[1], "vsgo", "中国");
        ime = std::make_unique<TImeController>(host);
        edit->installEventFilter(ime.get());
        top.setGeometry(100, 100, 400, 300);
        top.show();
        top.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&top, 15000));
        edit->setFocus();
        QTest::qWait(50);
    }
    void TearDown() override {
        if (ime) edit->removeEventFilter(ime.get());
    }
};

} // namespace

TEST_F(ImeX11, PopupsShownWhileComposingDoNotTakeTheFocus) {
    QTest::keyClick(edit, Qt::Key_Z);
    // Mapped and exposed by the X server: any activation asked for at the show is on its way.
    ASSERT_TRUE(QTest::qWaitForWindowExposed(ime->frmBianma(), 15000));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(ime->frmCandidates(), 15000));
    QTest::qWait(50);
    EXPECT_EQ(QApplication::activeWindow(), &top);
    EXPECT_EQ(QApplication::focusWidget(), edit);
    EXPECT_FALSE(ime->frmBianma()->isActiveWindow());
    EXPECT_FALSE(ime->frmCandidates()->isActiveWindow());
}

TEST_F(ImeX11, ClickingThePopupsDoesNotTakeTheFocus) {
    // Without a window manager a window is only activated when Qt asks for it, as it does for
    // a click on a window that accepts the focus: click both pop-ups with real X mouse events.
    if (!HaveXdotool()) GTEST_SKIP() << "no xdotool";
    QTest::keyClick(edit, Qt::Key_Z);
    ime->frmBianma()->move(600, 600);
    ime->frmCandidates()->move(720, 600);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(ime->frmBianma(), 15000));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(ime->frmCandidates(), 15000));
    for (QWidget* popup : std::initializer_list<QWidget*>{ime->frmBianma(), ime->frmCandidates()}) {
        // A click that missed the pop-up (not moved there yet) fails here instead of passing.
        ASSERT_TRUE(ClickAndSettle(popup, popup->geometry().center()));
        EXPECT_EQ(QApplication::activeWindow(), &top);
        EXPECT_EQ(QApplication::focusWidget(), edit);
    }
    EXPECT_EQ(ime->frmBianma()->Code(), "z");
    EXPECT_TRUE(ime->frmCandidates()->isVisible());
    ASSERT_TRUE(Xdo({"type", "--delay", "30", "hong"})); // keys still reach the pane
    EXPECT_EQ(ime->frmBianma()->Code(), "zhong");
}

// The other way round: the same click and wait on a window that does accept the focus see it
// move there, so the cases above cannot pass because the wait ended too early.
TEST_F(ImeX11, ClickMovesTheFocusToAWindowThatAcceptsIt) {
    if (!HaveXdotool()) GTEST_SKIP() << "no xdotool";
    QWidget other(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    other.setAttribute(Qt::WA_ShowWithoutActivating);
    other.setGeometry(600, 600, 120, 60);
    other.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&other, 15000));
    ASSERT_EQ(QApplication::activeWindow(), &top);
    ASSERT_TRUE(ClickAndSettle(&other, other.geometry().center()));
    EXPECT_EQ(QApplication::activeWindow(), &other);
}

TEST_F(ImeX11, RealKeyEventsZhongguoAndPunctuation) {
    if (!HaveXdotool()) GTEST_SKIP() << "no xdotool";
    ASSERT_TRUE(Xdo({"type", "--delay", "30", "zhongguo"}));
    EXPECT_EQ(host.Text(), G("中国"));
    EXPECT_FALSE(ime->frmBianma()->isVisible());
    EXPECT_EQ(QApplication::focusWidget(), edit);
    ASSERT_TRUE(Xdo({"key", "--delay", "30", "comma", "period", "shift+apostrophe",
                     "shift+apostrophe", "shift+1", "shift+semicolon"}));
    EXPECT_EQ(host.Text(), G("中国，。“”！："));
    ASSERT_TRUE(Xdo({"key", "--delay", "30", "KP_1"}));
    EXPECT_EQ(host.Text(), G("中国，。“”！：1"));
}

// The generated tables ($QB_TABLE_DIR, the program's folder, build/bin), when the data is built.
std::string RealTableDir() {
    std::vector<std::string> dirs;
    if (const char* env = std::getenv("QB_TABLE_DIR")) dirs.push_back(env);
    dirs.push_back(QB_BIN_DIR);
    dirs.push_back(std::string(QB_SOURCE_DIR) + "/build/bin");
    for (const std::string& d : dirs) {
        bool all = true;
        for (const auto& s : Schemes())
            for (const char* ext : {".achr", ".mpy", ".py", ".mchar"})
                all = all && QFileInfo::exists(QString::fromStdString(d + "/" + s.stem + ext));
        if (all && QFileInfo(QString::fromStdString(d + "/quanpinIme.mchar")).size() > 100000)
            return d + "/";
    }
    return {};
}

TEST_F(ImeX11, RealTablesZhongguoVsgoAndPunctuation) {
    if (!HaveXdotool()) GTEST_SKIP() << "no xdotool";
    const std::string dir = RealTableDir();
    if (dir.empty()) GTEST_SKIP() << "the generated tables are not in the program's folder";
    for (int id : kLoadOrder) {
        SchemeTables& t = host.schemes[static_cast<std::size_t>(id - 1)];
        t.Clear();
        LoadScheme(t, dir, Schemes()[static_cast<std::size_t>(id - 1)].stem, true);
    }
    // All four on: the first candidate of zhongguo is 中国 (a lone one commits by itself).
    ASSERT_TRUE(Xdo({"type", "--delay", "30", "zhongguo"}));
    if (ime->frmCandidates()->isVisible()) {
        EXPECT_EQ(ime->frmCandidates()->RowText(0), "1:" + G("中国"));
        ASSERT_TRUE(Xdo({"key", "space"}));
    }
    EXPECT_EQ(host.Text(), G("中国"));
    // Only 双拼, first in the order: vsgo.
    host.on = {false, true, false, false};
    host.order = {2, 1, 3, 4};
    ASSERT_TRUE(Xdo({"type", "--delay", "30", "vsgo"}));
    if (ime->frmCandidates()->isVisible()) {
        EXPECT_EQ(ime->frmCandidates()->RowText(0), "1:" + G("中国"));
        ASSERT_TRUE(Xdo({"key", "space"}));
    }
    EXPECT_EQ(host.Text(), G("中国中国"));
    ASSERT_TRUE(
        Xdo({"key", "--delay", "30", "comma", "period", "shift+apostrophe", "shift+apostrophe"}));
    EXPECT_EQ(host.Text(), G("中国中国，。“”"));
}

TEST_F(ImeX11, RealKeyEventsShuangpinFirst) {
    if (!HaveXdotool()) GTEST_SKIP() << "no xdotool";
    host.on = {false, true, false, false};
    host.order = {2, 1, 3, 4};
    ASSERT_TRUE(Xdo({"type", "--delay", "30", "vsgo"}));
    EXPECT_EQ(host.Text(), G("中国"));
}

namespace {

// The window's own list (not the tables' order) with the system's pinyin library, the generated
// tables and the picks credited, as the main window serves a typist with the default settings.
struct LearningHost : PaneHost {
    std::unique_ptr<ClauseConverter> converter = MakeClauseConverter({});
    mutable SchemeUsage usage;
    ClauseConverter* Converter() const override { return converter.get(); }
    bool ClassicOrder() const override { return false; }
    SchemeUsage* Usage() const override { return &usage; }
};

} // namespace

// A new user's "zdh" is 全拼's 自动化, not a double-pinyin reading; a 五笔 typist who has picked
// 中国 by its row three times gets it on row 1 for "khlg".
TEST(ImeX11Defaults, TheTypistsSchemeLeadsTheList) {
    if (QGuiApplication::platformName() != "xcb") GTEST_SKIP() << "needs an X server (xcb)";
    if (!HaveXdotool()) GTEST_SKIP() << "no xdotool";
    const std::string dir = RealTableDir();
    if (dir.empty()) GTEST_SKIP() << "the generated tables are not in the program's folder";
    QWidget top;
    auto* edit = new QPlainTextEdit(&top);
    (new QVBoxLayout(&top))->addWidget(edit);
    edit->setAttribute(Qt::WA_InputMethodEnabled, false);
    LearningHost host;
    if (!host.converter) GTEST_SKIP() << "no pinyin library data";
    host.edit = edit;
    for (int id : kLoadOrder)
        LoadScheme(host.schemes[std::size_t(id - 1)], dir, Schemes()[std::size_t(id - 1)].stem, true);
    TImeController ime(host);
    edit->installEventFilter(&ime);
    top.setGeometry(100, 100, 400, 300);
    top.show();
    top.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&top, 15000));
    edit->setFocus();

    ASSERT_TRUE(Xdo({"type", "--delay", "30", "zdh"}));
    ASSERT_TRUE(Xdo({"key", "space"}));
    EXPECT_EQ(host.Text(), G("自动化"));

    const std::string zhongguo = G("中国");
    for (int pick = 1; pick <= 3; ++pick) {
        ASSERT_TRUE(Xdo({"type", "--delay", "30", "khlg"}));
        ASSERT_TRUE(ime.frmCandidates()->isVisible());
        int row = -1;
        for (int i = 0; i < ime.frmCandidates()->RowCount(); ++i)
            if (ime.frmCandidates()->RowText(i).substr(2) == zhongguo) row = i;
        ASSERT_GE(row, 0) << "中国 is not on the first page at pick " << pick;
        ASSERT_TRUE(Xdo({"key", QString::number((row + 1) % 10)}));
    }
    EXPECT_EQ(host.usage.Leading(host.on, host.order),
              (std::array<bool, 4>{false, false, false, true}));
    ASSERT_TRUE(Xdo({"type", "--delay", "30", "khlg"}));
    ASSERT_TRUE(Xdo({"key", "space"}));
    EXPECT_EQ(host.Text(), G("自动化") + zhongguo + zhongguo + zhongguo + zhongguo);
    edit->removeEventFilter(&ime);
}
