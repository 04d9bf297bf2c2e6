// Plugs the input method into the main window without src/ime knowing src/workspace: a
// header-only adapter over any main window that has the workbench's fields (TfrmMainQB does):
//   Target (a pane with MarkChinese(), SetSelText(gbk), SetFocus()), ImeEnabled, FullWidthPunct,
//   FullWidthChars, SentenceCodeKeys, SentenceCodeWords, Tables (by scheme id - 1),
//   SchemeOn(id), SchemeOrder.
// `KeyBase` is the main window's key-handler interface (TTargetKeyHandler: virtual KeyDown,
// KeyPress, KeyUp taking QKeyEvent& and returning true when consumed, and Enter()).
//
//   ime_ = std::make_unique<qb::TMainIme<TTargetKeyHandler, TfrmMainQB>>(*this);
//   frmBianma = ime_->Controller().frmBianma();
//   frmCandidates = ime_->Controller().frmCandidates();
//   SetTargetKeyHandler(ime_.get());
#pragma once

#include "ImeController.h"

#include <QKeyEvent>

namespace qb {

template <class KeyBase, class Main>
class TMainIme : public KeyBase, public ImeHost {
public:
    explicit TMainIme(Main& main) : main_(main), controller_(*this) {}

    TImeController& Controller() { return controller_; }

    // KeyBase: the target pane's key events, forwarded by the main window.
    bool KeyDown(QKeyEvent& e) override { return controller_.KeyDown(e); }
    bool KeyPress(QKeyEvent& e) override { return controller_.KeyPress(e); }
    bool KeyUp(QKeyEvent& e) override { return controller_.KeyUp(e); }
    void Enter() override {} // the main window marks the pane and places the pop-ups itself
    bool ClaimsShortcut(QKeyEvent& e) override { return controller_.ClaimsShortcut(e); }

    // ImeHost over the main window's fields.
    void MarkTargetChinese() override { main_.Target.MarkChinese(); }
    void ReplaceTargetSelection(std::string_view gbk) override { main_.Target.SetSelText(gbk); }
    void FocusTarget() override { main_.Target.SetFocus(); }
    bool ImeEnabled() const override { return main_.ImeEnabled; }
    bool FullWidthPunct() const override { return main_.FullWidthPunct; }
    bool FullWidthChars() const override { return main_.FullWidthChars; }
    const StringList& SentenceCodeKeys() const override { return main_.SentenceCodeKeys; }
    const StringList& SentenceCodeWords() const override { return main_.SentenceCodeWords; }
    const SchemeTables& Scheme(int id) const override {
        return main_.Tables[static_cast<std::size_t>(id - 1)];
    }
    bool SchemeOn(int id) const override { return main_.SchemeOn(id); }
    std::array<int, 4> SchemeOrder() const override { return main_.SchemeOrder; }
    ClauseConverter* Converter() const override { return main_.Converter(); }

private:
    Main& main_;
    TImeController controller_;
};

} // namespace qb
