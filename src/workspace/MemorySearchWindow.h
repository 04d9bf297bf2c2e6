// The concordance window (编辑 → 检索译文记忆, Ctrl+T): a search field and the pairs of the
// translation memory whose source or translation holds the words typed, the words marked.
// It searches as the user types, on a thread of its own with a connection of its own (a common
// word in 100,000 pairs takes longer than a key may wait); only the answer to the latest text
// is shown. Enter or a double click puts the selected translation into the target pane at the
// caret, and the target pane has the focus again, ready for the next words.
#pragma once

#include "TmText.h"

#include <QThreadPool>
#include <QWidget>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class QLabel;
class QLineEdit;
class QListWidget;

namespace qb {

namespace tm {
class TTranslationMemory;
struct Hit;
} // namespace tm

class TMemoryWindow;

// UTF-8 text as HTML with the byte ranges `marks` in bold on a highlight, line breaks as <br>:
// "Take care." with [5, 9) -> "Take <b style=...>care</b>.". Overlapping or unsorted ranges are
// merged, a range beyond the text is cut, and one that splits a character takes all of it.
QString MarkedHtml(std::string_view utf8, const std::vector<tm::Span>& marks);

class TfrmMemorySearch : public QWidget {
    Q_OBJECT
public:
    // The item roles of lbPairs: the row as HTML, and the translation it inserts.
    static constexpr int kHtmlRole = Qt::UserRole;
    static constexpr int kTargetRole = Qt::UserRole + 1;

    TfrmMemorySearch(TMemoryWindow& main, std::string memoryFile);
    ~TfrmMemorySearch() override;

    // Shows the window in front with the search field focused and its text selected, so
    // typing replaces the last search.
    void ShowSearch();
    // Searches again for the text in the field (the memory has changed: an import).
    void SearchAgain();
    // Inserts the translation of the current row (the first row when none is current) into
    // the target pane at the caret, as the phrase list does, and gives the pane the focus.
    void InsertSelected();
    // True while an answer to the field's text is still to come.
    bool Waiting() const { return shown_ != asked_; }

    QLineEdit* edSearch = nullptr;
    QListWidget* lbPairs = nullptr;
    QLabel* lbStatus = nullptr;

Q_SIGNALS:
    void answered(); // the answer to the latest search is in the list

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    void Ask(const QString& query);
    void Answer(std::uint64_t ticket, const std::vector<tm::Hit>& hits, const QString& error);
    void BackToTarget();

    TMemoryWindow& main_;
    std::string file_;
    QThreadPool pool_; // one thread: the searches run one after another
    std::unique_ptr<tm::TTranslationMemory> memory_; // opened and used on the pool's thread only
    std::atomic<std::uint64_t> latest_{0};           // the ticket of the newest search asked
    std::uint64_t asked_ = 0, shown_ = 0;
    bool placed_ = false;
};

} // namespace qb
