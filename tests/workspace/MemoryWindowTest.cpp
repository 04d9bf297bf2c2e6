// The translation memory in the real window offscreen: which text becomes the translation of
// which sentence, the match list and its insertion by click and Ctrl+1 .. Ctrl+5.
#include "WorkspaceTestSupport.h"

#include "FakeConverter.h"
#include "GbkText.h"
#include "MemoryJournal.h"
#include "QtText.h"
#include "TranslationMemory.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTest>
#include <QTextCursor>

#include <functional>
#include <map>

namespace qb::test {
namespace {

using Pairs = std::map<std::string, std::string>;

class MemoryWindow : public TWindowTest, public testing::Test {
protected:
    void SetUp() override { keepMemory = true; } // each test makes its window

public: // for the cases' steps
    // A fresh window with `source` in the source pane, the caret at its start, keys to it.
    void Begin(const char* source) {
        Make();
        window->SourcePane().SetText(source);
        window->SourcePane().SetSelStart(0);
        window->SourcePane().Edit()->setFocus();
    }
    void CtrlJ() { QTest::keyClick(QApplication::focusWidget(), Qt::Key_J, Qt::ControlModifier); }
    void CtrlK() { QTest::keyClick(QApplication::focusWidget(), Qt::Key_K, Qt::ControlModifier); }
    // As the input method puts a pick in: the selection replaced at the caret.
    void Type(const char* utf8) { window->TargetPane().SetSelText(G(utf8)); }
    void Caret(int position, int anchor = -1) {
        QTextCursor c = window->TargetPane().Edit()->textCursor();
        c.setPosition(anchor < 0 ? position : anchor);
        if (anchor >= 0) c.setPosition(position, QTextCursor::KeepAnchor);
        window->TargetPane().Edit()->setTextCursor(c);
    }
    int End() const { return int(window->TargetPane().Edit()->toPlainText().size()); }
    // Every pair in the memory file once the window has shut down.
    Pairs Recorded() {
        window->FormDestroy();
        Pairs out;
        tm::TTranslationMemory memory(folder.memory);
        memory.ForEachPair([&](const tm::Pair& p) { out[p.source] = p.target; });
        return out;
    }
    QStringList MatchLines() const {
        QStringList out;
        for (int i = 0; i < window->findChild<QListWidget*>("lbMemory")->count(); ++i)
            out << window->findChild<QListWidget*>("lbMemory")->item(i)->text();
        return out;
    }
    bool WaitForMatches() {
        return QTest::qWaitFor(
            [&] {
                return window->findChild<QListWidget*>("lbMemory")->isVisible() &&
                       window->findChild<QListWidget*>("lbMemory")->isEnabled();
            },
            15000);
    }
};

struct RecordingCase {
    const char* name;
    // From a fresh window with "One. Two. Three." in the source pane, the caret at its start.
    std::function<void(MemoryWindow&)> steps;
    Pairs expected;
};

TEST_F(MemoryWindow, WhatIsTypedForASentenceBecomesItsTranslationAndNothingElse) {
    // clang-format off
    const std::vector<RecordingCase> cases = {
        {"typed at the end, Ctrl+J after each; white space trimmed; nothing typed for the last",
         [](MemoryWindow& t) {
             t.CtrlJ(); t.Type("一。 ");
             t.CtrlJ(); t.Type("\r\n二。");
             t.CtrlJ();
         },
         {{"One.", "一。"}, {"Two.", "二。"}}},
        {"a word mended inside the span: the whole span, wherever the caret stands",
         [](MemoryWindow& t) {
             t.CtrlJ(); t.Type("甲乙丙");
             t.Caret(1); t.Type("丁");
             t.CtrlJ();
         },
         {{"One.", "甲丁乙丙"}}},
        {"the caret back in the previous translation, mending it: that sentence's new text",
         [](MemoryWindow& t) {
             t.CtrlJ(); t.Type("一");
             t.CtrlJ(); t.Type("二");
             t.Caret(0); t.Type("改");
             t.CtrlJ();
         },
         {{"One.", "改一"}, {"Two.", "二"}}},
        {"nothing typed yet for the next sentence: a mend before its place is not its text",
         [](MemoryWindow& t) {
             t.CtrlJ(); t.Type("一二");
             t.CtrlJ();
             t.Caret(1); t.Type("改");
             t.Caret(t.End()); t.Type("三");
             t.CtrlJ();
         },
         {{"One.", "一改二"}, {"Two.", "三"}}},
        {"text put in after the span on older text is not taken",
         [](MemoryWindow& t) {
             t.window->TargetPane().SetText(G("旧文"));
             t.Caret(0);
             t.CtrlJ(); t.Type("一");
             t.Caret(t.End()); t.Type("尾");
             t.CtrlJ();
         },
         {{"One.", "一"}}},
        {"a deletion from before reaching into the span takes only what it deletes",
         [](MemoryWindow& t) {
             t.CtrlJ(); t.Type("一");
             t.CtrlJ(); t.Type("二三");
             t.Caret(2, 0); t.Type("");
             t.CtrlJ();
         },
         {{"One.", "一"}, {"Two.", "三"}}},
        {"typing starts elsewhere than the caret stood: the old text before it is not taken",
         [](MemoryWindow& t) {
             t.window->TargetPane().SetText(G("旧文"));
             t.Caret(0);
             t.CtrlJ();
             t.Caret(t.End()); t.Type("一");
             t.CtrlJ();
         },
         {{"One.", "一"}}},
        {"a span typed and deleted again, then the caret moved on: nothing",
         [](MemoryWindow& t) {
             t.CtrlJ(); t.Type("一");
             t.Caret(0, 1); t.Type("");
             t.Type("  ");
             t.CtrlJ(); t.CtrlJ();
         },
         {}},
        {"Ctrl+K grows the sentence in hand: what was typed belongs to the grown one",
         [](MemoryWindow& t) {
             t.window->SourcePane().SetText("Dr. Li came. Next.");
             t.window->SourcePane().SetSelStart(0);
             t.CtrlJ(); t.Type("李");
             t.CtrlK(); t.Type("医生来了。");
             t.CtrlJ();
         },
         {{"Dr. Li came.", "李医生来了。"}}},
        {"the panes cleared: the sentence in hand keeps its text, the next job starts afresh",
         [](MemoryWindow& t) {
             t.CtrlJ(); t.Type("一");
             t.ui.yesNoAnswers = {true};
             t.window->findChild<QAction*>("mnuClearPanes")->trigger();
             t.window->SourcePane().SetText("Four.");
             t.window->SourcePane().SetSelStart(0);
             t.Type("x");
             t.CtrlJ(); t.Type("四");
             // Shutdown records the last pair like a next sentence would.
         },
         {{"One.", "一"}, {"Four.", "四"}}},
    };
    // clang-format on
    for (const RecordingCase& c : cases) {
        SCOPED_TRACE(c.name);
        if (window) window->FormDestroy();
        window.reset();
        QFile::remove(QString::fromStdString(folder.memory));
        Begin("One. Two. Three.");
        c.steps(*this);
        Pairs expected;
        for (const auto& [s, t] : c.expected) expected[s] = GbkToUtf8(G(t.c_str()));
        EXPECT_EQ(Recorded(), expected);
    }
}

TEST_F(MemoryWindow, MatchesShowBestFirstAndAClickOrCtrlDigitInsertsOne) {
    {
        tm::TTranslationMemory memory(folder.memory);
        memory.Record("The cat sat on the mat.", "猫坐在垫子上。");
        memory.Record("The dog sat on the mat.", "狗坐在垫子上。");
        memory.Record("A bird flew over the house.", "鸟飞过房子。");
    }
    Make();
    window->SourcePane().SetText("The dog sat on the mat. The cow sat on the mat. Nothing alike here.");
    window->SourcePane().SetSelStart(0);
    window->TargetPane().SetText(G("甲乙"));
    window->SourcePane().Edit()->setFocus();
    CtrlJ();
    ASSERT_TRUE(WaitForMatches());
    EXPECT_EQ(MatchLines(), (QStringList{U("[100%] 狗坐在垫子上。"), U("[85%] 猫坐在垫子上。")}));
    EXPECT_TRUE(window->findChild<QListWidget*>("lbMemory")->item(1)->toolTip().contains(U("The <s>cat</s> <u>dog</u> sat")))
        << window->findChild<QListWidget*>("lbMemory")->item(1)->toolTip().toStdString();

    Caret(1);
    QListWidget* lb = window->findChild<QListWidget*>("lbMemory");
    QTest::mouseClick(lb->viewport(), Qt::LeftButton, {}, lb->visualItemRect(lb->item(1)).center());
    EXPECT_EQ(window->TargetPane().Edit()->toPlainText(), U("甲猫坐在垫子上。乙"));
    QTest::keyClick(window->TargetPane().Edit(), Qt::Key_1, Qt::ControlModifier);
    EXPECT_EQ(window->TargetPane().Edit()->toPlainText(), U("甲猫坐在垫子上。狗坐在垫子上。乙"));
    QTest::keyClick(window->TargetPane().Edit(), Qt::Key_5, Qt::ControlModifier); // no fifth match: nothing
    EXPECT_EQ(window->TargetPane().Edit()->toPlainText(), U("甲猫坐在垫子上。狗坐在垫子上。乙"));

    // "The cow sat on the mat.": both at 85%, the newer first; the dog sentence took what was
    // inserted for it as its new translation before this lookup ran.
    CtrlJ();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return window->findChild<QListWidget*>("lbMemory")->isEnabled(); }, 15000));
    EXPECT_EQ(MatchLines(),
              (QStringList{U("[85%] 猫坐在垫子上。狗坐在垫子上。"), U("[85%] 猫坐在垫子上。")}));
    QTest::keyClick(window->TargetPane().Edit(), Qt::Key_2, Qt::ControlModifier);
    EXPECT_EQ(window->TargetPane().Edit()->toPlainText(),
              U("甲猫坐在垫子上。狗坐在垫子上。猫坐在垫子上。乙"));

    CtrlJ(); // no match: the list hides, and Ctrl+1 inserts nothing
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return window->findChild<QListWidget*>("lbMemory")->isHidden(); }, 15000));
    const QString before = window->TargetPane().Edit()->toPlainText();
    QTest::keyClick(window->TargetPane().Edit(), Qt::Key_1, Qt::ControlModifier);
    EXPECT_EQ(window->TargetPane().Edit()->toPlainText(), before);
    EXPECT_EQ(Recorded().at("The cow sat on the mat."), "猫坐在垫子上。");
}

