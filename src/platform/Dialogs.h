// The seam between the windows and everything that waits for the user or leaves the program:
// message boxes, file dialogs, shell open, the busy pointer. TQtUi is the real one; TScriptedUi
// records what would have been shown and answers as a test scripted it.
//
// Texts are QStrings here: a caller builds them at the boundary from GBK (FromGbk) and paths
// (QString::fromUtf8), so a message like 词库/home/ann/law.qbs没有找到！ keeps both intact.
#pragma once

#include <QString>
#include <QStringList>

#include <deque>
#include <exception>
#include <map>
#include <utility>
#include <vector>

class QWidget;

namespace qb {

// What an open-file dialog may take and where it starts.
struct TOpenFileRequest {
    // A typed name is taken whether or not such a file exists, so the program's own message
    // (词库/home/ann/law.qbs没有找到！) is what the user sees, not the dialog's "File not found".
    bool typedNameMayNotExist = false;
    // Where the dialog opens the first time (e.g. the program's lexicons/ folder); afterwards in
    // the folder of the last file chosen in a dialog that asked for the same first folder.
    // Empty: wherever the file dialogs were last.
    QString firstFolder;
};

class TUi {
public:
    virtual ~TUi() = default;
    // A modal message box with one text and an OK button.
    virtual void ShowMessage(const QString& text) = 0;
    // A question with Yes and No; true for Yes.
    virtual bool AskYesNo(const QString& text) = 0;
    // Open-file dialog: the chosen files, empty when cancelled. Only existing files unless the
    // request says otherwise.
    virtual QStringList OpenFiles(const QString& title, const QString& filter, bool several,
                                  const TOpenFileRequest& request = {}) = 0;
    // Save-file dialog: the chosen name, empty when cancelled. The dialog asks before
    // overwriting when `askOverwrite`.
    virtual QString SaveFile(const QString& title, const QString& filter, bool askOverwrite) = 0;
    // Opens a local file or a web address with the desktop's handler; the result is not examined.
    virtual void OpenUrl(const QString& urlOrPath) = 0;
    virtual void SetBusy(bool busy) = 0;
    // The parent of the modal boxes (may be null).
    virtual void SetParentWindow(QWidget* parent) { (void)parent; }
};

class TQtUi : public TUi {
public:
    void ShowMessage(const QString& text) override;
    bool AskYesNo(const QString& text) override;
    QStringList OpenFiles(const QString& title, const QString& filter, bool several,
                          const TOpenFileRequest& request = {}) override;
    QString SaveFile(const QString& title, const QString& filter, bool askOverwrite) override;
    void OpenUrl(const QString& urlOrPath) override;
    void SetBusy(bool busy) override;
    void SetParentWindow(QWidget* parent) override { parent_ = parent; }

private:
    QWidget* parent_ = nullptr;
    // TOpenFileRequest::firstFolder -> the folder of the last file chosen in such a dialog.
    std::map<QString, QString> lastFolders_;
};

// Space the window manager's title bar needs beside its caption: the window icon, the close
// (and often minimise and maximise) buttons, the margins. A message box is made at least the
// caption's width plus this.
inline constexpr int kTitleBarReserve = 160;

// Test double: records every message and answers from queues (empty queue: No / cancel).
class TScriptedUi : public TUi {
public:
    void ShowMessage(const QString& text) override { messages.push_back(text); }
    bool AskYesNo(const QString& text) override;
    QStringList OpenFiles(const QString& title, const QString& filter, bool several,
                          const TOpenFileRequest& request = {}) override;
    QString SaveFile(const QString& title, const QString& filter, bool askOverwrite) override;
    void OpenUrl(const QString& urlOrPath) override { openedUrls.push_back(urlOrPath); }
    void SetBusy(bool busy) override { busyCalls.push_back(busy); }

    std::vector<QString> messages;
    std::vector<QString> questions;
    std::vector<QString> openedUrls;
    std::vector<bool> busyCalls;
    std::vector<TOpenFileRequest> openRequests; // one per OpenFiles call
    std::deque<bool> yesNoAnswers;
    std::deque<QStringList> openAnswers;
    std::deque<QString> saveAnswers;
};

// The busy pointer for the life of a scope, restored also when the scope is left by an error.
class TBusyPointer {
public:
    explicit TBusyPointer(TUi& ui) : ui_(ui) { ui_.SetBusy(true); }
    ~TBusyPointer() { ui_.SetBusy(false); }
    TBusyPointer(const TBusyPointer&) = delete;
    TBusyPointer& operator=(const TBusyPointer&) = delete;

private:
    TUi& ui_;
};

// The application's general error handler: runs a handler, and when it fails shows
// the error's message in a message box and returns false. No exception ever reaches Qt's event
// loop. Error messages carry paths in the system's bytes (UTF-8): "Cannot open file /a/b.qbs".
template <class F>
bool Guarded(TUi& ui, F&& handler) {
    try {
        std::forward<F>(handler)();
        return true;
    } catch (const std::exception& e) {
        ui.ShowMessage(QString::fromUtf8(e.what()));
    } catch (...) {
        ui.ShowMessage(QStringLiteral("Unknown error"));
    }
    return false;
}

} // namespace qb
