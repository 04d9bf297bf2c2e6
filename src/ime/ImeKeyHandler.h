// the key handler of the target pane as a chain of small steps, each of which says
// "consumed" or "not mine". Plain C++: the Qt side maps a key event to (virtual key, modifiers)
// with VirtualKeyMap, calls KeyDown, and swallows the event when KeyHandled is set.
#pragma once

#include "CandidateLookup.h"
#include "KeyTables.h"

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace qb {

// What the input method needs of the main window (TfrmMainQB): its target pane, its mode flags
// and its tables. The main window implements it; tests implement it with a plain text buffer.
class ImeHost {
public:
    virtual ~ImeHost() = default;
    // Target pane.
    virtual void MarkTargetChinese() = 0;                          // character set GB2312 (134)
    virtual void ReplaceTargetSelection(std::string_view gbk) = 0; // insert at caret if none
    virtual void FocusTarget() = 0;
    // Mode flags.
    virtual bool ImeEnabled() const = 0;
    virtual bool FullWidthPunct() const = 0;
    virtual bool FullWidthChars() const = 0;
    // Tables: the selected sentence's code table first, then the four schemes, each with its
    // switch, in the order Pos1..Pos4 gives.
    virtual const StringList& SentenceCodeKeys() const = 0;
    virtual const StringList& SentenceCodeWords() const = 0;
    virtual const SchemeTables& Scheme(int id) const = 0; // id 1..4
    virtual bool SchemeOn(int id) const = 0;              // useQp, useSp, useZr, useWb
    virtual std::array<int, 4> SchemeOrder() const = 0;   // Pos1..Pos4
    // The whole-clause converter; null: the tables alone (no library data, or a test).
    virtual ClauseConverter* Converter() const { return nullptr; }
    // The setting ClassicOrder (按码表顺序排列候选): the tables' order and no prediction.
    virtual bool ClassicOrder() const { return false; }
    // The sentence's senses under their codes (BuildSenseCodeTable); null: none.
    virtual const StringList* SentenceSenseKeys() const { return nullptr; }
    virtual const StringList* SentenceSenseWords() const { return nullptr; }
    // Prediction after a pick (选项 → 预测下一个词), the sentence's phrases, and the text typed for
    // the sentence so far (GBK).
    virtual bool PredictionOn() const { return false; }
    virtual StringList SentencePhrases() const { return {}; }
    virtual StringList SentencePieces() const { return {}; } // SensePieceLines
    // The words of the translation memory's best match (MatchWordLines).
    virtual StringList SentenceMatchWords() const { return {}; }
    virtual std::string TypedForSentence() const { return {}; }
    // The picks so far, by scheme (SchemeUsage): credited at each pick, and the schemes it
    // infers lead the list. Null: every enabled scheme leads and nothing is credited.
    virtual SchemeUsage* Usage() const { return nullptr; }

    // The sources of LookupCandidates as read now from the accessors above.
    CandidateSources Sources() const;
};

// What the key handler needs of the composition box and candidate window.
class ImeComposer {
public:
    virtual ~ImeComposer() = default;
    virtual std::string Code() const = 0;
    virtual void SetCode(std::string_view code) = 0; // runs editComposeChange synchronously
    virtual bool BoxVisible() const = 0;
    virtual void ShowBox() = 0;
    virtual void HideBox() = 0;
    virtual bool CandidatesVisible() const = 0;
    // Row d of the page (1-9, 0 the tenth) with what stays of the code; empty text beyond the rows.
    virtual PickedCandidate Pick(int d) = 0;
    // Shows `words` in the candidate window with no code composed: a digit or Space picks one,
    // a letter starts a new code. An empty list hides the window.
    virtual void ShowPredictions(const StringList& words) { (void)words; }
    virtual bool PredictionsVisible() const { return false; }
    virtual void HidePredictions() {}
    virtual void ShowPage(bool forward) = 0;
};

class ImeKeyHandler {
public:
    ImeKeyHandler(ImeHost& host, ImeComposer& composer) : host_(host), composer_(composer) {}

    // reTargetKeyDown: key is writable; 0 after the call means consumed.
    void KeyDown(int& key, Modifiers m);
    // Whether KeyDown would consume this key now, without doing anything. The window asks it
    // before the application's shortcuts see the key: Alt+E must join the code as "e" rather
    // than open the menu whose mnemonic is E.
    bool WouldConsume(int key, Modifiers m) const;
    // reTargetKeyPress: the character becomes 0 when the key was consumed.
    void KeyPress(char16_t& ch) const {
        if (KeyHandled) ch = 0;
    }
    // reTargetKeyUp: the key becomes 0 when the key was consumed.
    void KeyUp(int& key) const {
        if (KeyHandled) key = 0;
    }

    bool KeyHandled = false;
    bool SingleQuoteClosing = false; // persist for the run: the alternation spans sentences
    bool DoubleQuoteClosing = false;

private:
    void Insert(std::string_view gbk);
    void Cancel();
    void PickRow(int d);
    void OfferPredictions();
    bool Punctuation(int& key, Modifiers m);
    void Dispatch(int& key, Modifiers m);

    ImeHost& host_;
    ImeComposer& composer_;
};

} // namespace qb
