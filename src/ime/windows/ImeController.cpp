#include "ImeController.h"

#include "VirtualKeyMap.h"

#include <QEvent>
#include <QKeyEvent>

namespace qb {

TImeController::TImeController(ImeHost& host, QObject* parent)
    : QObject(parent), host_(host), candidates_(std::make_unique<TfrmCandidates>()),
      bianma_(std::make_unique<TfrmBianma>(
          *candidates_,
          [this](const std::string& code, CandidateRows& rows) { LookupCandidates(code, rows); },
          [this](const std::string& word) { host_.ReplaceTargetSelection(word); })),
      keys_(host, *bianma_) {}

TImeController::~TImeController() = default;

void TImeController::LookupCandidates(const std::string& code, CandidateRows& output) {
    lookup_.LookupCandidates(code, host_.Sources(), output);
}

bool TImeController::KeyDown(QKeyEvent& e) {
    int key = VirtualKeyFromEvent(e);
    keys_.KeyDown(key, ModifiersFromEvent(e)); // a key without a code (0) only resets KeyHandled
    return keys_.KeyHandled;
}

bool TImeController::KeyUp(QKeyEvent& e) const {
    int key = VirtualKeyFromEvent(e);
    keys_.KeyUp(key);
    return keys_.KeyHandled;
}

bool TImeController::ClaimsShortcut(const QKeyEvent& e) const {
    return keys_.WouldConsume(VirtualKeyFromEvent(e), ModifiersFromEvent(e));
}

bool TImeController::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::ShortcutOverride && ClaimsShortcut(static_cast<QKeyEvent&>(*event))) {
        event->accept();
        return true;
    }
    if (event->type() == QEvent::KeyPress) {
        auto& e = static_cast<QKeyEvent&>(*event);
        const bool down = KeyDown(e);
        return KeyPress(e) || down;
    }
    if (event->type() == QEvent::KeyRelease) return KeyUp(static_cast<QKeyEvent&>(*event));
    return QObject::eventFilter(watched, event);
}

} // namespace qb
