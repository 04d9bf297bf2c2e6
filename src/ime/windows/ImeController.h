// The input method's hold on the target pane: creates the composition box and the candidate
// window (hidden), and runs reTargetKeyDown / KeyPress / KeyUp over Qt key events. The main
// window owns one, gives it an ImeHost (its pane, flags and tables) and forwards the target
// pane's key events to it (or installs it as an event filter on the pane).
#pragma once

#include "CandidateLookup.h"
#include "CandidatsUnit.h"
#include "CompoUnit.h"
#include "ImeKeyHandler.h"

#include <QObject>

#include <memory>

class QKeyEvent;

namespace qb {

class TImeController : public QObject {
    Q_OBJECT
public:
    explicit TImeController(ImeHost& host, QObject* parent = nullptr);
    ~TImeController() override;

    TfrmBianma* frmBianma() const { return bianma_.get(); }
    TfrmCandidates* frmCandidates() const { return candidates_.get(); }
    ImeKeyHandler& Keys() { return keys_; }

    // LookupCandidates of the main window over the host's tables as they are now.
    void LookupCandidates(const std::string& code, CandidateRows& output);

    // The handlers with the program's own key codes: key 0 after reTargetKeyDown = consumed.
    void reTargetKeyDown(int& key, Modifiers m) { keys_.KeyDown(key, m); }
    void reTargetKeyPress(char16_t& ch) const { keys_.KeyPress(ch); }
    void reTargetKeyUp(int& key) const { keys_.KeyUp(key); }

    // The same over Qt events; true = consumed, the pane must not see the event. A Qt key press
    // is key-down and key-press in one: KeyDown runs the handler, KeyPress then
    // reports KeyHandled for the same event. KeyUp takes the release.
    bool KeyDown(QKeyEvent& e);
    bool KeyPress(QKeyEvent& e) const {
        (void)e;
        return keys_.KeyHandled;
    }
    bool KeyUp(QKeyEvent& e) const;
    // A ShortcutOverride for the target pane: true when the input method takes the key, so that
    // no shortcut (a menu mnemonic: Alt+E) fires and the key arrives as a key press.
    bool ClaimsShortcut(const QKeyEvent& e) const;

    // Install on the target pane (QPlainTextEdit) to route its key events through the handler.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    ImeHost& host_;
    CandidateLookup lookup_;
    std::unique_ptr<TfrmCandidates> candidates_;
    std::unique_ptr<TfrmBianma> bianma_;
    ImeKeyHandler keys_;
};

} // namespace qb
