#include "Startup.h"

#include "ClauseConverter.h"
#include "Dialogs.h"
#include "Fonts.h"
#include "GbkText.h"
#include "Icons.h"
#include "QtTranslations.h"
#include "SettingsStore.h"
#include "SingleInstance.h"
#include "Splash.h"
#include "Termination.h"
#include "UserFolders.h"

#include <QApplication>
#include <QCursor>
#include <QSessionManager>

namespace qb {

TProgram::TProgram(TProgramSetup setup) : setup_(std::move(setup)) {}

TProgram::~TProgram() { Finish(); }

bool TProgram::Start() {
    // One copy a user: a copy already running is brought to the front and this start ends,
    // before anything is loaded or shown.
    instance_ = std::make_unique<TSingleInstance>(setup_.instanceName);
    if (!instance_->Claim()) return false;
    if (!instance_->Problem().isEmpty()) {
        // A /tmp/quillbridge-<uid> that another user made first: the user hears of it rather
        // than meeting a second window of their own later.
        TQtUi realUi;
        (setup_.ui ? setup_.ui : &realUi)->ShowMessage(instance_->Problem());
    }
    // Before anything is written into it: the client's text is the user's alone.
    if (!setup_.dataFolder.empty()) MakeDataFolderPrivate(setup_.dataFolder);

    InstallFontSubstitutions();
    InstallQtChineseTranslations(); // before the first message box or file dialog
    // The splash is painted at once, before the lexicons load.
    TSplashForm splash;
    splash.ShowNow();
    // The busy pointer until the main window is shown.
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QApplication::setApplicationDisplayName(QString::fromUtf8("文渡翻译环境"));
    QGuiApplication::setDesktopFileName(QStringLiteral("quillbridge")); // data/quillbridge.desktop
    QApplication::setWindowIcon(MakeIcon(TIcon::App));
    // The main window first (making it loads the lexicons and tables), then the pop-ups that
    // need them.
    TWorkspaceSetup ws;
    ws.programFolder = setup_.programFolder;
    ws.settingsFile = setup_.settingsFile;
    ws.ui = setup_.ui;
    ws.makeConverter = setup_.makeConverter;
    ws.panesFile = setup_.panesFile;
    ws.memoryFile = setup_.memoryFile;
    frmMainQB_ = std::make_unique<TfrmMainQB>(ws);
    frmMainQB_->CreateOtherWindows();
    QObject::connect(instance_.get(), &TSingleInstance::activateRequested, frmMainQB_.get(),
                     [w = frmMainQB_.get()] { w->ActivateFromOutside(); });
    splash.close();
    QApplication::restoreOverrideCursor();
    frmMainQB_->show();

    if (setup_.handleSignals)
        signals_ = std::make_unique<TTerminationSignals>([w = frmMainQB_.get()] { w->close(); });
    return true;
}

int TProgram::Run() {
    if (!frmMainQB_) return 0;
    QObject::connect(frmMainQB_.get(), &TfrmMainQB::closed, qApp, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    // The end of the desktop session closes the window like the user would.
    QObject::connect(qApp, &QGuiApplication::commitDataRequest, frmMainQB_.get(),
                     [w = frmMainQB_.get()](QSessionManager&) { w->close(); });
    const int rc = QApplication::exec();
    Finish();
    return rc;
}

void TProgram::Finish() {
    // The handlers are given back to the system only after the saving: with the defaults back
    // first, a SIGTERM during the save (the session ending at logout) would kill the process
    // between two lexicon files.
    if (signals_) signals_->IgnoreFromNow();
    if (frmMainQB_) {
        frmMainQB_->hide();
        frmMainQB_->FormDestroy();
        frmMainQB_.reset();
    }
    signals_.reset();
    instance_.reset();
}

TProgramSetup UserProgramSetup() {
    TProgramSetup setup;
    setup.programFolder = ProgramFolder();
    setup.settingsFile = UserSettingsFile();
    setup.instanceName = QStringLiteral("qbridge10.sock"); // in the user's InstancePlace()
    setup.dataFolder = UserDataFolder();
    setup.panesFile = UserDataFolder() + "panes.state";
    setup.memoryFile = TranslationMemoryFile();
    // The conversion learns into the user's own history; without the library's data the
    // maker gives null and the input method types from the tables.
    setup.makeConverter = [] {
        ClauseConverterOptions options;
        options.historyPath = PinyinHistoryFile();
        options.loadInBackground = true;
        return MakeClauseConverter(options);
    };
    return setup;
}

int RunQuillbridge() {
    TProgram program(UserProgramSetup());
    if (!program.Start()) return 0;
    return program.Run();
}

} // namespace qb
