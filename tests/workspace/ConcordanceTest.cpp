// The translation memory's own commands through the real main window, offscreen: the
// concordance window (Ctrl+T from the target pane, searching as typed, the hits marked, Enter
// inserting at the caret), and TMX import and export through the 文件 menu with scripted file
// dialogs.
#include "WorkspaceTestSupport.h"

#include "MemoryCommands.h"
#include "MemorySearchWindow.h"
#include "QtText.h"
#include "TmxFormat.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QTest>

#include <tuple>

namespace qb::test {
namespace {

using PairRow = std::tuple<std::string, std::string, std::int64_t, std::int64_t>;

std::vector<PairRow> PairsOf(const std::string& file) {
    tm::TTranslationMemory memory(file);
    std::vector<PairRow> rows;
    memory.ForEachPair(
        [&](const tm::Pair& p) { rows.emplace_back(p.source, p.target, p.created, p.changed); });
    return rows;
}

class Concordance : public TWindowTest, public testing::Test {
protected:
    void SetUp() override { keepMemory = true; }
    void Record(std::initializer_list<std::pair<const char*, const char*>> pairs) {
        tm::TTranslationMemory memory(folder.memory);
        std::int64_t when = 1700000000;
        for (const auto& [en, zh] : pairs) memory.Record(en, zh, ++when);
    }
    TfrmMemorySearch& OpenSearch() {
        window->TargetPane().Edit()->setFocus();
        QTest::keyClick(window->TargetPane().Edit(), Qt::Key_T, Qt::ControlModifier);
        TfrmMemorySearch* s = window->MemoryCommands().SearchWindow();
        EXPECT_TRUE(s && s->isVisible());
        return *s;
    }
    void Type(TfrmMemorySearch& s, const char* text) {
        s.edSearch->selectAll();
        s.edSearch->insert(U(text)); // as typed: QTest types ASCII only
        ASSERT_TRUE(QTest::qWaitFor([&] { return !s.Waiting(); }, 15000));
    }
    std::string Html(TfrmMemorySearch& s, int row) {
        return s.lbPairs->item(row)->data(TfrmMemorySearch::kHtmlRole).toString().toStdString();
    }
    // The import runs on a thread of its own; its message comes at its end.
    static void Import(TWindowTest& w, const std::string& path) {
        w.ui.openAnswers.push_back({QString::fromStdString(path)});
        w.window->findChild<QAction*>("mnuImportMemory")->trigger();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !w.window->MemoryCommands().Importing(); }, 20000));
    }
    void Import(const std::string& path) { Import(*this, path); }
};

TEST_F(Concordance, TypingFindsMarksTheHitsAndEnterInsertsAtTheCaret) {
    Make(true);
    Record({{"Take care of the cat.", "照顾好猫。"},
            {"Open the file.", "打开文件。"},
            {"Handle with care.", "小心轻放。"}});
    window->TargetPane().SetText(G("甲乙"));
    window->TargetPane().SetSelStart(2); // between 甲 and 乙
    TfrmMemorySearch& s = OpenSearch();
    Type(s, "care");
    ASSERT_EQ(s.lbPairs->count(), 2);
    // Newest first; the word marked where it stands, in its own case.
    EXPECT_NE(
        Html(s, 0).find("Handle with <b style=\"background-color:#ffe27a;color:#000000\">care</b>."),
        std::string::npos)
        << Html(s, 0);
    EXPECT_NE(Html(s, 1).find("Take <b style=\"background-color:#ffe27a;color:#000000\">care</b> of"),
              std::string::npos);
    EXPECT_EQ(s.lbStatus->text(), U("2 对"));
    // Down from the field picks the second row; Enter puts its translation at the caret and
    // gives the target pane the focus.
    QTest::keyClick(s.edSearch, Qt::Key_Down);
    QTest::keyClick(s.edSearch, Qt::Key_Return);
    EXPECT_EQ(window->TargetPane().Text(), G("甲照顾好猫。乙"));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return QApplication::focusWidget() == window->TargetPane().Edit(); }, 15000));
    EXPECT_TRUE(s.isVisible());
}

TEST_F(Concordance, ChineseWordsFindTheTranslationsAndNoGbkCharactersSurviveTheInsert) {
    Make(true);
    Record({{"Open the file.", "打开文件。"},
            {"The brand is shown.", "显示™文件标志。"},
            {"Close it.", "关闭。"}});
    TfrmMemorySearch& s = OpenSearch();
    Type(s, "文件");
    ASSERT_EQ(s.lbPairs->count(), 2);
    EXPECT_NE(Html(s, 0).find("显示™<b style=\"background-color:#ffe27a;color:#000000\">文件</b>标志。"),
              std::string::npos)
        << Html(s, 0);
    QTest::keyClick(s.edSearch, Qt::Key_Return);
    EXPECT_EQ(window->TargetPane().Edit()->toPlainText(), U("显示™文件标志。")); // not "显示?文件标志。"
    // Text that finds nothing says so; an emptied field empties the list.
    Type(s, "x");
    EXPECT_EQ(s.lbStatus->text(), U("没有找到。"));
    s.edSearch->clear();
    EXPECT_EQ(s.lbPairs->count(), 0);
}

