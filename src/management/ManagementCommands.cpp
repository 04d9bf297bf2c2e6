#include "ManagementCommands.h"

#include "AboutUnit.h"
#include "AddWordUnit.h"
#include "GbkText.h"
#include "JobRunner.h"
#include "MyUtils.h"
#include "QtText.h"
#include "ZYCKunit.h"

#include <QAction>
#include <QLineEdit>

namespace qb {

namespace {

TQbDict* UserLexicon(ManagementHost& h) { return h.SlotCount() > 0 ? h.Slot(0) : nullptr; }

// The suggestions are refreshed from the main source pane's selection, whichever pane gave
// the source text.
void RefreshSuggestions(ManagementHost& h) { h.ProcessSentence(h.MainSourceSelection()); }

} // namespace

void ConnectCommand(ManagementHost& h, QAction* action, void (*command)(ManagementHost&)) {
    if (!action) return;
    ManagementHost* host = &h;
    QObject::connect(action, &QAction::triggered, h.Window(),
                     [host, command] { Guarded(host->Ui(), [&] { command(*host); }); });
}

QString NoGbkCharacterMessage(const QString& text, const char* fieldUtf8) {
    qsizetype bad = -1;
    if (ToGbkStrict(text, &bad) || bad < 0 || bad >= text.size()) return {};
    char32_t code = text.at(bad).unicode();
    qsizetype units = 1;
    if (text.at(bad).isHighSurrogate() && bad + 1 < text.size() && text.at(bad + 1).isLowSurrogate()) {
        code = QChar::surrogateToUcs4(text.at(bad), text.at(bad + 1));
        units = 2;
    }
    const QString codeText =
        QStringLiteral("U+%1").arg(qulonglong(code), 4, 16, QLatin1Char('0')).toUpper();
    return U(fieldUtf8) + U("中的字符“") + text.mid(bad, units) + U("”（") + codeText +
           U("）不能存入词库：词库只能保存GBK字符。词条没有添加。");
}

namespace {
// The message of the first of the two texts that holds a character GBK cannot hold; empty
// when both fit.
QString RefusalOf(const QString& source, const char* sourceField, const QString& rendering,
                  const char* renderingField) {
    QString why = NoGbkCharacterMessage(source, sourceField);
    if (why.isEmpty()) why = NoGbkCharacterMessage(rendering, renderingField);
    return why;
}
} // namespace

std::unique_ptr<TfrmAddword> NewAddwordDialog(ManagementHost& h) {
    auto dialog = std::make_unique<TfrmAddword>(h.Window());
    ManagementHost* host = &h;
    dialog->SetRefuse([host](const QString& source, const QString& rendering) {
        // An empty (or blank) source would be the entry with the empty key, which no sentence
        // ever finds: the dialog stays open for the English text.
        QString why = NormalizeKey(ToGbk(source)).empty()
                          ? U("原文是空的：请填入英文原文。词条没有添加。")
                          : RefusalOf(source, "原文", rendering, "解释");
        if (why.isEmpty()) return false;
        host->Ui().ShowMessage(why);
        return true;
    });
    dialog->SetAddEntry([host](const std::string& source, const std::string& rendering) {
        AddUserEntry(*host, source, rendering);
    });
    return dialog;
}

void AddUserEntry(ManagementHost& h, const std::string& source, const std::string& rendering) {
    if (TQbDict* user = UserLexicon(h)) user->AddEntry(source, rendering, true);
}

void actAddDirectExecute(ManagementHost& h) {
    const std::string source = Trim(h.SourceSelection());
    const std::string rendering = Trim(h.TargetSelection());
    if (!source.empty() && !rendering.empty()) {
        // "naïve" would be stored as na?ve (or na\xFFve): refuse, naming the ï, and add nothing.
        const QString why =
            RefusalOf(h.SourceSelectionUnicode(), "原文", h.TargetSelectionUnicode(), "译文");
        if (!why.isEmpty()) {
            h.Ui().ShowMessage(why);
            return;
        }
        AddUserEntry(h, source, rendering);
    } else if (!source.empty()) {
        // The English selected as the getting-started page says, and nothing in the target
        // pane: the key did nothing and said nothing, and the translator thought it broken.
        h.Ui().ShowMessage(U("已选中原文“%1”，但译文栏没有选中译文。请在译文栏选中它的译文再按 "
                             "F8，或按 F9 在对话框中填写译文。词条没有添加。")
                               .arg(h.SourceSelectionUnicode().trimmed()));
    }
    // Marked modified even when nothing was added, so the user lexicon is written at shutdown.
    if (TQbDict* user = UserLexicon(h)) user->SetModified();
    RefreshSuggestions(h);
}

void actAdjustExecute(ManagementHost& h) {
    TfrmAddword& dialog = h.AddwordDialog();
    // Untrimmed, and as the pane holds it: an emoji shows as itself, and 添加 then names it.
    dialog.sourceBox->setText(h.SourceSelectionUnicode());
    dialog.SetTargetText(std::string());
    dialog.sourceBox->setFocus();
    dialog.exec(); // 添加 adds through AddUserEntry; 取消, Esc and the close box add nothing
    RefreshSuggestions(h);
}

void mnuMergeClick(ManagementHost& h) {
    // A typed name need not exist: reading it then reports "Cannot open file /home/ann/x.txt".
    TOpenFileRequest request;
    request.typedNameMayNotExist = true;
    const QStringList chosen =
        h.Ui().OpenFiles(QString(), QtFilter(zyck_text::kMergeFilter), false, request);
    if (chosen.isEmpty()) return;
    TQbDict* user = UserLexicon(h);
    if (!user) return;
    // The whole file is read, checked and converted before the first entry is added: a file
    // that cannot be read, or holds a character GBK cannot hold, leaves the user lexicon
    // untouched.
    std::string text;
    if (!ReadTextLexiconForMerge(h.Ui(), chosen.front().toStdString(), text)) return;
    TBusyPointer busy(h.Ui());
    TJobOptions job;
    job.label = U("正在添加词条...");
    RunJob(h.Window(), job, [&](TProgress& progress) { MergeTextLexicon(*user, text, &progress); });
}

void mnuProClick(ManagementHost& h) { ShowLexiconManager(h, h.Ui(), h.Window()); }

void mnuIMESetupClick(ManagementHost& h) {
    SchemeChoice choice = h.Schemes();
    {
        TOKRightDlg dialog(choice, h.Window());
        if (dialog.exec() == QDialog::Accepted) h.SetSchemes(choice);
    }
    h.LoadSchemeTables(); // whichever way the dialog was closed
}

void actHelpExecute(ManagementHost& h) {
    h.Ui().OpenUrl(QString::fromUtf8((h.ProgramFolder() + "help/index.htm").c_str()));
}

void mnuWebSiteClick(ManagementHost& h) { h.Ui().OpenUrl(QString::fromLatin1(kWebSite)); }

void mnuMovieClick(ManagementHost& h) { h.Ui().OpenUrl(QString::fromLatin1(kDownloadPage)); }

void mnuAboutClick(ManagementHost& h) {
    TAboutBox box(h.Window());
    box.exec();
}

} // namespace qb
