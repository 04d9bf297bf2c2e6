// TfrmMainQB: sentence selection, phrase suggestions and input-window placement,
// browse mode and the example text.
#include "MainUnit.h"

#include "DocumentMenu.h"
#include "ExplanUnit.h"
#include "GbkText.h"
#include "MainImeHost.h"
#include "PopSourceUnit.h"
#include "SentenceInHand.h"
#include "SentenceLogic.h"
#include "WindowPlacement.h"

#include <QGuiApplication>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QScreen>
#include <QStatusBar>
#include <QTextBlock>
#include <QToolButton>

#include <algorithm>

namespace qb {

namespace {
QSize ScreenSize(const QWidget* w) {
    QScreen* s = w->screen() ? w->screen() : QGuiApplication::primaryScreen();
    return s ? s->geometry().size() : QSize(1024, 768);
}
} // namespace

// ---- sentence selection ----

namespace {
// The next unit of an open document, whose units stand one a line with a blank line between
// two: the line after the selection, or the caret's own line when nothing is selected. A unit
// is translated whole, so "Saved. Close the window." is one pair, as a PO editor's memory holds
// it. At the last unit the selection stays.
TByteSelection NextUnit(const std::string& text, int start, int length) {
    std::size_t pos = std::size_t(std::max(0, start));
    if (length > 0) {
        pos += std::size_t(length);
    } else {
        const std::size_t eol = pos == 0 ? std::string::npos : text.rfind('\n', pos - 1);
        pos = eol == std::string::npos ? 0 : eol + 1;
    }
    while (pos < text.size() &&
           (text[pos] == '\n' || text[pos] == '\r' || text[pos] == ' ' || text[pos] == '\t'))
        ++pos;
    if (pos >= text.size()) return {start, length};
    std::size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    if (end > pos && text[end - 1] == '\r') --end;
    return {int(pos), int(end - pos)};
}
} // namespace

void TfrmMainQB::FindSentence(bool extend) {
    const std::string text = Source.Text();
    // Ctrl+K still grows a selection sentence by sentence: a long unit can be taken so.
    TByteSelection sel = documents_ && documents_->IsOpen() && !extend
                             ? NextUnit(text, Source.SelStart(), Source.SelLength())
                             : qb::FindSentence(text, Source.SelStart(), Source.SelLength(), extend);
    Source.Select(sel.start, sel.length);
}

// The three ways the translator selects the next sentence; each one also records what was typed
// for the previous sentence and asks the translation memory for the new one's matches
// (SentenceChosen). Other callers of ProcessSentence do not.
void TfrmMainQB::DoGetASentExecute() {
    FindSentence(false);
    documents_->SourceSelected();
    ProcessSentence(Source.SelText());
    SentenceChosen();
}

void TfrmMainQB::DoExpandExecute() {
    FindSentence(true);
    documents_->SourceSelected();
    ProcessSentence(Source.SelText());
    SentenceChosen();
}

void TfrmMainQB::DoConfirmSelectionExecute() {
    documents_->SourceSelected();
    ProcessSentence(Source.SelText());
    SentenceChosen();
}

void TfrmMainQB::ProcessSentence(const std::string& sentence) {
    Target.SetFocus();
    // The words offered after the last pick belong to the last sentence: after 个人 and 信息,
    // Ctrl+J left 私人的 on screen and Space put it into the next translation. Ctrl keys never
    // reach the input method, so the new sentence takes them away here.
    if (ime_)
        if (TfrmBianma* box = ime_->Controller().frmBianma()) box->HidePredictions();
    StepOffset = 0;
    sentence_.SentencePhrases.clear();
    PoolLookups(sentence, Dicts, sentence_.SentencePhrases, &sentence_.SentenceReduced);
    Renderings.Apply(sentence_.SentencePhrases);
    BuildSentenceCodeTable(sentence);
    // The conversion prefers this sentence's renderings, and no longer the last one's.
    if (ClauseConverter* c = Converter())
        c->SetPreferredWords(SentenceSenses(sentence_.SentencePhrases, &sentence_.SentenceReduced));
    FillPhraseList();
    if (FollowSource && frmPopSource) {
        if (!frmPopSource->isVisible()) frmPopSource->show();
        frmPopSource->SetUnicodeText(Source.SelUnicode());
        frmPopSource->FitHeight();
        PlaceInputWindows();
    }
    Target.SetFocus();
}

// ---- phrase suggestions ----

TSchemeSet TfrmMainQB::EnabledSchemes() const {
    TSchemeSet schemes;
    schemes.tables = &Tables;
    for (int id = 1; id <= 4; ++id) schemes.on[std::size_t(id - 1)] = SchemeOn(id);
    return schemes;
}

void TfrmMainQB::BuildSentenceCodeTable(const std::string& sentence) {
    qb::BuildSentenceCodeTable(sentence, sentence_.SentencePhrases, EnabledSchemes(),
                               sentence_.SentenceCodeKeys, sentence_.SentenceCodeWords);
    sentence_.SentencePieces = SensePieceLines(sentence_.SentencePhrases, Converter());
    sentence_.SentenceMatchWords.clear(); // the memory answers later
    BuildSenseTable();
}

void TfrmMainQB::BuildSenseTable() {
    // All by their codes; the document's words are not predicted (they would crowd out the
    // library's next words, which learn them anyway).
    BuildSenseCodeTable({sentence_.SentencePhrases, sentence_.SentencePieces,
                         sentence_.SentenceMatchWords, Renderings.WordLines()},
                        EnabledSchemes(), sentence_.SentenceSenseKeys, sentence_.SentenceSenseWords);
}

void TfrmMainQB::FillPhraseList() {
    lbLongPhrase->clear();
    StringList inserted;
    const StringList lines =
        PhraseListLines(sentence_.SentencePhrases, &sentence_.SentenceReduced, &inserted);
    QStringList shown;
    for (const std::string& l : lines) shown << FromGbk(l);
    lbLongPhrase->addItems(shown);
    // A marked reduced form ("look forward to ← looking forward to") inserts the phrase alone.
    for (int i = 0; i < lbLongPhrase->count() && std::size_t(i) < inserted.size(); ++i)
        if (Trim(lines[std::size_t(i)]) != inserted[std::size_t(i)])
            lbLongPhrase->item(i)->setData(Qt::UserRole, FromGbk(inserted[std::size_t(i)]));
}

void TfrmMainQB::lbLongPhraseMouseUp(const QPoint& pos) {
    QListWidgetItem* item = lbLongPhrase->itemAt(pos);
    if (!item) return;
    Target.MarkChinese();
    const QVariant phrase = item->data(Qt::UserRole);
    Target.SetSelText(Trim(ToGbk(phrase.isValid() ? phrase.toString() : item->text())));
    Target.SetFocus();
}

void TfrmMainQB::reTargetSelectionChange() {
    Target.MarkChinese();
    PlaceInputWindows();
}

void TfrmMainQB::PlaceInputWindows() {
    Target.SetFocus();
    TPlacementInput in;
    const QPoint caret = Target.ClientScreenPos() + Target.CaretPos();
    in.caretX = caret.x();
    in.caretY = caret.y();
    const QSize screen = ScreenSize(this);
    in.screenW = screen.width();
    in.screenH = screen.height();
    if (frmPopSource) {
        in.widthP = frmPopSource->width();
        in.heightP = frmPopSource->height();
    }
    if (inputWindows_.box) {
        in.widthB = inputWindows_.box->width();
        in.heightB = inputWindows_.box->height();
    }
    if (inputWindows_.candidates) {
        in.widthL = inputWindows_.candidates->width();
        in.heightL = inputWindows_.candidates->height();
    }
    in.followSource = FollowSource;
    in.smartFollow = SmartFollow;
    in.stepOffset = StepOffset;
    const TPlacement out = PlaceInputWindowsCalc(in);
    if (out.moveP && frmPopSource) frmPopSource->move(out.leftP, out.topP);
    if (inputWindows_.box) inputWindows_.box->move(out.leftB, out.topB);
    if (inputWindows_.candidates) inputWindows_.candidates->move(out.leftL, out.topL);
}

void TfrmMainQB::actSmartFollowExecute() {
    SmartFollow = !SmartFollow;
    UpdateModeDisplay();
    reTargetSelectionChange();
}

void TfrmMainQB::actPredictionExecute() {
    PredictionOn = !PredictionOn;
    UpdateModeDisplay();
}

std::string TfrmMainQB::TypedForSentence() const {
    return inHand_ ? ToGbk(inHand_->Typed()) : std::string();
}

// F7: the first placeholder of the selected sentence ("{1}" of "Invalid key {1}.", standing for
// "%(key)r") that the translation's paragraph lacks, inserted at the caret as it is. Typed
// through the input method, "%(key)r" came out as "%（任命" and the export refused the unit.
void TfrmMainQB::actInsertPlaceholderExecute() {
    static const QRegularExpression kTag(QStringLiteral("\\{/?[0-9]+\\}"));
    const QString line = Target.Edit()->textCursor().block().text();
    for (auto it = kTag.globalMatch(Source.SelUnicode()); it.hasNext();) {
        const QString tag = it.next().captured();
        if (line.contains(tag)) continue;
        Target.SetSelUnicode(tag);
        Target.SetFocus();
        return;
    }
    statusBar()->showMessage(QString::fromUtf8("选定的原文里没有译文缺少的占位符。"), 5000);
}

void TfrmMainQB::actStepUpExecute() {
    --StepOffset;
    reTargetSelectionChange();
}

void TfrmMainQB::actStepDownExecute() {
    ++StepOffset;
    reTargetSelectionChange();
}

// ---- browse mode ----

void TfrmMainQB::actFindWordsExecute() {
    BrowseMode = !BrowseMode;
    if (BrowseMode) {
        if (frmPopSource) frmPopSource->hide();
        if (inputWindows_.box) inputWindows_.box->hide();
        if (inputWindows_.candidates) inputWindows_.candidates->hide();
    } else if (frmShowExplain) {
        frmShowExplain->hide();
    }
    if (btBrowseMode) btBrowseMode->setChecked(BrowseMode);
    UpdateModeDisplay();
}

void TfrmMainQB::reSourceMouseUp() {
    if (BrowseMode) ExplainSelection(Source.SelText());
}

void TfrmMainQB::ExplainSelection(const std::string& text) {
    if (text.empty() || !frmShowExplain) return;
    StringList pooled;
    TReducedFrom reduced;
    PoolLookups(text, Dicts, pooled, &reduced);
    TExplanation ex = BuildExplanation(std::move(pooled), &reduced);
    frmShowExplain->resize(ExplainWindowWidth(frmShowExplain->TextWidth(ex.longest)),
                           frmShowExplain->height());
    QStringList lines;
    for (const std::string& l : ex.lines) lines << FromGbk(l);
    frmShowExplain->MeanList->clear();
    frmShowExplain->MeanList->addItems(lines);
    PlaceExplainWindow();
}

void TfrmMainQB::PlaceExplainWindow() {
    const QPoint caret = Source.ClientScreenPos() + Source.CaretPos();
    const TPoint2 p =
        PlaceExplainCalc(caret.x(), caret.y(), frmShowExplain->width(), ScreenSize(this).width());
    frmShowExplain->move(p.x, p.y);
    frmShowExplain->show();
}

void TfrmMainQB::actFillExampleExecute() {
    Source.SetText(ExampleText());
    Source.SetSelStart(0);
}

} // namespace qb
