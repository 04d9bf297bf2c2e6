#include "ManagementCommands.h"

#include "AboutUnit.h"
#include "AddWordUnit.h"
#include "MainUnit.h"
#include "PopSourceUnit.h"
#include "WorkProgressDialog.h"
#include "ZYCKunit.h"
#include "imeSetup.h"

#include <QAction>
#include <QLineEdit>

namespace qb {

namespace {

QString U(const char* utf8) { return QString::fromUtf8(utf8); }

TQbDict* UserLexicon(TfrmMainQB& w) { return w.Dicts.empty() ? nullptr : w.Dicts[0].get(); }

// F8 and F9 take the source text from the floating source window while it is shown: that is
// where the translator looks while typing.
std::string SourceSelection(TfrmMainQB& w) {
    if (w.frmPopSource && w.frmPopSource->isVisible()) return w.frmPopSource->SelText();
    return w.Source.SelText();
}

// The suggestions are refreshed from the main source pane's selection, whichever pane gave
// the source text.
void RefreshSuggestions(TfrmMainQB& w) { w.ProcessSentence(w.Source.SelText()); }

} // namespace

int MainWindowLexicons::SlotCount() const { return int(w_.Dicts.size()); }
TQbDict* MainWindowLexicons::Slot(int index) const { return w_.Dicts[std::size_t(index)].get(); }
int MainWindowLexicons::IndexOfDict(const std::string& n) const { return w_.IndexOfDict(n); }
void MainWindowLexicons::OpenDict(const std::string& n) { w_.OpenDict(n); }
void MainWindowLexicons::CloseDict(const std::string& n) { w_.CloseDict(n); }
std::string MainWindowLexicons::ProgramFolder() const { return w_.ProgramFolder(); }

TfrmAddword& AddwordDialog(TfrmMainQB& w) {
    auto* dialog = qobject_cast<TfrmAddword*>(w.frmAddword);
    if (!dialog) {
        dialog = new TfrmAddword(&w); // lives as long as the main window
        dialog->SetAddEntry([&w](const std::string& source, const std::string& rendering) {
            AddUserEntry(w, source, rendering);
        });
        w.frmAddword = dialog;
    }
    return *dialog;
}

void InstallManagementCommands(TfrmMainQB& w) {
    AddwordDialog(w);
    auto on = [&w](QAction* action, void (*command)(TfrmMainQB&)) {
        if (!action) return;
        QObject::connect(action, &QAction::triggered, &w,
                         [&w, command] { w.Guard([&] { command(w); }); });
    };
    on(w.mnuMerge, mnuMergeClick);
    on(w.actAddDirect, actAddDirectExecute);
    on(w.actAdjust, actAdjustExecute);
    on(w.mnuPro, mnuProClick);
    on(w.mnuIMESetup, mnuIMESetupClick);
    on(w.actHelp, actHelpExecute);
    on(w.mnuWebSite, mnuWebSiteClick);
    on(w.mnuMovie, mnuMovieClick);
    on(w.mnuAbout, mnuAboutClick);
}

void AddUserEntry(TfrmMainQB& w, const std::string& source, const std::string& rendering) {
    if (TQbDict* user = UserLexicon(w)) user->AddEntry(source, rendering, true);
}

void actAddDirectExecute(TfrmMainQB& w) {
    const std::string source = Trim(SourceSelection(w));
    const std::string rendering = Trim(w.Target.SelText());
    if (!source.empty() && !rendering.empty()) AddUserEntry(w, source, rendering);
    // Marked modified even when nothing was added, so the user lexicon is written at shutdown.
    if (TQbDict* user = UserLexicon(w)) user->SetModified();
    RefreshSuggestions(w);
}

void actAdjustExecute(TfrmMainQB& w) {
    TfrmAddword& dialog = AddwordDialog(w);
    dialog.SetSourceText(SourceSelection(w)); // untrimmed
    dialog.SetTargetText(std::string());
    dialog.sourceBox->setFocus();
    dialog.exec(); // 添加 adds through AddUserEntry; 取消, Esc and the close box add nothing
    RefreshSuggestions(w);
}

void mnuMergeClick(TfrmMainQB& w) {
    const QStringList chosen = w.Ui().OpenFiles(QString(), QtFilter("文本词库(*.txt)|*.txt"), false);
    if (chosen.isEmpty()) return;
    TQbDict* user = UserLexicon(w);
    if (!user) return;
    const std::string path = chosen.front().toStdString();
    // The whole file is read and checked before the first entry is added: a file that cannot
    // be read, or is not GBK text, leaves the user lexicon untouched.
    std::string text;
    if (!ReadTextLexiconForMerge(w.Ui(), path, text)) return;
    TBusyPointer busy(w.Ui());
    WorkProgressDialog progress(&w, U("正在添加词条..."));
    MergeTextLexicon(*user, text, &progress);
}

void mnuProClick(TfrmMainQB& w) {
    MainWindowLexicons lexicons(w);
    ShowLexiconManager(lexicons, w.Ui(), &w);
}

void mnuIMESetupClick(TfrmMainQB& w) {
    SchemeChoice choice;
    choice.use = {w.useQp, w.useSp, w.useZr, w.useWb};
    choice.order = w.SchemeOrder;
    {
        TOKRightDlg dialog(choice, &w);
        if (dialog.exec() == QDialog::Accepted) {
            w.useQp = choice.use[0];
            w.useSp = choice.use[1];
            w.useZr = choice.use[2];
            w.useWb = choice.use[3];
            w.SchemeOrder = choice.order;
        }
    }
    w.LoadSchemeTables(); // whichever way the dialog was closed
}

void actHelpExecute(TfrmMainQB& w) {
    w.Ui().OpenUrl(QString::fromUtf8((w.ProgramFolder() + "help/index.htm").c_str()));
}

void mnuWebSiteClick(TfrmMainQB& w) { w.Ui().OpenUrl(QString::fromLatin1(kWebSite)); }

void mnuMovieClick(TfrmMainQB& w) { w.Ui().OpenUrl(QString::fromLatin1(kDownloadPage)); }

void mnuAboutClick(TfrmMainQB& w) {
    TAboutBox box(&w);
    box.exec();
}

} // namespace qb
