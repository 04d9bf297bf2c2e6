#include "CompoUnit.h"

#include "CandidatsUnit.h"
#include "GbkText.h"

#include <QLineEdit>
#include <QPalette>

namespace qb {

TfrmBianma::TfrmBianma(TfrmCandidates& candidates, Lookup lookup, Commit commit, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                          Qt::WindowDoesNotAcceptFocus),
      candidates_(candidates), lookup_(std::move(lookup)), commit_(std::move(commit)) {
    setObjectName("frmBianma");
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
    setFixedSize(106, 26);

    editCompose = new QLineEdit(this);
    editCompose->setObjectName("editCompose");
    editCompose->setGeometry(0, 1, 105, 25);
    editCompose->setFocusPolicy(Qt::NoFocus);
    editCompose->setAttribute(Qt::WA_InputMethodEnabled, false); // the platform's IME stays closed
    editCompose->setAttribute(Qt::WA_TransparentForMouseEvents);
    editCompose->setFrame(false);
    QPalette pal = editCompose->palette();
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        pal.setColor(group, QPalette::Text, Qt::blue);
        pal.setColor(group, QPalette::Base, pal.color(QPalette::Active, QPalette::Button));
    }
    editCompose->setPalette(pal);
    // Synchronous: setText() runs the handler before it returns (also from inside the handler).
    connect(editCompose, &QLineEdit::textChanged, this, [this] { editComposeChange(); });
}

std::string TfrmBianma::Code() const { return ToGbk(editCompose->text()); }

void TfrmBianma::SetCode(std::string_view code) {
    const QString text = FromGbk(code);
    if (text == editCompose->text())
        editComposeChange(); // the same text: Qt sends no change, but the change handler must still run
    else
        editCompose->setText(text);
}

bool TfrmBianma::CandidatesVisible() const { return candidates_.isVisible(); }

void TfrmBianma::ShowPredictions(const StringList& words) {
    Predicting = !words.empty();
    if (!Predicting) return;
    CandidateBuffer.clear();
    for (const std::string& w : words) {
        CandidateRow& row = CandidateBuffer.emplace_back();
        row.text = w;
        row.origin = CandidateOrigin::Prediction;
    }
    CandidateCount = static_cast<int>(words.size());
    PageNo = 0;
    ShowPage(true);
    candidates_.show();
}

bool TfrmBianma::PredictionsVisible() const { return Predicting && candidates_.isVisible(); }

void TfrmBianma::HidePredictions() {
    if (!Predicting) return;
    Predicting = false;
    CandidateBuffer.clear();
    CandidateCount = 0;
    PageNo = 0;
    candidates_.hide();
    candidates_.ClearRows();
}

void TfrmBianma::editComposeChange() {
    Predicting = false;
    const std::string code = Code();
    CandidateBuffer.clear();
    lookup_(code, CandidateBuffer);
    CandidateCount = static_cast<int>(CandidateBuffer.size());
    switch (DecideCompose(CandidateBuffer)) {
    case ComposeOutcome::NoCandidates:
        candidates_.hide();
        candidates_.ClearRows();
        if (code.empty()) hide();
        break;
    case ComposeOutcome::ShowFirstPage:
        PageNo = 0;
        ShowPage(true);
        candidates_.show();
        break;
    case ComposeOutcome::Commit: {
        const std::string word = CandidateBuffer.front().text;
        commit_(word);
        candidates_.ClearRows();
        candidates_.hide();
        hide();
        editCompose->setText(QString()); // runs this handler again with the empty code
        break;
    }
    }
}

void TfrmBianma::ShowPage(bool forward) {
    PageNo = StepPage(PageNo, CandidateCount, forward);
    if (PageNo == 0) {
        candidates_.hide();
        candidates_.ClearRows();
        return;
    }
    const PageText page = BuildPageText(CandidateBuffer, PageNo);
    static const std::string kZhongWen = "\xD6\xD0\xCE\xC4"; // 中文
    candidates_.resize(CandidateWindowWidth(candidates_.TextWidth(page.longest + kZhongWen)),
                       candidates_.height());
    candidates_.SetRowsText(page.text);
}

PickedCandidate TfrmBianma::Pick(int d) {
    PickedCandidate p;
    p.text = PickFromRows(candidates_.Rows(), d);
    if (p.text.empty() || PageNo <= 0) return p;
    const std::size_t index =
        static_cast<std::size_t>((PageNo - 1) * kPageSize + (d == 0 ? kPageSize : d) - 1);
    if (index >= CandidateBuffer.size()) return p;
    const CandidateRow& row = CandidateBuffer[index];
    p.rest = row.rest;
    p.scheme = row.scheme;
    p.source = row.source;
    const std::string code = Code();
    p.codeLength = code.size() > p.rest.size() ? code.size() - p.rest.size() : 0;
    // The rest drops 全拼's apostrophes in front ("xi'an" picked as 西 leaves "an"); the word
    // itself covers only "xi".
    while (p.codeLength > 0 && code[p.codeLength - 1] == '\'') --p.codeLength;
    p.cut = !row.prefix && row.text.size() > p.text.size();
    return p;
}

} // namespace qb
