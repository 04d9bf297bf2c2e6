// qb_help_shots: the screenshots of the help pages, taken from the real windows.
//
//   QT_QPA_PLATFORM=offscreen qb_help_shots <program folder with data> <output folder>
//
// Makes the main window on the program folder's lexicons and scheme tables (with a settings
// file of its own in a temporary folder), selects a sentence of a short text, and writes
// main.png (the main window with the floating source window where it stands), zyck.png,
// imesetup.png, addword.png, about.png and memory.png (the main window again, on a translation
// memory of a few pairs, with the matches of the selected sentence above the phrase list and the
// first match's hover text), memory-search.png (the concordance window over that memory,
// a phrase looked up) and documents.png (a small catalogue opened and half translated). Run by
// hand when the windows change; the images are kept in data/help/images.
#include "AboutUnit.h"
#include "AddWordUnit.h"
#include "DocumentMenu.h"
#include "Fonts.h"
#include "GbkText.h"
#include "MainManagementHost.h"
#include "MainUnit.h"
#include "MemoryCommands.h"
#include "MemorySearchWindow.h"
#include "PopSourceUnit.h"
#include "TranslationMemory.h"
#include "ZYCKunit.h"
#include "imeSetup.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QToolTip>

#include <algorithm>
#include <cstdio>

namespace {

bool Save(QWidget& w, const QString& path) {
    w.show();
    QTest::qWait(150);
    const bool ok = w.grab().save(path);
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", path.toUtf8().constData());
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: qb_help_shots <program folder> <output folder>\n");
        return 2;
    }
    std::string folder = argv[1];
    if (folder.back() != '/') folder += '/';
    const QString out = QString::fromUtf8(argv[2]) + QLatin1Char('/');
    QDir().mkpath(out);
    qb::InstallFontSubstitutions();
    QApplication::setApplicationDisplayName(QString::fromUtf8("文渡翻译环境"));

    QTemporaryDir settings;
    qb::TQtUi ui;
    qb::TWorkspaceSetup setup;
    setup.programFolder = folder;
    setup.settingsFile = settings.path() + "/qbridge10.ini";
    setup.ui = &ui;
    setup.rescueFolder = settings.path().toStdString() + "/rescue/";
    auto w = std::make_unique<qb::TfrmMainQB>(setup);
    w->CreateOtherWindows();
    w->move(40, 40);
    w->resize(860, 540);
    w->show();
    const std::string medicine = folder + "lexicons/medicine.qbs";
    w->OpenDict(medicine);

    // A sentence selected and half translated, the phrase list and the floating window filled.
    w->Source.SetText(qb::Utf8ToGbkLossy(
        "Machine translation helps the translator, but it does not take the place of a "
        "careful reading. The patient had a heart attack last year and was taken to hospital "
        "at once.\r\nFrom now on, take care of the details."));
    w->Source.SetSelStart(0);
    w->DoGetASentExecute();
    w->DoGetASentExecute();
    w->Target.SetText(qb::Utf8ToGbkLossy("机器翻译能帮助译者，但不能代替仔细的阅读。\r\n病人去年"));
    w->Target.SetSelStart(w->Target.TextLength());
    w->reTargetSelectionChange();
    QTest::qWait(300);
    QPixmap shot = w->grab();
    if (w->frmPopSource && w->frmPopSource->isVisible()) {
        // The offscreen screen has no real geometry: draw the floating window where it stands
        // on a desktop, just above the caret of the target pane.
        const QPoint caret = w->reTarget->viewport()->mapTo(w.get(), w->Target.CaretPos());
        const QPoint at(std::max(4, caret.x() - 20), caret.y() - w->frmPopSource->height() - 4);
        QPainter p(&shot);
        p.drawPixmap(at, w->frmPopSource->grab());
    }
    std::printf("%s %smain.png\n", shot.save(out + "main.png") ? "wrote" : "FAILED",
                out.toUtf8().constData());

    qb::ManagementHost* host = w->Management();
    {
        qb::TfrmZYCK zyck(*host, ui, w.get());
        if (zyck.ListZYKUsing->count() > 0) zyck.ListZYKUsing->item(0)->setSelected(true);
        Save(zyck, out + "zyck.png");
        zyck.PagesOfCiku->setCurrentIndex(2);
        zyck.edtTargetLib->setText(QString::fromStdString(medicine));
        zyck.edtSourceFile->setText(QString::fromUtf8("/home/ann/词表/cardiology.txt"));
        Save(zyck, out + "zyck-expand.png");
    }
    {
        qb::SchemeChoice choice;
        choice.use = {true, true, false, true};
        choice.order = {4, 1, 2, 3};
        qb::TOKRightDlg dialog(choice, w.get());
        dialog.CheckListBox1->setCurrentRow(0);
        Save(dialog, out + "imesetup.png");
    }
    {
        qb::TfrmAddword& add = host->AddwordDialog();
        add.SetSourceText("heart attack");
        add.SetTargetText(qb::Utf8ToGbkLossy("心脏病发作"));
        Save(add, out + "addword.png");
        add.hide();
    }
    {
        qb::TAboutBox about(w.get());
        Save(about, out + "about.png");
    }
    w->hide();
    w->FormDestroy();
    w.reset();

