// TfrmBianma, the composition box: a pop-up that never takes the focus and shows the
// code as typed in `editCompose`. Every change of that text runs editComposeChange, which looks
// the code up, shows the first page in the candidate window or commits a lone exact candidate.
#pragma once

#include "ImeKeyHandler.h"

#include <QWidget>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

class QLineEdit;

namespace qb {

class TfrmCandidates;

class TfrmBianma : public QWidget, public ImeComposer {
    Q_OBJECT
public:
    // lookup: LookupCandidates(code, rows) of the main window; commit: replace the target
    // pane's selection with a candidate (the insertion point is already marked Chinese).
    using Lookup = std::function<void(const std::string& code, CandidateRows& rows)>;
    using Commit = std::function<void(const std::string& gbk)>;
    TfrmBianma(TfrmCandidates& candidates, Lookup lookup, Commit commit, QWidget* parent = nullptr);

    QLineEdit* editCompose = nullptr;
    CandidateRows CandidateBuffer;
    int CandidateCount = 0;
    int PageNo = 0;          // the page shown, from 1; 0: none
    bool Predicting = false; // the buffer holds predictions, no code is composed

    void editComposeChange();
    void ShowPage(bool forward) override;
    std::string PickCandidate(int d) { return Pick(d).text; }
    PickedCandidate Pick(int d) override;

    // ImeComposer: what the key handler needs of the box.
    std::string Code() const override;
    void SetCode(std::string_view code) override;
    bool BoxVisible() const override { return isVisible(); }
    void ShowBox() override { show(); }
    void HideBox() override { hide(); }
    bool CandidatesVisible() const override;
    void ShowPredictions(const StringList& words) override;
    bool PredictionsVisible() const override;
    void HidePredictions() override;

private:
    TfrmCandidates& candidates_;
    Lookup lookup_;
    Commit commit_;
};

} // namespace qb
