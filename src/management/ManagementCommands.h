// The main window's commands for growing the lexicons, for help and about: F8, F9, 批量添加,
// 专业词库..., 输入法组合方式..., F1, 网站, 下载电影教学..., 关于.
//
// They work on ManagementHost, what they need of the main window, so this library does not
// depend on the workspace. TMainManagement is a header-only adapter over any main window with
// the workbench's fields (TfrmMainQB has them); the program plugs the commands in with one call
// after the main window's other windows exist:
//
//   #include "ManagementCommands.h"
//   qb::RunQuillbridge([](qb::TfrmMainQB& w) { qb::InstallManagementCommands(w); });
//
// which makes the add-entry dialog frmAddword and connects mnuMerge, actAddDirect, actAdjust,
// mnuPro, mnuIMESetup, actHelp, mnuWebSite, mnuMovie and mnuAbout (each inside the error guard).
#pragma once

#include "Dialogs.h"
#include "LexiconTasks.h"
#include "imeSetup.h"

#include <QAction>
#include <QObject>
#include <QWidget>

#include <string>

// The adapter reads the floating source window (TfrmPopSource) of the main window, so where it
// is instantiated, next to the main window's header, that window's class must be complete.
#if __has_include("PopSourceUnit.h")
#include "PopSourceUnit.h"
#endif

namespace qb {

class TfrmAddword;

class ManagementHost : public QObject, public LexiconHost {
public:
    explicit ManagementHost(QObject* parent) : QObject(parent) {}
    virtual QWidget* Window() = 0;  // parent of the dialogs
    virtual TUi& Ui() = 0;          // message boxes, file dialogs, busy pointer, shell open
    // The selected text of the floating source window while it is shown, else of the main
    // source pane (GBK).
    virtual std::string SourceSelection() = 0;
    virtual std::string MainSourceSelection() = 0;
    virtual std::string TargetSelection() = 0;
    virtual void ProcessSentence(const std::string& sentence) = 0;
    virtual SchemeChoice Schemes() = 0;
    virtual void SetSchemes(const SchemeChoice& choice) = 0;
    virtual void LoadSchemeTables() = 0;
    // The main window's frmAddword field.
    virtual QWidget*& AddwordField() = 0;
};

// Adds the pair to the user lexicon (slot 0) with merging on; the texts are passed on as they
// are (GBK). Nothing is written to disk until the lexicon is freed.
void AddUserEntry(ManagementHost& h, const std::string& source, const std::string& rendering);

void actAddDirectExecute(ManagementHost& h); // F8
void actAdjustExecute(ManagementHost& h);    // F9
void mnuMergeClick(ManagementHost& h);       // 批量添加(&B)
void mnuProClick(ManagementHost& h);         // 专业词库...(&P)
void mnuIMESetupClick(ManagementHost& h);    // 输入法组合方式...(&I)
void actHelpExecute(ManagementHost& h);      // F1
void mnuWebSiteClick(ManagementHost& h);
void mnuMovieClick(ManagementHost& h);
void mnuAboutClick(ManagementHost& h);

// The add-entry dialog (made on first use, then kept in the main window's frmAddword).
TfrmAddword& AddwordDialog(ManagementHost& h);

// Connects an action to a command, run inside the error guard.
void ConnectCommand(ManagementHost& h, QAction* action, void (*command)(ManagementHost&));

// The object name of the adapter, so that installing twice connects nothing twice.
inline constexpr const char* kManagementHostName = "qbManagementCommands";

template <class Main>
class TMainManagement : public ManagementHost {
public:
    explicit TMainManagement(Main& m) : ManagementHost(&m), m_(m) {}

    int SlotCount() const override { return int(m_.Dicts.size()); }
    TQbDict* Slot(int i) const override { return m_.Dicts[std::size_t(i)].get(); }
    int IndexOfDict(const std::string& name) const override { return m_.IndexOfDict(name); }
    void OpenDict(const std::string& name) override { m_.OpenDict(name); }
    void CloseDict(const std::string& name) override { m_.CloseDict(name); }
    std::string ProgramFolder() const override { return m_.ProgramFolder(); }

    QWidget* Window() override { return &m_; }
    TUi& Ui() override { return m_.Ui(); }
    std::string SourceSelection() override {
        if (m_.frmPopSource && m_.frmPopSource->isVisible()) return m_.frmPopSource->SelText();
        return MainSourceSelection();
    }
    std::string MainSourceSelection() override { return m_.Source.SelText(); }
    std::string TargetSelection() override { return m_.Target.SelText(); }
    void ProcessSentence(const std::string& s) override { m_.ProcessSentence(s); }
    SchemeChoice Schemes() override {
        SchemeChoice c;
        c.use = {m_.useQp, m_.useSp, m_.useZr, m_.useWb};
        c.order = m_.SchemeOrder;
        return c;
    }
    void SetSchemes(const SchemeChoice& c) override {
        m_.useQp = c.use[0];
        m_.useSp = c.use[1];
        m_.useZr = c.use[2];
        m_.useWb = c.use[3];
        m_.SchemeOrder = c.order;
    }
    void LoadSchemeTables() override { m_.LoadSchemeTables(); }
    QWidget*& AddwordField() override { return m_.frmAddword; }

private:
    Main& m_;
};

// The commands' host of a main window after InstallManagementCommands; null before it.
template <class Main>
ManagementHost* ManagementOf(Main& m) {
    return m.template findChild<ManagementHost*>(QString::fromLatin1(kManagementHostName),
                                                 Qt::FindDirectChildrenOnly);
}

template <class Main>
void InstallManagementCommands(Main& m) {
    if (ManagementOf(m)) return;
    auto* h = new TMainManagement<Main>(m); // a child of the window: lives as long as it
    h->setObjectName(QString::fromLatin1(kManagementHostName));
    AddwordDialog(*h);
    ConnectCommand(*h, m.mnuMerge, mnuMergeClick);
    ConnectCommand(*h, m.actAddDirect, actAddDirectExecute);
    ConnectCommand(*h, m.actAdjust, actAdjustExecute);
    ConnectCommand(*h, m.mnuPro, mnuProClick);
    ConnectCommand(*h, m.mnuIMESetup, mnuIMESetupClick);
    ConnectCommand(*h, m.actHelp, actHelpExecute);
    ConnectCommand(*h, m.mnuWebSite, mnuWebSiteClick);
    ConnectCommand(*h, m.mnuMovie, mnuMovieClick);
    ConnectCommand(*h, m.mnuAbout, mnuAboutClick);
}

} // namespace qb
