// Whole-clause pinyin in the real window under Xvfb: real X key events (xdotool) on the program's
// shipped tables and lexicons, the system's pinyin library and language model. Skipped without
// an X server, without xdotool, or when the library's data is not installed (the set-up installs
// it, so CI runs it).
#include "WorkspaceTestSupport.h"

#include "CandidatsUnit.h"
#include "ClauseConverter.h"
#include "CompoUnit.h"
#include "X11Input.h"
#include "imeSetup.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>

namespace qb::test {
namespace {

const QString kBin = QStringLiteral(QB_BIN_DIR "/");

class ClauseX11 : public testing::Test {
protected:
    QTemporaryDir dir;
    TScriptedUi ui;
    std::unique_ptr<TfrmMainQB> window;

    void SetUp() override {
        if (!qbtest::HaveXdotool()) GTEST_SKIP() << "needs an X server (xcb) and xdotool";
        if (!MakeClauseConverter({})) GTEST_SKIP() << "the pinyin library's data is not installed";
        if (!QFile::exists(kBin + "BasicDict.qbs")) GTEST_SKIP() << "the data is not generated";
        // The shipped data by links; the user lexicon copied, so nothing in build/bin is written.
        const QString bin = dir.path() + "/bin/";
        QDir().mkpath(bin);
        for (const QString& name : QDir(kBin).entryList(QDir::Files)) {
            if (name == "mydict.txt")
                QFile::copy(kBin + name, bin + name);
            else
                QFile::link(kBin + name, bin + name);
        }
        // The computing lexicon in use, as a translator of software texts keeps it (it renders
        // "status code" 状态码; the basic lexicon does not know the phrase).
        QFile ini(dir.path() + "/qbridge10.ini");
        if (ini.open(QIODevice::WriteOnly))
            ini.write(("[inisetup]\nrcdicts1=" + kBin + "lexicons/computing.qbs\n").toUtf8());
        ini.close();
        TWorkspaceSetup setup;
        setup.programFolder = bin.toStdString();
        setup.settingsFile = dir.path() + "/qbridge10.ini";
        setup.ui = &ui;
        setup.rescueFolder = dir.path().toStdString() + "/rescue/";
        const std::string history = dir.path().toStdString() + "/pinyin-history";
        setup.makeConverter = [history] {
            ClauseConverterOptions options;
            options.historyPath = history;
            return MakeClauseConverter(options);
        };
        window = std::make_unique<TfrmMainQB>(setup);
        window->CreateOtherWindows();
        window->setGeometry(100, 100, 800, 600);
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get(), 15000));
        window->TargetPane().Edit()->setFocus();
        QTest::qWait(50);
    }
    void TearDown() override {
        if (window) window->FormDestroy();
    }

    bool Type(const char* keys) { return qbtest::Xdo({"type", "--delay", "15", keys}); }
    bool Key(const char* key) { return qbtest::Xdo({"key", key}); }

    TfrmBianma& Box() { return static_cast<TfrmBianma&>(*window->InputWindows().box); }
    TfrmCandidates& Cands() {
        return static_cast<TfrmCandidates&>(*window->InputWindows().candidates);
    }
    std::string Row(int i) { return i < Cands().RowCount() ? Cands().RowText(i) : std::string(); }
    // The digit that picks the row showing exactly `word` on the page, 0 when none does.
    int DigitOf(const std::string& word) {
        for (int i = 0; i < Cands().RowCount(); ++i)
            if (Cands().RowText(i).substr(2) == word) return (i + 1) % 10;
        return -1;
    }
    void UseFirst(int scheme) {
        qb::SchemeChoice schemes = window->SchemeSettings();
        schemes.order = {scheme, 0, 0, 0};
        int n = 1;
        for (int id = 1; id <= 4; ++id)
            if (id != scheme) schemes.order[std::size_t(n++)] = id;
        window->SetSchemeSettings(schemes);
    }
};

// 我们应该照顾孩子 typed as one clause in each pinyin scheme (the scheme first in the order):
// row 1 is the whole clause, it waits to be picked, Space puts it in.
TEST_F(ClauseX11, EachPinyinSchemeConvertsAWholeClause) {
    struct Case {
        int scheme;
        const char* code;
    };
    for (const Case& c : {Case{1, "womenyinggaizhaoguhaizi"}, Case{2, "womfy;glvkguhlzi"},
                          Case{3, "womfyyglvkguhlzi"}}) {
        SCOPED_TRACE(c.code);
        UseFirst(c.scheme);
        window->TargetPane().SetText("");
        ASSERT_TRUE(Type(c.code));
        ASSERT_TRUE(QTest::qWaitFor([&] { return Box().Code() == c.code; }, 15000));
        EXPECT_EQ(window->TargetPane().Text(), ""); // never committed by itself
        ASSERT_TRUE(Cands().isVisible());
        EXPECT_EQ(Row(0), "1:" + G("我们应该照顾孩子"));
        ASSERT_TRUE(Key("space"));
        EXPECT_EQ(window->TargetPane().Text(), G("我们应该照顾孩子"));
        EXPECT_FALSE(Box().isVisible());
    }
}