// The best match's words are the sentence's once the memory answers (a converter that knows no
// words keeps a run whole), and go when the next sentence has no match.
TEST_F(MemoryWindow, TheBestMatchsWordsBelongToItsSentence) {
    {
        tm::TTranslationMemory memory(folder.memory);
        memory.Record("Cannot read the file.", "无法读取文件。");
    }
    makeConverter = [] {
        return std::unique_ptr<ClauseConverter>(std::make_unique<qbtest::FakeConverter>());
    };
    Begin("Cannot read the file. Nothing alike here at all.");
    CtrlJ();
    ASSERT_TRUE(WaitForMatches());
    EXPECT_EQ(window->SentenceLists().SentenceMatchWords, StringList{"\t" + G("无法读取文件")});
    CtrlJ();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return window->findChild<QListWidget*>("lbMemory")->isHidden(); }, 15000));
    EXPECT_TRUE(window->SentenceLists().SentenceMatchWords.empty());
}

TEST_F(MemoryWindow, AMemoryFileThatCannotBeOpenedIsReportedOnceAndTheWindowWorksOn) {
    QDir().mkpath(QString::fromStdString(folder.data));
    WriteBytes(folder.memory, "not a database, but a file of someone else's that must stay\n");
    Begin("Take care of it. Take care.");
    CtrlJ();
    Type("保重");
    CtrlJ();
    ASSERT_TRUE(QTest::qWaitFor([&] { return ui.messages.size() == 2; }, 15000));
    EXPECT_GT(window->findChild<QListWidget*>("lbLongPhrase")->count(), 0); // the phrases are there as ever
    CtrlJ();
    window->FormDestroy();
    // Once that it cannot be used, once where the typed pair waits (in either order: the
    // first look-up may be overtaken by the second sentence).
    ASSERT_EQ(ui.messages.size(), 2u);
    const std::string journal = folder.data + "translation-memory-unwritten.txt";
    const std::string both = Messages()[0] + Messages()[1];
    EXPECT_NE(Messages()[0].find("not a database"), std::string::npos) << both;
    EXPECT_NE(Messages()[1].find("not a database"), std::string::npos) << both;
    EXPECT_NE(both.find(journal), std::string::npos) << both;
    EXPECT_EQ(tm::ReadJournalFile(journal).size(), 1u);
    EXPECT_TRUE(window->findChild<QListWidget*>("lbMemory")->isHidden());
    EXPECT_EQ(ReadBytes(folder.memory),
              "not a database, but a file of someone else's that must stay\n");
}

