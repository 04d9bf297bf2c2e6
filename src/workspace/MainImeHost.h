// The input method plugged into the main window: the window forwards its target pane's key
// events here (TTargetKeyHandler), and the input method reads the window's pane, mode flags
// and tables through ImeHost. It owns the controller and so the composition box and the
// candidate window (both hidden until the first letter).
#pragma once

#include "ImeController.h"
#include "WindowHosts.h"

namespace qb {

class TMainImeHost final : public TTargetKeyHandler, public ImeHost {
public:
    explicit TMainImeHost(TImeWindow& main);

    TImeController& Controller() { return controller_; }

    // TTargetKeyHandler: true = consumed, the pane never sees the event.
    bool KeyDown(QKeyEvent& e) override { return controller_.KeyDown(e); }
    bool KeyPress(QKeyEvent& e) override { return controller_.KeyPress(e); }
    bool KeyUp(QKeyEvent& e) override { return controller_.KeyUp(e); }
    void Enter() override {} // the main window marks the pane and places the pop-ups itself
    bool ClaimsShortcut(QKeyEvent& e) override { return controller_.ClaimsShortcut(e); }

    // ImeHost over the main window.
    void MarkTargetChinese() override;
    void ReplaceTargetSelection(std::string_view gbk) override;
    void FocusTarget() override;
    bool ImeEnabled() const override;
    bool FullWidthPunct() const override;
    bool FullWidthChars() const override;
    const StringList& SentenceCodeKeys() const override;
    const StringList& SentenceCodeWords() const override;
    const SchemeTables& Scheme(int id) const override;
    bool SchemeOn(int id) const override;
    std::array<int, 4> SchemeOrder() const override;
    ClauseConverter* Converter() const override;
    bool ClassicOrder() const override;
    const StringList* SentenceSenseKeys() const override {
        return &main_.SentenceLists().SentenceSenseKeys;
    }
    const StringList* SentenceSenseWords() const override {
        return &main_.SentenceLists().SentenceSenseWords;
    }
    bool PredictionOn() const override { return main_.Modes().PredictionOn; }
    StringList SentencePhrases() const override { return main_.SentenceLists().SentencePhrases; }
    StringList SentencePieces() const override { return main_.SentenceLists().SentencePieces; }
    StringList SentenceMatchWords() const override {
        return main_.SentenceLists().SentenceMatchWords;
    }
    std::string TypedForSentence() const override { return main_.TypedForSentence(); }
    SchemeUsage* Usage() const override { return main_.SchemePickUsage(); }

private:
    TImeWindow& main_;
    TImeController controller_;
};

} // namespace qb