// Picking 状态 for "zhuangtaima" leaves "ma" in the box with its candidates; Backspace then
// works on the rest, Escape drops it and keeps 状态.
TEST_F(ClauseX11, PickingTheFirstWordsLeavesTheRest) {
    ASSERT_TRUE(Type("zhuangtaima"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return Box().Code() == "zhuangtaima"; }, 15000));
    const int digit = DigitOf(G("状态"));
    ASSERT_GE(digit, 0) << "状态 is not on page 1";
    ASSERT_TRUE(Key(std::to_string(digit).c_str()));
    EXPECT_EQ(window->TargetPane().Text(), G("状态"));
    EXPECT_TRUE(Box().isVisible());
    EXPECT_EQ(Box().Code(), "ma");
    EXPECT_TRUE(Cands().isVisible());
    EXPECT_GE(DigitOf(G("吗")), 0);
    ASSERT_TRUE(Key("BackSpace"));
    EXPECT_EQ(Box().Code(), "m");
    EXPECT_EQ(window->TargetPane().Text(), G("状态"));
    ASSERT_TRUE(Key("Escape"));
    EXPECT_FALSE(Box().isVisible());
    EXPECT_EQ(window->TargetPane().Text(), G("状态"));
}

// The sentence's renderings win: "status code" is rendered 状态码, so after Ctrl+J the clause
// "zhuangtaima" reads 状态码 on row 1 (a plain conversion says 状态吗); the next sentence
// takes that preference away again.
TEST_F(ClauseX11, TheSelectedSentencesRenderingsWin) {
    window->SourcePane().SetText("Print the status code and exit.\r\nIt is fine.");
    ASSERT_TRUE(Key("ctrl+j"));
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return !window->SentenceLists().SentencePhrases.empty(); }, 15000));
    ASSERT_EQ(QApplication::focusWidget(), window->TargetPane().Edit());
    ASSERT_TRUE(Type("zhuangtaima"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return Box().Code() == "zhuangtaima"; }, 15000));
    EXPECT_EQ(Row(0), "1:" + G("状态码"));
    ASSERT_TRUE(Key("space"));
    EXPECT_EQ(window->TargetPane().Text(), G("状态码"));
    ASSERT_TRUE(Key("ctrl+j")); // "It is fine.": 状态码 is no longer preferred
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->SourcePane().SelText() == "It is fine."; }, 15000));
    ASSERT_TRUE(Type("zhuangtaima"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return Box().Code() == "zhuangtaima"; }, 15000));
    EXPECT_NE(Row(0), "1:" + G("状态码"));
    ASSERT_TRUE(Key("Escape"));
}

// Alt with a letter joins the code although the letter is a menu mnemonic (帮助(&H), 编辑(&E)),
// and so does Ctrl+Shift with a letter.
TEST_F(ClauseX11, AltLetterJoinsTheCodeNotTheMenu) {
    ASSERT_TRUE(Type("zhong"));
    ASSERT_TRUE(Key("alt+h"));
    EXPECT_EQ(Box().Code(), "zhongh");
    ASSERT_TRUE(Key("ctrl+shift+u"));
    EXPECT_EQ(Box().Code(), "zhonghu");
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
    EXPECT_EQ(QApplication::focusWidget(), window->TargetPane().Edit());
    ASSERT_TRUE(Key("Escape"));
    ASSERT_TRUE(Type("ni"));
    ASSERT_TRUE(Key("alt+e"));
    EXPECT_EQ(Box().Code(), "nie");
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
    ASSERT_TRUE(Key("Escape"));
}

// The default list in the real window: initials read as the library reads them, a sentence's
// sense typed by its full pinyin, and the sense that follows the pick offered before any letter.
TEST_F(ClauseX11, InitialsSensesAndPredictionWithTheDefaultSchemes) {
    ASSERT_TRUE(Type("jx"));
    ASSERT_TRUE(Key("space"));
    EXPECT_EQ(window->TargetPane().Text(), G("进行"));
    window->TargetPane().SetText("");
    window->SourcePane().SetText("Write it to the frame buffer.\r\nPrint the status code.");
    ASSERT_TRUE(Key("ctrl+j"));
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return !window->SentenceLists().SentencePhrases.empty(); }, 15000));
    ASSERT_TRUE(Type("zhenhuancunqi"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return Box().Code() == "zhenhuancunqi"; }, 15000));
    EXPECT_EQ(Row(0), "1:" + G("帧缓存器"));
    ASSERT_TRUE(Key("Escape"));
    ASSERT_TRUE(Key("ctrl+j"));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return window->SourcePane().SelText() == "Print the status code."; }, 15000));
    ASSERT_TRUE(Type("dayin"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return Box().Code() == "dayin"; }, 15000));
    ASSERT_TRUE(Key("space"));
    EXPECT_TRUE(window->TargetPane().Text().find(G("打印")) != std::string::npos);
    EXPECT_TRUE(Cands().isVisible());
    EXPECT_EQ(Row(0), "1:" + G("状态码"));
    ASSERT_TRUE(Key("space"));
    EXPECT_TRUE(window->TargetPane().Text().find(G("打印状态码")) != std::string::npos);
    ASSERT_TRUE(Key("Escape"));
}

} // namespace
} // namespace qb::test