    // The translation memory's matches: a few earlier pairs, and a sentence close to two of them.
    setup.memoryFile = settings.path().toStdString() + "/translation-memory.db";
    {
        qb::tm::TTranslationMemory memory(setup.memoryFile);
        memory.Record("The patient had a heart attack last year.", "病人去年心脏病发作过。");
        memory.Record("The patient had a heart attack last month.", "病人上个月心脏病发作过。");
        memory.Record("Take the tablets twice a day after meals.", "每日两次，饭后服药。");
    }
    auto m = std::make_unique<qb::TfrmMainQB>(setup);
    m->CreateOtherWindows();
    m->move(40, 40);
    m->resize(860, 540);
    m->show();
    m->OpenDict(medicine);
    m->Source.SetText(qb::Utf8ToGbkLossy(
        "The patient had a heart attack last week. He was taken to hospital at once.\r\n"
        "Take the tablets twice a day after meals."));
    m->Source.SetSelStart(0);
    m->DoGetASentExecute();
    const bool shown =
        QTest::qWaitFor([&] { return m->lbMemory->isVisible() && m->lbMemory->isEnabled(); }, 5000);
    m->Target.SetText(qb::Utf8ToGbkLossy("机器翻译能帮助译者，但不能代替仔细的阅读。\r\n"));
    m->Target.SetSelStart(m->Target.TextLength());
    m->reTargetSelectionChange();
    QTest::qWait(300);
    QPixmap memoryShot = m->grab();
    if (shown) {
        // The hover text of the first match (the stored source's differences), drawn into the
        // shot as on a desktop; the offscreen screen keeps tool tips apart from the window.
        QListWidget* lb = m->lbMemory;
        const QRect item = lb->visualItemRect(lb->item(0));
        QToolTip::showText(lb->viewport()->mapToGlobal(item.bottomLeft()), lb->item(0)->toolTip(),
                           lb->viewport());
        QTest::qWait(200);
        for (QWidget* tip : QApplication::topLevelWidgets()) {
            if (!tip->isVisible() || !tip->inherits("QTipLabel")) continue;
            const QPixmap tipShot = tip->grab();
            // Below the whole list, so that every match stays in sight.
            const QPoint below = lb->mapTo(m.get(), lb->rect().bottomLeft()) + QPoint(0, 4);
            const QPoint at(std::max(4, std::min(below.x(), memoryShot.width() - tipShot.width() - 4)),
                            below.y());
            QPainter p(&memoryShot);
            p.drawPixmap(at, tipShot);
        }
        QToolTip::hideText();
    }
    std::printf("%s %smemory.png\n", shown && memoryShot.save(out + "memory.png") ? "wrote" : "FAILED",
                out.toUtf8().constData());

    // The concordance window: a phrase looked up among the pairs, the hits marked.
    {
        qb::tm::TTranslationMemory memory(setup.memoryFile);
        memory.Record("A heart attack needs treatment at once.", "心脏病发作需要立即治疗。");
        memory.Record("Call a doctor if you think someone is having a heart attack.",
                      "如果你认为有人心脏病发作，请叫医生。");
    }
    m->MemoryCommands().SearchExecute();
    qb::TfrmMemorySearch* search = m->MemoryCommands().SearchWindow();
    search->resize(560, 330);
    search->edSearch->setText(QString::fromUtf8("heart attack"));
    const bool found =
        QTest::qWaitFor([&] { return !search->Waiting() && search->lbPairs->count() > 0; }, 5000);
    QTest::qWait(200);
    std::printf("%s %smemory-search.png\n",
                found && search->grab().save(out + "memory-search.png") ? "wrote" : "FAILED",
                out.toUtf8().constData());
    search->hide();

    // A document: a small gettext catalogue opened, its first message translated, the second
    // (with its placeholders) selected.
    const QString po = settings.path() + "/editor.po";
    {
        QFile f(po);
        f.open(QIODevice::WriteOnly);
        f.write("msgid \"\"\nmsgstr \"\"\n\"Content-Type: text/plain; charset=UTF-8\\n\"\n\n"
                "msgid \"Open the file menu.\"\nmsgstr \"\"\n\n"
                "#, c-format\nmsgid \"Saved %d files in <b>%s</b>.\"\nmsgstr \"\"\n\n"
                "msgid \"Close the window.\"\nmsgstr \"\"\n");
    }
    m->Target.SetText("");
    const bool opened = m->Documents().Open(po.toStdString());
    m->Source.SetSelStart(0);
    m->DoGetASentExecute();
    m->Target.SetSelText(qb::Utf8ToGbkLossy("打开文件菜单。"));
    m->DoGetASentExecute();
    m->Target.SetSelText(qb::Utf8ToGbkLossy("\r\n已在 {2} 中保存 {1} 个文件。"));
    QTest::qWait(300);
    std::printf("%s %sdocuments.png\n",
                opened && m->grab().save(out + "documents.png") ? "wrote" : "FAILED",
                out.toUtf8().constData());
    m->hide();
    m->FormDestroy();
    return 0;
}
