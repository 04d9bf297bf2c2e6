// The main window's commands for growing the lexicons, for help and about: F8, F9, 批量添加,
// 专业词库..., 输入法组合方式..., F1, 网站, 下载电影教学..., 关于. They act on the main window
// through its public members (Dicts, the panes, the scheme switches, ProcessSentence,
// LoadSchemeTables, Ui) and are connected to its actions by InstallManagementCommands.
#pragma once

#include "LexiconTasks.h"

#include <string>

namespace qb {

class TfrmMainQB;
class TfrmAddword;

// Connects mnuMerge, actAddDirect, actAdjust, mnuPro, mnuIMESetup, actHelp, mnuWebSite,
// mnuMovie and mnuAbout of `w` to the commands below (each inside the window's error guard)
// and makes the add-entry dialog frmAddword. Called once, after CreateOtherWindows.
void InstallManagementCommands(TfrmMainQB& w);

// Adds the pair to the user lexicon (slot 0) with merging on; the texts are passed on as they
// are (GBK). Nothing is written to disk until the lexicon is freed.
void AddUserEntry(TfrmMainQB& w, const std::string& source, const std::string& rendering);

void actAddDirectExecute(TfrmMainQB& w); // F8
void actAdjustExecute(TfrmMainQB& w);    // F9
void mnuMergeClick(TfrmMainQB& w);       // 批量添加(&B)
void mnuProClick(TfrmMainQB& w);         // 专业词库...(&P)
void mnuIMESetupClick(TfrmMainQB& w);    // 输入法组合方式...(&I)
void actHelpExecute(TfrmMainQB& w);      // F1
void mnuWebSiteClick(TfrmMainQB& w);
void mnuMovieClick(TfrmMainQB& w);
void mnuAboutClick(TfrmMainQB& w);

// The add-entry dialog of `w` (made by InstallManagementCommands, or on first use).
TfrmAddword& AddwordDialog(TfrmMainQB& w);

// The main window's Dicts as the lexicon manager sees them.
class MainWindowLexicons : public LexiconHost {
public:
    explicit MainWindowLexicons(TfrmMainQB& w) : w_(w) {}
    int SlotCount() const override;
    TQbDict* Slot(int index) const override;
    int IndexOfDict(const std::string& fileName) const override;
    void OpenDict(const std::string& fileName) override;
    void CloseDict(const std::string& fileName) override;
    std::string ProgramFolder() const override;

private:
    TfrmMainQB& w_;
};

} // namespace qb
