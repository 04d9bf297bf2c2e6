// The main window's commands for growing the lexicons, for help and about: F8, F9, 批量添加,
// 专业词库..., 输入法组合方式..., F1, 网站, 下载电影教学..., 关于.
//
// They work on ManagementHost, what they need of the main window, so this library does not
// depend on the workspace; the workspace implements the host over its main window and connects
// each command to the window's action with ConnectCommand.
#pragma once

#include "Dialogs.h"
#include "LexiconTasks.h"
#include "imeSetup.h"

#include <memory>
#include <string>

class QAction;
class QWidget;

namespace qb {

class TfrmAddword;

class ManagementHost : public LexiconHost {
public:
    virtual QWidget* Window() = 0; // parent of the dialogs
    virtual TUi& Ui() = 0;         // message boxes, file dialogs, busy pointer, shell open
    // The selected text of the floating source window while it is shown, else of the main
    // source pane (GBK).
    virtual std::string SourceSelection() = 0;
    virtual std::string MainSourceSelection() = 0;
    virtual std::string TargetSelection() = 0;
    // The same two selections exactly as the panes hold them: in the GBK ones above, 😀 and ß
    // stand as one placeholder byte each, which cannot say which character it was.
    virtual QString SourceSelectionUnicode() = 0;
    virtual QString TargetSelectionUnicode() = 0;
    virtual void ProcessSentence(const std::string& sentence) = 0;
    virtual SchemeChoice Schemes() = 0;
    virtual void SetSchemes(const SchemeChoice& choice) = 0;
    virtual void LoadSchemeTables() = 0;
    // The add-entry dialog of F9: one instance for the whole run (NewAddwordDialog).
    virtual TfrmAddword& AddwordDialog() = 0;
};

// A new add-entry dialog, a window of h.Window(), whose 添加 adds to h's user lexicon.
std::unique_ptr<TfrmAddword> NewAddwordDialog(ManagementHost& h);

// Adds the pair to the user lexicon (slot 0) with merging on; the texts are passed on as they
// are (GBK). Nothing is written to disk before shutdown saves the user lexicon.
void AddUserEntry(ManagementHost& h, const std::string& source, const std::string& rendering);

// The refusal of an entry that a GBK lexicon cannot store: empty when every character of
// `text` has a GBK code, else a message naming the first one that has none and where it stood
// (`field`: 原文, 译文, 解释), e.g. 原文中的字符“😀”（U+1F600）不能存入词库……
QString NoGbkCharacterMessage(const QString& text, const char* fieldUtf8);

void actAddDirectExecute(ManagementHost& h); // F8
void actAdjustExecute(ManagementHost& h);    // F9
void mnuMergeClick(ManagementHost& h);       // 批量添加(&B)
void mnuProClick(ManagementHost& h);         // 专业词库...(&P)
void mnuIMESetupClick(ManagementHost& h);    // 输入法组合方式...(&I)
void actHelpExecute(ManagementHost& h);      // F1
void mnuWebSiteClick(ManagementHost& h);
void mnuMovieClick(ManagementHost& h);
void mnuAboutClick(ManagementHost& h);

// Connects an action to a command, run inside the error guard. The host must outlive the
// action's connections: the connection lives as long as the host's Window().
void ConnectCommand(ManagementHost& h, QAction* action, void (*command)(ManagementHost&));

} // namespace qb
