// An open document's segments in the window. The target pane holds one paragraph a unit, lined
// up with the source pane's units (a blank line between two in both panes), so unit k's
// translation is whatever stands in the target pane's paragraph k: typed there for unit 3, it
// stays unit 3's when unit 4 is translated first or unit 2 is mended afterwards. An edit that
// would break the line-up (Enter inside a paragraph, a paste of two lines, a deletion across
// the blank line) is taken back and said in the status bar.
//
// Beside the panes: the segment list (number, source, translation, status, a filter by status;
// a click or Ctrl+Up / Ctrl+Down moves to a segment, source and target alike) and the progress
// in the status bar ("3/79 段 · 120/900 词"). The caret put into another unit's paragraph makes
// that unit the source pane's selection, so the two panes never stand on different units.
#pragma once

#include "Segments.h"

#include <QPointer>
#include <QString>
#include <QWidget>

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QAction;
class QComboBox;
class QDockWidget;
class QLabel;
class QSortFilterProxyModel;
class QTableView;
class QTextDocument;

namespace qb {

class TDocumentWindow;
class TSegmentTableModel;

// The list itself (object name "segmentList"): the filter "segmentFilter" (全部, 未完成, 未译,
// 模糊, 已译, 已审), the table "segmentTable" and the button "segmentCheck" (已审 for the
// current segment, again to take it back).
class TSegmentList : public QWidget {
    Q_OBJECT
public:
    explicit TSegmentList(QWidget* parent = nullptr);
    ~TSegmentList() override;

    void Show(const doc::Document* document, const doc::TSegments* segments);
    void Clear();
    void RowChanged(std::size_t unit);
    void SetCurrent(std::size_t unit);
    // Filters by these status letters ("uf"); empty: every segment.
    void SetFilter(const QString& letters);
    // The units shown, in order (what the filter leaves).
    std::vector<std::size_t> ShownUnits() const;
    QTableView* Table() const { return table_; }

Q_SIGNALS:
    void unitChosen(std::size_t unit);
    void checkToggled();

private:
    TSegmentTableModel* model_;
    QSortFilterProxyModel* proxy_;
    QComboBox* filter_;
    QTableView* table_;
    bool setting_ = false;
};

class TDocumentSegments : public QObject {
public:
    explicit TDocumentSegments(TDocumentWindow& window);
    ~TDocumentSegments() override;

    // A document just opened with its `segments`; the target pane one paragraph a unit, put in
    // as `laidOut` when that was built on a worker (a big document), else made here.
    void Open(const doc::Document& document, doc::TSegments segments,
              std::unique_ptr<QTextDocument> laidOut = nullptr);
    // The document of the panes file: the target pane as it was kept gives the translations,
    // `letters` (the kept statuses) their statuses.
    void Restore(const doc::Document& document, const QString& letters);
    void Close();
    bool Active() const { return document_ != nullptr; }

    const doc::TSegments& Model() const { return segments_; }
    QString StatusLetters() const;
    std::size_t Current() const { return current_; }

    // The source pane's selection was taken (Ctrl+J, Ctrl+K, Ctrl+L): its unit is the current
    // segment, and the target pane's caret goes to the end of that unit's paragraph unless it
    // stands in it already (Ctrl+K within a unit goes on where the typing is).
    void SourceSelected();
    // The current segment becomes `unit`: the source pane selects it whole and the window takes
    // the selection as Ctrl+L does.
    void MoveTo(std::size_t unit);
    // Ctrl+Down (+1) / Ctrl+Up (-1): the next or previous segment the list shows.
    void Step(int delta);
    // The memory's translations put into the segments that have none, fuzzy; `texts` by unit
    // (nothing: the memory has none). Returns the units filled.
    std::size_t Fill(const std::vector<std::optional<std::string>>& texts);
    // 已审 for the current segment, or taken back.
    void ToggleChecked();

    TSegmentList* List() const { return list_; }

private:
    void Watch();
    // The segments follow the target pane's document, also after it was replaced.
    void WatchTarget();
    void TargetChanged(int position, int removed, int added);
    void TargetCaretMoved();
    void Repair();
    void LayOutTarget();
    void ReadTargetParagraphs();
    void Changed(std::size_t unit);
    void ShowProgress();
    void ShowBeside(bool shown);

    TDocumentWindow& window_;
    const doc::Document* document_ = nullptr;
    doc::TSegments segments_;
    std::size_t current_ = 0;
    QPointer<TSegmentList> list_; // a child of the window's dock
    QDockWidget* dock_ = nullptr;
    QLabel* progress_ = nullptr;
    QAction* next_ = nullptr;
    QAction* previous_ = nullptr;
    bool watching_ = false;
    QTextDocument* watchedTarget_ = nullptr;
    QMetaObject::Connection targetChange_;
    bool setting_ = false; // the target pane's text is being put in here
    bool repairPending_ = false;
    int repairAt_ = 0;
};

} // namespace qb