TEST_F(MemoryWindow, PairsTheFileRefusedAreWrittenOnceItCanBeUsedAgain) {
    QDir().mkpath(QString::fromStdString(folder.data));
    WriteBytes(folder.memory, "held by someone else for a while\n");
    Begin("One. Two. Three.");
    CtrlJ();
    Type("一");
    CtrlJ();
    Type("二");
    CtrlJ();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !ui.messages.empty(); }, 15000));
    ASSERT_TRUE(QFile::remove(QString::fromStdString(folder.memory)));
    Type("三");
    CtrlJ();
    const Pairs expected = {
        {"One.", GbkToUtf8(G("一"))}, {"Two.", GbkToUtf8(G("二"))}, {"Three.", GbkToUtf8(G("三"))}};
    EXPECT_EQ(Recorded(), expected);
    EXPECT_FALSE(
        QFile::exists(QString::fromStdString(folder.data + "translation-memory-unwritten.txt")));
}

// A memory file that takes no pair (a full disk, say) still answers look-ups; the refused pair
// is on disk at once, owner-only, and goes into the file at the next start that can write it.
TEST_F(MemoryWindow, RefusedPairsWaitInAJournalWhileMatchesGoOnAndAreWrittenAtTheNextStart) {
    QDir().mkpath(QString::fromStdString(folder.data));
    auto exec = [&](const char* sql) {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(folder.memory.c_str(), &db), SQLITE_OK);
        EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sql;
        sqlite3_close(db);
    };
    tm::TTranslationMemory(folder.memory).Record("Take care of it.", GbkToUtf8(G("保重")), 1);
    exec("CREATE TRIGGER refuse BEFORE INSERT ON pairs BEGIN SELECT RAISE(FAIL, 'database or disk is full'); END;"
         "CREATE TRIGGER refuse2 BEFORE UPDATE ON pairs BEGIN SELECT RAISE(FAIL, 'database or disk is full'); END;");
    Begin("Take care of it. Take care of it.");
    CtrlJ();
    ASSERT_TRUE(WaitForMatches());
    Type("小心");
    CtrlJ(); // the pair is refused; the second sentence's matches still come
    ASSERT_TRUE(QTest::qWaitFor([&] { return !ui.messages.empty(); }, 15000));
    ASSERT_TRUE(WaitForMatches());
    EXPECT_EQ(MatchLines(), QStringList{U("[100%] 保重")});
    const std::string journal = folder.data + "translation-memory-unwritten.txt";
    EXPECT_NE(Messages()[0].find(journal), std::string::npos) << Messages()[0];
    EXPECT_NE(Messages()[0].find("disk is full"), std::string::npos) << Messages()[0];
    EXPECT_EQ(QFile::permissions(QString::fromStdString(journal)),
              QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
    window->FormDestroy(); // still refused at shutdown: the journal stays
    const std::vector<tm::KeptPair> kept = tm::ReadJournalFile(journal);
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(kept[0].source + " " + kept[0].target, "Take care of it. " + GbkToUtf8(G("小心")));
    EXPECT_EQ(ui.messages.size(), 1u);

    exec("DROP TRIGGER refuse; DROP TRIGGER refuse2;");
    window.reset();
    Make(); // the next start
    ASSERT_TRUE(QTest::qWaitFor([&] { return !QFile::exists(QString::fromStdString(journal)); }, 15000));
    EXPECT_EQ(Recorded().at("Take care of it."), GbkToUtf8(G("小心")));
}

} // namespace
} // namespace qb::test
