// TfrmCandidates, the candidate window: a pop-up that never takes the focus, with a
// list of at most ten numbered rows "digit:candidate". Rows are chosen by keys only.
#pragma once

#include "MyUtils.h"

#include <QWidget>

#include <string>
#include <string_view>

class QListWidget;

namespace qb {

class TfrmCandidates : public QWidget {
    Q_OBJECT
public:
    explicit TfrmCandidates(QWidget* parent = nullptr);

    QListWidget* CandidatsList = nullptr;

    // Rows from one GBK text with CR LF line breaks, one row per line.
    void SetRowsText(std::string_view gbk);
    void ClearRows();
    int RowCount() const { return static_cast<int>(rows_.size()); }
    // Row i (0-based) as GBK, exactly as set.
    const std::string& RowText(int i) const { return rows_.at(static_cast<std::size_t>(i)); }
    const StringList& Rows() const { return rows_; }
    // Width in pixels of a GBK text in the window's own font (宋体 13 px).
    int TextWidth(std::string_view gbk) const;
    int RowHeight() const { return rowHeight_; }

private:
    StringList rows_;
    int rowHeight_ = 0;
};

} // namespace qb
