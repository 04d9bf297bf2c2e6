// reTargetKeyDown as a chain of steps over the tables of KeyTables.h.
#include "ImeKeyHandler.h"

namespace qb {

CandidateSources ImeHost::Sources() const {
    CandidateSources s;
    s.sentenceKeys = &SentenceCodeKeys();
    s.sentenceWords = &SentenceCodeWords();
    for (int id = 1; id <= 4; ++id) {
        s.schemes[id - 1] = &Scheme(id);
        s.use[id - 1] = SchemeOn(id);
    }
    s.order = SchemeOrder();
    s.converter = Converter();
    s.senseKeys = SentenceSenseKeys();
    s.senseWords = SentenceSenseWords();
    s.classicOrder = ClassicOrder();
    if (const SchemeUsage* usage = Usage()) s.lead = usage->Leading(s.use, s.order);
    return s;
}

void ImeKeyHandler::Insert(std::string_view gbk) {
    host_.MarkTargetChinese();
    host_.ReplaceTargetSelection(gbk);
}

void ImeKeyHandler::Cancel() {
    composer_.HideBox();
    composer_.SetCode({});
}

// Space or a digit with a page shown. A reading of only the first syllables leaves the rest of
// the code composing: with "zhuangtaima", picking 状态 inserts it and the box goes on with "ma"
// and its candidates. A conversion pick is learned, so the converter offers it first next time.
// A digit past the last row of a short page inserts nothing: inserting the empty text would
// delete the pane's selection. It ends the composition as a pick does. After a pick that ends
// the composition the window offers the words likely to follow (prediction), unless
// ClassicOrder is on.
void ImeKeyHandler::PickRow(int d) {
    const std::string code = composer_.Code();
    const bool predicted = composer_.PredictionsVisible();
    const PickedCandidate p = composer_.Pick(d);
    if (p.text.empty()) {
        if (predicted) composer_.HidePredictions();
        composer_.SetCode(p.rest);
        return;
    }
    Insert(p.text);
    if (SchemeUsage* usage = host_.Usage()) usage->Credit(p.source);
    if (p.scheme != 0 && !p.cut)
        if (ClauseConverter* converter = host_.Converter())
            converter->Learn(p.scheme, code, ClauseCandidate{p.text, p.codeLength});
    if (predicted) composer_.HidePredictions();
    composer_.SetCode(p.rest);
    if (p.rest.empty()) OfferPredictions();
}

void ImeKeyHandler::OfferPredictions() {
    if (host_.ClassicOrder() || !host_.PredictionOn()) return;
    StringList words;
    const StringList pieces = host_.SentencePieces();
    const StringList matchWords = host_.SentenceMatchWords();
    BuildPredictions(host_.TypedForSentence(), host_.SentencePhrases(), host_.Converter(), words,
                     &pieces, &matchWords);
    composer_.ShowPredictions(words);
}

// With full-width punctuation on and nothing being composed, a punctuation key inserts
// its full-width text and is consumed. While composing, "," reaches the pane as typed and
// ; . ' join the code (in 双拼 "womfy;gl" is 我们应该: its ";" is the final ing).
bool ImeKeyHandler::Punctuation(int& key, Modifiers m) {
    if (!host_.FullWidthPunct() || composer_.BoxVisible()) return false;
    const qb::Punctuation p = PunctuationFor(key, m, SingleQuoteClosing, DoubleQuoteClosing);
    if (p.text.empty()) return false;
    if (composer_.PredictionsVisible()) composer_.HidePredictions();
    KeyHandled = true;
    key = 0;
    Insert(p.text);
    if (p.flipSingle) SingleQuoteClosing = !SingleQuoteClosing;
    if (p.flipDouble) DoubleQuoteClosing = !DoubleQuoteClosing;
    return true;
}

// Every key the earlier steps left alone: the key table decides (a letter joins the code,
// a digit picks, [ and ] page, Escape cancels).
void ImeKeyHandler::Dispatch(int& key, Modifiers m) {
    // The prediction list answers a digit, Space and the paging keys; a letter starts a new code
    // over it, and any other key takes it away and goes on as usual.
    if (composer_.PredictionsVisible() && !composer_.BoxVisible()) {
        const bool keep = key == vk::Space || (key >= vk::Digit0 && key <= vk::Digit9) ||
                          key == vk::LBracket || key == vk::RBracket || key == vk::LWin ||
                          key == vk::Apps;
        if (key == vk::Escape) {
            composer_.HidePredictions();
            KeyHandled = true;
            key = 0;
            return;
        }
        if (!keep) composer_.HidePredictions();
    }
    const ComposeState state{composer_.BoxVisible(), composer_.CandidatesVisible(),
                             host_.FullWidthChars()};
    const KeyDecision d = DecideKey(key, m, state);
    const int k = key;
    if (d.consumed) {
        KeyHandled = true;
        key = 0;
    }
    switch (d.action) {
    case KeyAction::None: break;
    case KeyAction::Cancel: Cancel(); break;
    case KeyAction::ShortenCode: {
        std::string code = composer_.Code();
        if (!code.empty()) code.pop_back();
        composer_.SetCode(code); // may commit a lone exact candidate
        if (composer_.Code().empty()) composer_.HideBox();
        host_.FocusTarget();
        break;
    }
    case KeyAction::PickFirst: PickRow(1); break;
    case KeyAction::PickDigit: PickRow(k - vk::Digit0); break;
    case KeyAction::FullWidthDigit: Insert(FullWidthDigit(k)); break;
    case KeyAction::FullWidthLetter: Insert(FullWidthLetter(k, m)); break;
    case KeyAction::AppendLetter:
        composer_.ShowBox();
        composer_.SetCode(composer_.Code() + static_cast<char>(k + 32));
        host_.FocusTarget();
        break;
    case KeyAction::AppendCodeChar:
        composer_.SetCode(composer_.Code() + CodeCharFor(k));
        host_.FocusTarget();
        break;
    case KeyAction::PageBack: composer_.ShowPage(false); break;
    case KeyAction::PageForward: composer_.ShowPage(true); break;
    }
}

bool ImeKeyHandler::WouldConsume(int key, Modifiers m) const {
    if (!host_.ImeEnabled() || m == kModCtrl) return false;
    if (host_.FullWidthPunct() && !composer_.BoxVisible() &&
        !PunctuationFor(key, m, SingleQuoteClosing, DoubleQuoteClosing).text.empty())
        return true;
    const ComposeState state{composer_.BoxVisible(), composer_.CandidatesVisible(),
                             host_.FullWidthChars()};
    return DecideKey(key, m, state).consumed;
}

void ImeKeyHandler::KeyDown(int& key, Modifiers m) {
    KeyHandled = false;
    if (!host_.ImeEnabled() || m == kModCtrl) return; // Ctrl shortcuts reach the pane
    if (Punctuation(key, m)) return;
    Dispatch(key, m);
}

} // namespace qb
