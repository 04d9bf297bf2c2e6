// A document through the real window under Xvfb, with real X keys (xdotool): opened with
// Ctrl+O, translated Ctrl+J by Ctrl+J with the translations typed, exported from the 文件 menu
// with the keyboard; the exported file holds the typed text where the source was.
#include "WorkspaceTestSupport.h"

#include "DocumentMenu.h"
#include "QtText.h"
#include "X11Input.h"

#include <gtest/gtest.h>

#include <quazip/quazip.h>
#include <quazip/quazipfile.h>
#include <quazip/quazipnewinfo.h>

#include <QApplication>
#include <QBuffer>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProcess>
#include <QTest>
#include <QTextBlock>

namespace qb::test {
namespace {

class DocumentX11 : public TWindowTest, public testing::Test {
protected:
    void SetUp() override {
        if (!qbtest::HaveXdotool()) GTEST_SKIP() << "needs an X server (xcb) and xdotool";
        keepMemory = true;
        keepPanes = true;
        ShowWindow();
    }
    void ShowWindow() {
        Make(false);
        window->setGeometry(100, 100, 900, 560);
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get(), 15000));
        ASSERT_TRUE(qbtest::Xdo({"key", "ctrl+y"})); // the input method off: xdotool types the hanzi
        ASSERT_FALSE(window->Modes().ImeEnabled);
    }
    // Waits for the status bar's progress to start with `done` ("3/5 段").
    bool ProgressShows(const QString& done) {
        auto* label = window->findChild<QLabel*>("segmentProgress");
        return label &&
               QTest::qWaitFor([&] { return label->isVisible() && label->text().startsWith(done); },
                               15000);
    }
    void TypeAfter(const char* key, const char* translation) {
        ASSERT_TRUE(qbtest::Xdo({"key", key}));
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return QApplication::focusWidget() == window->TargetPane().Edit(); }, 15000));
        ASSERT_TRUE(qbtest::TypeInto(window->TargetPane().Edit(), U(translation)))
            << window->TargetPane().Edit()->toPlainText().toStdString();
    }
    void TearDown() override {
        if (window) window->FormDestroy();
    }
    // Opens `path` with Ctrl+O, types each translation after a Ctrl+J, and exports through the
    // 文件 menu to `out`.
    void Story(const std::string& path, const std::vector<const char*>& translations,
               const std::string& out) {
        ui.openAnswers.push_back({QString::fromStdString(path)});
        ASSERT_TRUE(qbtest::Xdo({"key", "ctrl+o"}));
        ASSERT_TRUE(QTest::qWaitFor([&] { return window->Documents().IsOpen(); }, 15000))
            << (Messages().empty() ? "" : Messages().back());
        EXPECT_TRUE(window->SourcePane().Edit()->isReadOnly());
        EXPECT_TRUE(
            window->windowTitle().endsWith(QString::fromStdString(path.substr(path.rfind('/') + 1))));
        for (const char* t : translations) {
            ASSERT_TRUE(qbtest::Xdo({"key", "ctrl+j"}));
            ASSERT_TRUE(QTest::qWaitFor(
                [&] { return QApplication::focusWidget() == window->TargetPane().Edit(); }, 15000));
            // What the file holds for the message (three.po's fuzzy "old guess") is typed over.
            QPlainTextEdit* target = window->TargetPane().Edit();
            if (!target->textCursor().block().text().isEmpty()) {
                ASSERT_TRUE(qbtest::Xdo({"key", "shift+Home"}));
                ASSERT_TRUE(qbtest::Xdo({"key", "BackSpace"}));
                ASSERT_TRUE(QTest::qWaitFor(
                    [&] { return target->textCursor().block().text().isEmpty(); }, 15000));
            }
            ASSERT_TRUE(qbtest::TypeInto(window->TargetPane().Edit(), U(t)))
                << window->TargetPane().Edit()->toPlainText().toStdString();
        }
        // 文件 → 导出译文文档...: the menu opened with Alt+F, its second entry.
        ui.saveAnswers.push_back(QString::fromStdString(out));
        const std::size_t shown = ui.messages.size();
        ASSERT_TRUE(qbtest::Xdo({"key", "alt+f"}));
        ASSERT_TRUE(qbtest::Xdo({"key", "Down"}));
        ASSERT_TRUE(qbtest::Xdo({"key", "Return"}));
        ASSERT_TRUE(QTest::qWaitFor([&] { return ui.messages.size() > shown; }, 15000));
        EXPECT_TRUE(ui.messages.back().contains(U("译出 %1 个单元").arg(translations.size())))
            << ui.messages.back().toStdString();
    }
};

