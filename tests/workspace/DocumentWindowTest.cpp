// Documents in the window offscreen: what opening shows and refuses, the read-only source pane,
// exporting over the opened file, the statistics and the fill from the memory.
#include "WorkspaceTestSupport.h"

#include "DocumentMenu.h"
#include "QtText.h"
#include "TranslationMemory.h"

#include <gtest/gtest.h>

#include "SegmentList.h"

#include <QFileInfo>
#include <QLabel>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QTableView>
#include <QTest>
#include <QTextCursor>

#include <cstdlib>

namespace qb::test {
namespace {

class DocumentWindow : public TWindowTest, public testing::Test {
protected:
    void SetUp() override {
        keepMemory = true;
        Make();
    }
    std::string Fixture(const char* name) const {
        return std::string(QB_TEST_DATA_DIR) + "/documents/" + name;
    }
};

TEST_F(DocumentWindow, OpeningShowsTheUnitsReadOnlyAndAnyOtherTextEndsTheDocument) {
    window->TargetPane().Edit()->setPlainText(U("旧译文"));
    ui.yesNoAnswers.push_back(true); // the target pane holds text: asked first
    ASSERT_TRUE(window->Documents().Open(Fixture("three.po")));
    EXPECT_EQ(ui.questions.size(), 1u);
    EXPECT_EQ(window->SourcePane().Edit()->toPlainText(),
              U("Open the file menu.\n\nSaved {1} files.\n\nClose the window."));
    // One paragraph a unit, lined up with the source's: the file's own msgstr in its unit's.
    EXPECT_EQ(window->TargetPane().Edit()->toPlainText(), U("\n\nold guess\n\n"));
    EXPECT_TRUE(window->SourcePane().Edit()->isReadOnly());
    EXPECT_EQ(window->windowTitle(), U("文渡翻译环境 - three.po"));
    // 清空原文和译文 replaces the units: the document is closed with them.
    ui.yesNoAnswers.push_back(true);
    window->findChild<QAction*>("mnuClearPanes")->trigger();
    EXPECT_FALSE(window->Documents().IsOpen());
    EXPECT_FALSE(window->SourcePane().Edit()->isReadOnly());
    EXPECT_EQ(window->windowTitle(), U("文渡翻译环境"));
}

// With a document open Ctrl+J takes a unit whole, two sentences and all, and stays on the last
// one; Ctrl+K still takes a long unit sentence by sentence.
TEST_F(DocumentWindow, CtrlJStepsUnitByUnit) {
    const std::string path = folder.Path("two.po");
    WriteBytes(path, "msgid \"Saved. Close the window.\"\nmsgstr \"\"\n\n"
                     "msgid \"Open it.\"\nmsgstr \"\"\n");
    ASSERT_TRUE(window->Documents().Open(path));
    QAction* next = window->findChild<QAction*>("DoGetASent");
    ASSERT_TRUE(next);
    for (const char* unit : {"Saved. Close the window.", "Open it.", "Open it."}) {
        next->trigger();
        EXPECT_EQ(window->SourcePane().SelUnicode(), U(unit));
    }
    window->SourcePane().Select(0, 0);
    window->findChild<QAction*>("DoExpand")->trigger();
    EXPECT_EQ(window->SourcePane().SelUnicode().trimmed(), U("Saved."));
}

// The target pane's paragraph k is unit k's translation: typed there after a click in the
// segment list or Ctrl+Up, counted in the status bar, kept when Enter would break the line-up,
// and exported before the memory's.
TEST_F(DocumentWindow, EachParagraphIsItsUnitsTranslation) {
    ASSERT_TRUE(window->Documents().Open(Fixture("three.po")));
    {
        tm::TTranslationMemory memory(folder.memory);
        memory.Record("Close the window.", "关上窗口。");
    }
    auto* list = window->findChild<TSegmentList*>("segmentList");
    auto* table = window->findChild<QTableView*>("segmentTable");
    auto* progress = window->findChild<QLabel*>("segmentProgress");
    ASSERT_TRUE(list && table && progress);
    EXPECT_EQ(progress->text(), U("0/3 段 · 0/9 词"));
    EXPECT_EQ(window->Documents().Segments().StatusLetters(), U("ufu")) << "the file's fuzzy flag";
    // A click on the third row: its unit in the source pane, the caret in its paragraph.
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {},
                      table->visualRect(table->model()->index(2, 1)).center());
    EXPECT_EQ(window->SourcePane().SelUnicode(), U("Close the window."));
    window->TargetPane().SetSelUnicode(U("关闭窗口。"));
    window->findChild<QAction*>("actPreviousSegment")->trigger();
    EXPECT_EQ(window->SourcePane().SelUnicode(), U("Saved {1} files."));
    // The file's own msgstr is the fuzzy unit's translation; the translator replaces it.
    QPlainTextEdit* target = window->TargetPane().Edit();
    EXPECT_EQ(target->toPlainText(), U("\n\nold guess\n\n关闭窗口。"));
    QTextCursor paragraph = target->textCursor();
    paragraph.movePosition(QTextCursor::StartOfBlock, QTextCursor::KeepAnchor);
    target->setTextCursor(paragraph);
    window->TargetPane().SetSelUnicode(U("已保存 {1} 个文件。"));
    EXPECT_EQ(window->TargetPane().Edit()->toPlainText(), U("\n\n已保存 {1} 个文件。\n\n关闭窗口。"));
    EXPECT_EQ(window->Documents().Segments().StatusLetters(), U("utt"));
    EXPECT_EQ(progress->text(), U("2/3 段 · 5/9 词"));
    list->SetFilter(QStringLiteral("uf"));
    EXPECT_EQ(list->ShownUnits(), std::vector<std::size_t>{0});
    window->findChild<QAction*>("actPreviousSegment")->trigger();
    EXPECT_EQ(window->SourcePane().SelUnicode(), U("Open the file menu.")) << "the unit shown";
    list->SetFilter(QString());
    // Enter inside a paragraph would shift every unit after it: taken back.
    window->findChild<QAction*>("actNextSegment")->trigger();
    window->TargetPane().SetSelUnicode(U("\n"));
    QTest::qWait(50);
    EXPECT_EQ(window->TargetPane().Edit()->toPlainText(), U("\n\n已保存 {1} 个文件。\n\n关闭窗口。"));
    EXPECT_TRUE(window->statusBar()->currentMessage().contains(U("没有生效")));
    const std::string out = folder.Path("three.zh.po");
    ASSERT_TRUE(window->Documents().ExportTo(out));
    const std::string po = ReadBytes(out);
    EXPECT_NE(po.find("msgstr \"已保存 %d 个文件。\""), std::string::npos) << po;
    EXPECT_NE(po.find("msgstr \"关闭窗口。\""), std::string::npos) << "the segment's, not the memory's";
}

TEST_F(DocumentWindow, BadInputIsSaidAndChangesNothing) {
    window->SourcePane().Edit()->setPlainText(U("My own text."));
    const struct {
        const char* file;
        const char* says;
    } cases[] = {
        {"broken.po", "broken.po：第 1 行：字符串缺少结尾的引号"},
        {"notzip.docx", "notzip.docx：不是 Word 文档（.docx）：文件不是 zip 包"},
        {"three.tmx", "three.tmx：不认识的文档格式"},
        {"missing.md", "missing.md：Cannot open file"},
    };
    for (const auto& c : cases) {
        ui.messages.clear();
        EXPECT_FALSE(window->Documents().Open(Fixture(c.file)));
        ASSERT_EQ(Messages().size(), 1u) << c.file;
        EXPECT_NE(Messages()[0].find(std::string("无法打开文档 ") + QB_TEST_DATA_DIR),
                  std::string::npos);
        EXPECT_NE(Messages()[0].find(c.says), std::string::npos) << Messages()[0];
        EXPECT_EQ(window->SourcePane().Edit()->toPlainText(), U("My own text."));
        EXPECT_FALSE(window->Documents().IsOpen());
    }
}

// A big document's text is laid out off the window's thread and put into the pane as a new
// document: the pane shows it with its font, and the GBK view of the pane follows the new
// document (two texts of one length in turn: a view still watching the first would give it
// again).
TEST_F(DocumentWindow, ABigDocumentLaidOutAsideIsThePanesText) {
    const QFont font = window->SourcePane().Edit()->document()->defaultFont();
    auto big = [](char letter) {
        std::string text;
        while (text.size() < (std::size_t(3) << 19))
            text += std::string("Word ") + letter + " here.\n\n";
        return text;
    };
    for (char letter : {'a', 'b'}) {
        const std::string path = folder.Path((std::string("big-") + letter + ".txt").c_str());
        const std::string text = big(letter);
        WriteBytes(path, text);
        if (letter == 'b') ui.yesNoAnswers.push_back(true); // the first one's translation typed
        ASSERT_TRUE(window->Documents().Open(path));
        const std::string shown = text.substr(0, text.size() - 2);
        EXPECT_EQ(window->SourcePane().Edit()->toPlainText().toStdString(), shown);
        EXPECT_EQ(window->SourcePane().Unicode().toStdString(), shown);
        EXPECT_EQ(window->SourcePane().Edit()->document()->defaultFont(), font);
        EXPECT_TRUE(window->SourcePane().Edit()->isReadOnly());
        // The target pane was laid out aside too: its paragraphs, the segments' watch of its
        // edits and its GBK view follow the new document.
        const TDocumentSegments& segments = window->Documents().Segments();
        QPlainTextEdit* target = window->TargetPane().Edit();
        ASSERT_EQ(std::size_t(target->document()->blockCount()), 2 * segments.Model().Size() - 1);
        window->findChild<QAction*>("actNextSegment")->trigger();
        window->TargetPane().SetSelUnicode(U("这里的字"));
        EXPECT_EQ(segments.Model()[1].translation, "这里的字") << letter;
        EXPECT_EQ(window->TargetPane().Unicode(), target->toPlainText()) << letter;
        EXPECT_TRUE(window->TargetPane().Unicode().startsWith(U("\n\n这里的字\n\n"))) << letter;
    }
}

TEST_F(DocumentWindow, ExportingOverTheOpenedFileAsksFirst) {
    const std::string path = folder.Path("three.po");
    WriteBytes(path, ReadBytes(Fixture("three.po")));
    ASSERT_TRUE(window->Documents().Open(path));
    {
        tm::TTranslationMemory memory(folder.memory);
        memory.Record("Close the window.", "关闭窗口。");
    }
    ui.saveAnswers.push_back(QString::fromStdString(path));
    ui.yesNoAnswers.push_back(false);
    window->Documents().ExportExecute();
    ASSERT_EQ(ui.questions.size(), 1u);
    EXPECT_TRUE(ui.questions[0].contains(U("覆盖打开的原文档")));
    EXPECT_EQ(ReadBytes(path), ReadBytes(Fixture("three.po"))); // No: nothing written
    ui.saveAnswers.push_back(QString::fromStdString(path));
    ui.yesNoAnswers.push_back(true);
    ui.yesNoAnswers.push_back(true); // the checks list the file's fuzzy message: exported anyway
    window->Documents().ExportExecute();
    ASSERT_EQ(ui.questions.size(), 3u);
    EXPECT_TRUE(ui.questions[2].contains(U("模糊"))) << ui.questions[2].toStdString();
    const std::string written = ReadBytes(path);
    EXPECT_NE(written.find("msgstr \"关闭窗口。\""), std::string::npos);
    EXPECT_NE(written.find("#, fuzzy, c-format\nmsgid \"Saved %d files.\"\nmsgstr \"old guess\""),
              std::string::npos)
        << "the file's fuzzy msgstr as it was: " << written;
    EXPECT_NE(Messages().back().find("译出 1 个单元，保留原文 1 个，文件原有的译文 1 个照旧"),
              std::string::npos)
        << Messages().back();
}

// A translation that drops "%(key)r" is listed before anything is written; exported anyway,
// that unit stays in English and msgfmt --check passes the file.
TEST_F(DocumentWindow, ExportListsAPlaceholderDroppedBeforeWriting) {
    ASSERT_TRUE(window->Documents().Open(Fixture("keys.po")));
    {
        tm::TTranslationMemory memory(folder.memory);
        memory.Record("Invalid key {1}.", "无效的键。");
        memory.Record("Copied {1} to {2}", "已将 {1} 复制到 {2}");
    }
    const std::string out = folder.Path("keys.zh.po");
    ui.yesNoAnswers.push_back(false);
    EXPECT_FALSE(window->Documents().ExportTo(out));
    ASSERT_EQ(ui.questions.size(), 1u);
    EXPECT_TRUE(ui.questions[0].contains(U("第 1 条：缺少占位符 %(key)r")))
        << ui.questions[0].toStdString();
    EXPECT_TRUE(ui.questions[0].contains(U("未翻译的单元 1 个")));
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(out)));
    ui.yesNoAnswers.push_back(true);
    ASSERT_TRUE(window->Documents().ExportTo(out));
    const std::string po = ReadBytes(out);
    EXPECT_NE(po.find("msgstr \"已将 %s 复制到 %s\""), std::string::npos) << po;
    EXPECT_EQ(std::system(("msgfmt --check -o /dev/null '" + out + "' 2>/dev/null").c_str()), 0) << po;
}

