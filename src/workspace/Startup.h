// The program's start and end, as a library so tests can run it:
// single instance, splash and busy pointer, the windows in their order, the message loop,
// shutdown on close, on SIGTERM/SIGINT/SIGHUP and at the end of the desktop session.
#pragma once

#include "MainUnit.h"

#include <QString>

#include <memory>
#include <string>

namespace qb {

class TSingleInstance;
class TTerminationSignals;

struct TProgramSetup {
    std::string programFolder; // the executable's folder, with its trailing '/'
    QString settingsFile;      // the settings store
    QString instanceName; // the single-instance socket file (a bare name: in the user's runtime folder)
    TUi* ui = nullptr;         // null: the real message boxes
    bool handleSignals = true; // install the SIGTERM/SIGINT/SIGHUP handlers
    std::string panesFile;     // where the panes are kept; empty: not kept
    std::string memoryFile;    // the translation memory; empty: none
    std::string dataFolder;    // the user's data folder, made private at start; empty: untouched
    // The whole-clause converter (TWorkspaceSetup::makeConverter); null: the tables alone.
    std::function<std::unique_ptr<ClauseConverter>()> makeConverter;
};

class TProgram {
public:
    explicit TProgram(TProgramSetup setup);
    ~TProgram();

    // Claims the single instance, shows the splash and makes the main window (lexicons,
    // settings, tables): false when another instance runs (it was asked to come to the front, and
    // nothing was loaded or saved here). On true the main window is shown.
    bool Start();
    // Closes the splash and runs the message loop until the main window closes, then FormDestroy.
    int Run();
    // FormDestroy and the windows' end (Run does this itself).
    void Finish();

    TfrmMainQB* MainWindow() const { return frmMainQB_.get(); }
    TSingleInstance* Instance() const { return instance_.get(); }

private:
    TProgramSetup setup_;
    std::unique_ptr<TSingleInstance> instance_;
    std::unique_ptr<TTerminationSignals> signals_;
    std::unique_ptr<TfrmMainQB> frmMainQB_;
};

// The real program's setup: the user's folders, store, instance name, translation memory and
// whole-clause conversion with the user's pinyin history.
TProgramSetup UserProgramSetup();

// main's whole body: runs UserProgramSetup().
int RunQuillbridge();

} // namespace qb