std::string Shell(const std::string& cmd) {
    QProcess p;
    p.start("/bin/sh", {"-c", QString::fromStdString(cmd)});
    p.waitForFinished(20000);
    return p.exitCode() == 0 ? std::string() : p.readAllStandardError().toStdString();
}

std::string Entry(const std::string& package, const char* name) {
    QByteArray bytes = QByteArray::fromStdString(package);
    QBuffer buffer(&bytes);
    QuaZip zip(&buffer);
    if (!zip.open(QuaZip::mdUnzip) || !zip.setCurrentFile(QString::fromLatin1(name))) return {};
    QuaZipFile f(&zip);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return f.readAll().toStdString();
}

TEST_F(DocumentX11, APoCatalogueOfThreeMessages) {
    const std::string po = std::string(QB_TEST_DATA_DIR) + "/documents/three.po";
    const std::string out = folder.Path("three.zh_CN.po");
    Story(po, {"打开文件菜单。", "已保存 {1} 个文件。", "关闭窗口。"}, out);
    EXPECT_EQ(Shell("msgfmt --check -o /dev/null '" + out + "'"), "");
    const std::string bytes = ReadBytes(out);
    for (const char* s :
         {"msgstr \"打开文件菜单。\"", "msgstr \"已保存 %d 个文件。\"", "msgstr \"关闭窗口。\""})
        EXPECT_NE(bytes.find(s), std::string::npos) << s << "\n" << bytes;
    // The document is kept with the panes: a restarted window goes on with it.
    window->FormDestroy();
    window.reset();
    Make(false);
    EXPECT_TRUE(window->Documents().IsOpen());
    EXPECT_EQ(window->Documents().Path(), po);
    EXPECT_TRUE(window->SourcePane().Edit()->isReadOnly());
}

// Units 1, 2 and 4 translated, 3 skipped, the program restarted, 3 translated after Ctrl+Up:
// each translation is its own message's, and the status bar counts 3 then 4 of 5 done.
TEST_F(DocumentX11, EachTranslationStaysWithItsMessageAcrossARestart) {
    const std::string po = folder.Path("five.po");
    WriteBytes(po, "msgid \"\"\nmsgstr \"\"\n\"Project-Id-Version: demo 1.0\\n\"\n\"MIME-Version: 1.0\\n\"\n"
                   "\"Content-Type: text/plain; charset=UTF-8\\n\"\n\"Content-Transfer-Encoding: 8bit\\n\"\n\n"
                   "msgid \"Open the file.\"\nmsgstr \"\"\n\n"
                   "#, python-format\nmsgid \"Invalid key %(key)r.\"\nmsgstr \"\"\n\n"
                   "msgid \"Saved. Close the window.\"\nmsgstr \"\"\n\n"
                   "msgid \"Print it.\"\nmsgstr \"\"\n\n"
                   "msgid \"Quit.\"\nmsgstr \"\"\n");
    ui.openAnswers.push_back({QString::fromStdString(po)});
    ASSERT_TRUE(qbtest::Xdo({"key", "ctrl+o"}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->Documents().IsOpen(); }, 15000));
    ASSERT_TRUE(ProgressShows(U("0/5 段")));
    TypeAfter("ctrl+j", "打开文件。");
    TypeAfter("ctrl+j", "无效的键 {1}。");
    ASSERT_TRUE(qbtest::Xdo({"key", "ctrl+j"})); // unit 3 skipped
    TypeAfter("ctrl+j", "打印它。");
    EXPECT_EQ(window->SourcePane().SelUnicode(), U("Print it."));
    EXPECT_TRUE(ProgressShows(U("3/5 段 · 7/")));
    window->KeepPanes();
    window->FormDestroy();
    window.reset();

    ShowWindow();
    ASSERT_TRUE(window->Documents().IsOpen());
    EXPECT_TRUE(ProgressShows(U("3/5 段")));
    TypeAfter("ctrl+Up", "已保存。关闭窗口。");
    EXPECT_EQ(window->SourcePane().SelUnicode(), U("Saved. Close the window."));
    EXPECT_TRUE(ProgressShows(U("4/5 段 · 11/12 词")));

    // 文件 → 导出译文文档...: the menu opened with Alt+F, its second entry.
    const std::string out = folder.Path("five.zh.po");
    ui.saveAnswers.push_back(QString::fromStdString(out));
    const std::size_t shown = ui.messages.size();
    ASSERT_TRUE(qbtest::Xdo({"key", "alt+f"}));
    ASSERT_TRUE(qbtest::Xdo({"key", "Down"}));
    ASSERT_TRUE(qbtest::Xdo({"key", "Return"}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return ui.messages.size() > shown; }, 15000));
    EXPECT_TRUE(ui.messages.back().contains(U("译出 4 个单元"))) << ui.messages.back().toStdString();
    const std::string bytes = ReadBytes(out);
    for (const char* s : {"msgid \"Open the file.\"\nmsgstr \"打开文件。\"",
                          "msgid \"Invalid key %(key)r.\"\nmsgstr \"无效的键 %(key)r。\"",
                          "msgid \"Saved. Close the window.\"\nmsgstr \"已保存。关闭窗口。\"",
                          "msgid \"Print it.\"\nmsgstr \"打印它。\"", "msgid \"Quit.\"\nmsgstr \"\""})
        EXPECT_NE(bytes.find(s), std::string::npos) << s << "\n" << bytes;
    EXPECT_EQ(Shell("msgfmt --check -o /dev/null '" + out + "'"), "");
}