TEST_F(DocumentWindow, StatisticsAndTheFillFromTheMemory) {
    const std::string path = folder.Path("notes.md");
    WriteBytes(path, "# Notes\n\nOpen the file menu. Close the window.\n\nSomething new here.\n");
    ASSERT_TRUE(window->Documents().Open(path));
    {
        tm::TTranslationMemory memory(folder.memory);
        memory.Record("Notes", "笔记");
        memory.Record("Open the file menu.", "打开文件菜单。");
    }
    window->Documents().StatisticsExecute();
    const std::string stats = Messages().back();
    EXPECT_NE(stats.find("单元：3，英文词：11"), std::string::npos) << stats;
    EXPECT_NE(stats.find("已译单元：1，译文汉字：2"), std::string::npos) << stats;
    EXPECT_NE(stats.find("100%：1 句"), std::string::npos) << stats;
    EXPECT_NE(stats.find("新句：2 句"), std::string::npos) << stats;
    window->Documents().FillExecute();
    // Unit 3, which the memory knows nothing of, stays empty: its paragraph is its translation,
    // and an English copy there would be exported as one.
    EXPECT_EQ(window->TargetPane().Edit()->toPlainText(),
              U("笔记\n\n打开文件菜单。 Close the window.\n\n"));
    EXPECT_EQ(window->Documents().Segments().StatusLetters(), U("ffu"));
    EXPECT_NE(Messages().back().find("用记忆填充了 2 句（共 4 句）"), std::string::npos)
        << Messages().back();
    // A unit translated in its paragraph counts in the statistics as in the status bar, though
    // the memory has no pair for it.
    window->Documents().Segments().MoveTo(2);
    window->TargetPane().SetSelUnicode(U("新东西"));
    window->Documents().StatisticsExecute();
    EXPECT_NE(Messages().back().find("已译单元：2，译文汉字：5"), std::string::npos)
        << Messages().back();
}

} // namespace
} // namespace qb::test