TEST_F(Concordance, ExportedTmxImportsIntoAnEmptyMemoryWithTheSamePairs) {
    Make(false);
    Import(std::string(QB_TEST_DATA_DIR) + "/tm/sample.tmx");
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0], U("从") + QString::fromUtf8(QB_TEST_DATA_DIR) +
                                  U("/tm/sample.tmx导入了 2 对译文：新增 2 对，替换 0 对。\n"
                                    "跳过其他语言的 2 个译文（de-DE, fr-FR）。\n"
                                    "跳过 1 个缺少英文或中文的翻译单元。"));
    Record({{"Take care.", "小心。"}});
    // A name without an extension gets ".tmx".
    const std::string out = folder.data + "all";
    ui.saveAnswers.push_back(QString::fromStdString(out));
    window->findChild<QAction*>("mnuExportMemory")->trigger();
    ASSERT_EQ(ui.messages.size(), 2u);
    EXPECT_EQ(ui.messages[1], U("已把 3 对译文导出到") + QString::fromStdString(out) + U(".tmx。"));

    TWindowTest other;
    other.keepMemory = true;
    other.Make(false);
    Import(other, out + ".tmx");
    ASSERT_EQ(other.ui.messages.size(), 1u);
    EXPECT_NE(other.ui.messages[0].indexOf(U("新增 3 对")), -1) << other.ui.messages[0].toStdString();
    EXPECT_EQ(PairsOf(other.folder.memory), PairsOf(folder.memory));
}

TEST_F(Concordance, CtrlJDuringAnImportStillShowsMatches) {
    Make(true);
    Record({{"Take care of it.", "保重。"}});
    tm::TmxWriter writer;
    for (int i = 0; i < 40000; ++i)
        writer.Add({"Unit number " + std::to_string(i) + " of the import.", "导入", 0, 0});
    const QByteArray tmx = writer.Finish();
    const std::string file = folder.data + "big.tmx";
    WriteBytes(file, tmx.toStdString());
    ui.openAnswers.push_back({QString::fromStdString(file)});
    window->findChild<QAction*>("mnuImportMemory")->trigger();
    ASSERT_TRUE(window->MemoryCommands().Importing());
    window->SourcePane().SetText(G("Take care of it."));
    window->SourcePane().SetSelStart(0);
    window->SourcePane().Edit()->setFocus();
    QTest::keyClick(window->SourcePane().Edit(), Qt::Key_J, Qt::ControlModifier);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return window->findChild<QListWidget*>("lbMemory")->isVisible() &&
                   window->findChild<QListWidget*>("lbMemory")->isEnabled();
        },
        15000));
    EXPECT_TRUE(window->MemoryCommands().Importing()); // the matches came while it ran
    EXPECT_EQ(window->findChild<QListWidget*>("lbMemory")->item(0)->text(), U("[100%] 保重。"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window->MemoryCommands().Importing(); }, 60000));
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_NE(ui.messages[0].indexOf(U("新增 40000 对")), -1) << ui.messages[0].toStdString();
}

TEST_F(Concordance, ACancelledImportSaysSoAndKeepsWhatWasRecorded) {
    Make(false);
    Record({{"Take care.", "小心。"}});
    tm::TmxWriter writer;
    for (int i = 0; i < 40000; ++i)
        writer.Add({"Unit number " + std::to_string(i) + " of the import.", "导入", 0, 0});
    const std::string file = folder.data + "big.tmx";
    WriteBytes(file, writer.Finish().toStdString());
    ui.openAnswers.push_back({QString::fromStdString(file)});
    window->findChild<QAction*>("mnuImportMemory")->trigger();
    auto* progress = window->findChild<QProgressDialog*>();
    ASSERT_TRUE(progress && progress->isVisible());
    // 取消 while the file is still being read or its first units recorded.
    progress->findChild<QPushButton*>()->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window->MemoryCommands().Importing(); }, 60000));
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_TRUE(ui.messages[0].startsWith(U("导入已取消"))) << ui.messages[0].toStdString();
    EXPECT_LT(PairsOf(folder.memory).size(), 40001u);
}

TEST_F(Concordance, AFileThatBreaksOffHalfwayIsNotHalfImported) {
    Make(false);
    Record({{"Take care.", "小心。"}});
    const std::string bad = folder.data + "broken.tmx";
    WriteBytes(bad, "<?xml version=\"1.0\"?><tmx version=\"1.4\"><body>"
                    "<tu><tuv xml:lang=\"en\"><seg>Open it.</seg></tuv><tuv xml:lang=\"zh-CN\"><seg>打开。</seg></tuv></tu>"
                    "<tu><tuv xml:lang=\"en\"><seg>Cut</tuv>");
    Import(bad);
    ASSERT_EQ(ui.messages.size(), 1u);
    const QString m = ui.messages[0];
    EXPECT_TRUE(m.startsWith(U("无法导入") + QString::fromStdString(bad) + U("：\nTMX line 1")))
        << m.toStdString();
    EXPECT_TRUE(m.endsWith(U("译文记忆没有改动。"))) << m.toStdString();
    EXPECT_EQ(PairsOf(folder.memory).size(), 1u);
}

} // namespace
} // namespace qb::test