TEST_F(DocumentX11, AWordDocumentKeepsItsParagraphsAndFormatting) {
    const std::string body =
        R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)"
        R"(<w:document xmlns:w="http://schemas.openxmlformats.org/wordprocessingml/2006/main"><w:body>)"
        R"(<w:p><w:r><w:t>Welcome.</w:t></w:r></w:p>)"
        R"(<w:p><w:r><w:t xml:space="preserve">Press </w:t></w:r><w:r><w:rPr><w:b/></w:rPr><w:t>OK</w:t></w:r>)"
        R"(<w:r><w:t xml:space="preserve"> to go on.</w:t></w:r></w:p></w:body></w:document>)";
    QByteArray bytes;
    {
        QBuffer buffer(&bytes);
        QuaZip zip(&buffer);
        ASSERT_TRUE(zip.open(QuaZip::mdCreate));
        QuaZipFile f(&zip);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly, QuaZipNewInfo("word/document.xml")));
        f.write(body.data(), qint64(body.size()));
        f.close();
        zip.close();
    }
    const std::string path = folder.Path("guide.docx");
    WriteBytes(path, bytes.toStdString());
    const std::string out = folder.Path("guide.zh.docx");
    Story(path, {"欢迎。", "按{1}确定{/1}继续。"}, out);
    const std::string xml = Entry(ReadBytes(out), "word/document.xml");
    EXPECT_NE(xml.find(R"(<w:p><w:r><w:t xml:space="preserve">欢迎。</w:t></w:r></w:p>)"), std::string::npos)
        << xml;
    EXPECT_NE(
        xml.find(R"(<w:r><w:t xml:space="preserve">按</w:t></w:r><w:r><w:rPr><w:b/></w:rPr><w:t xml:space="preserve">确定</w:t></w:r>)"),
        std::string::npos)
        << xml;
}

TEST_F(DocumentX11, SubtitlesKeepTheirTimecodes) {
    const std::string path = folder.Path("clip.srt");
    WriteBytes(
        path,
        "1\n00:00:01,000 --> 00:00:02,000\nHello there.\n\n2\n00:00:03,000 --> 00:00:04,500\nSee you.\n");
    const std::string out = folder.Path("clip.zh.srt");
    Story(path, {"你好。", "再见。"}, out);
    EXPECT_EQ(ReadBytes(out),
              "1\n00:00:01,000 --> 00:00:02,000\n你好。\n\n2\n00:00:03,000 --> 00:00:04,500\n再见。\n");
}

} // namespace
} // namespace qb::test
