#include "SegmentList.h"

#include "Dialogs.h"
#include "PaneDocument.h"
#include "QtText.h"
#include "WindowHosts.h"

#include <QAbstractTableModel>
#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QDockWidget>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QStatusBar>
#include <QTableView>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace qb {

namespace {

QString Q(const std::string& utf8) {
    return QString::fromUtf8(utf8.data(), qsizetype(utf8.size()));
}

QString StatusName(doc::SegmentStatus s) {
    switch (s) {
    case doc::SegmentStatus::Untranslated: return U("未译");
    case doc::SegmentStatus::Fuzzy: return U("模糊");
    case doc::SegmentStatus::Translated: return U("已译");
    case doc::SegmentStatus::Checked: return U("已审");
    }
    return {};
}

} // namespace

// The table over the segments: read when drawn, so 10,000 units cost no items.
class TSegmentTableModel : public QAbstractTableModel {
public:
    using QAbstractTableModel::QAbstractTableModel;
    void Show(const doc::Document* document, const doc::TSegments* segments) {
        beginResetModel();
        document_ = document;
        segments_ = segments;
        endResetModel();
    }
    void Row(std::size_t unit) { Q_EMIT dataChanged(index(int(unit), 2), index(int(unit), 3)); }
    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() || !segments_ ? 0 : int(segments_->Size());
    }
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : 4;
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (!segments_ || !document_ || std::size_t(index.row()) >= segments_->Size()) return {};
        const std::size_t row = std::size_t(index.row());
        const doc::Segment& s = (*segments_)[row];
        if (role == Qt::UserRole) return QString(QChar::fromLatin1(char(s.status)));
        if (role != Qt::DisplayRole && role != Qt::ToolTipRole) return {};
        switch (index.column()) {
        case 0: return int(row + 1);
        case 1: return Q(document_->units[row].text);
        case 2: return Q(s.translation);
        default: return StatusName(s.status);
        }
    }
    QVariant headerData(int section, Qt::Orientation o, int role) const override {
        if (o != Qt::Horizontal || role != Qt::DisplayRole) return {};
        static const char* const kNames[] = {"#", "原文", "译文", "状态"};
        return section >= 0 && section < 4 ? U(kNames[section]) : QVariant();
    }

private:
    const doc::Document* document_ = nullptr;
    const doc::TSegments* segments_ = nullptr;
};

TSegmentList::TSegmentList(QWidget* parent)
    : QWidget(parent), model_(new TSegmentTableModel(this)), proxy_(new QSortFilterProxyModel(this)),
      filter_(new QComboBox(this)), table_(new QTableView(this)) {
    setObjectName(QStringLiteral("segmentList"));
    filter_->setObjectName(QStringLiteral("segmentFilter"));
    table_->setObjectName(QStringLiteral("segmentTable"));
    static const struct {
        const char* name;
        const char* letters;
    } kFilters[] = {{"全部", ""},  {"未完成", "uf"}, {"未译", "u"},
                    {"模糊", "f"}, {"已译", "t"},    {"已审", "c"}};
    for (const auto& f : kFilters) filter_->addItem(U(f.name), QString::fromLatin1(f.letters));
    auto* check = new QPushButton(U("已审"), this);
    check->setObjectName(QStringLiteral("segmentCheck"));
    check->setToolTip(U("把当前句段标为已审校（再按一次取消）"));
    check->setFocusPolicy(Qt::NoFocus);
    filter_->setFocusPolicy(Qt::NoFocus);

    proxy_->setSourceModel(model_);
    proxy_->setFilterRole(Qt::UserRole);
    proxy_->setFilterKeyColumn(3);
    table_->setModel(proxy_);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setFocusPolicy(Qt::NoFocus); // the keys stay with the panes
    table_->setWordWrap(false);
    table_->verticalHeader()->hide();
    table_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 4);
    table_->horizontalHeader()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    table_->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
    table_->horizontalHeader()->setSectionResizeMode(2, QHeaderView::Stretch);
    table_->horizontalHeader()->setSectionResizeMode(3, QHeaderView::ResizeToContents);

    auto* bar = new QHBoxLayout;
    bar->addWidget(new QLabel(U("显示："), this));
    bar->addWidget(filter_);
    bar->addStretch(1);
    bar->addWidget(check);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->addLayout(bar);
    layout->addWidget(table_);

    connect(filter_, &QComboBox::currentIndexChanged, this,
            [this] { SetFilter(filter_->currentData().toString()); });
    connect(table_, &QTableView::clicked, this, [this](const QModelIndex& index) {
        if (setting_ || !index.isValid()) return;
        Q_EMIT unitChosen(std::size_t(proxy_->mapToSource(index).row()));
    });
    connect(check, &QPushButton::clicked, this, [this] { Q_EMIT checkToggled(); });
}

TSegmentList::~TSegmentList() = default;

void TSegmentList::Show(const doc::Document* document, const doc::TSegments* segments) {
    model_->Show(document, segments);
}

void TSegmentList::Clear() { model_->Show(nullptr, nullptr); }

void TSegmentList::RowChanged(std::size_t unit) { model_->Row(unit); }

void TSegmentList::SetCurrent(std::size_t unit) {
    const QModelIndex index = proxy_->mapFromSource(model_->index(int(unit), 0));
    setting_ = true;
    if (index.isValid()) {
        table_->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                             QItemSelectionModel::Rows);
        table_->scrollTo(index);
    } else {
        table_->clearSelection();
    }
    setting_ = false;
}

void TSegmentList::SetFilter(const QString& letters) {
    if (filter_->currentData().toString() != letters) {
        const int i = filter_->findData(letters);
        if (i >= 0) filter_->setCurrentIndex(i); // comes back here
        return;
    }
    proxy_->setFilterRegularExpression(letters.isEmpty() ? QString()
                                                         : QStringLiteral("^[%1]$").arg(letters));
}

std::vector<std::size_t> TSegmentList::ShownUnits() const {
    std::vector<std::size_t> out;
    out.reserve(std::size_t(proxy_->rowCount()));
    for (int r = 0; r < proxy_->rowCount(); ++r)
        out.push_back(std::size_t(proxy_->mapToSource(proxy_->index(r, 0)).row()));
    return out;
}

// ---- the segments in the window ----

TDocumentSegments::TDocumentSegments(TDocumentWindow& window) : window_(window) {}

TDocumentSegments::~TDocumentSegments() {
    if (list_) list_->Clear(); // the list outlives these segments until the window goes
}

void TDocumentSegments::Watch() {
    if (watching_) return;
    watching_ = true;
    auto* main = qobject_cast<QMainWindow*>(&window_.Widget());
    list_ = new TSegmentList;
    connect(list_, &TSegmentList::unitChosen, this,
            [this](std::size_t unit) { window_.RunGuarded([&] { MoveTo(unit); }); });
    connect(list_, &TSegmentList::checkToggled, this,
            [this] { window_.RunGuarded([&] { ToggleChecked(); }); });
    if (main) {
        dock_ = new QDockWidget(U("句段列表"), main);
        dock_->setObjectName(QStringLiteral("dockSegments"));
        dock_->setFeatures(QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable);
        dock_->setWidget(list_);
        main->addDockWidget(Qt::BottomDockWidgetArea, dock_);
        dock_->hide();
        progress_ = new QLabel(main);
        progress_->setObjectName(QStringLiteral("segmentProgress"));
        main->statusBar()->addPermanentWidget(progress_);
        progress_->hide();
    } else {
        list_->setParent(&window_.Widget());
    }
    auto action = [this](const char* name, Qt::Key key, int delta) {
        auto* a = new QAction(&window_.Widget());
        a->setObjectName(QString::fromLatin1(name));
        a->setShortcut(QKeySequence(Qt::CTRL | key));
        a->setShortcutContext(Qt::WindowShortcut);
        a->setEnabled(false);
        connect(a, &QAction::triggered, this,
                [this, delta] { window_.RunGuarded([&] { Step(delta); }); });
        window_.Widget().addAction(a);
        return a;
    };
    previous_ = action("actPreviousSegment", Qt::Key_Up, -1);
    next_ = action("actNextSegment", Qt::Key_Down, +1);
    WatchTarget();
    connect(&window_.TargetEdit(), &QPlainTextEdit::cursorPositionChanged, this,
            &TDocumentSegments::TargetCaretMoved);
}

void TDocumentSegments::WatchTarget() {
    QTextDocument* d = window_.TargetEdit().document();
    if (d == watchedTarget_) return;
    disconnect(targetChange_);
    targetChange_ =
        connect(d, &QTextDocument::contentsChange, this, &TDocumentSegments::TargetChanged);
    watchedTarget_ = d;
}

void TDocumentSegments::ShowBeside(bool shown) {
    if (dock_ && shown && !dock_->isVisible()) {
        dock_->setVisible(true);
        // A quarter of the window's height: the dock's own liking (its table's) would leave the
        // two panes about 80 pixels each in the 640x480 window a first start opens.
        if (auto* main = qobject_cast<QMainWindow*>(&window_.Widget()))
            main->resizeDocks({dock_},
                              {std::max(main->height() / 4, list_->minimumSizeHint().height())},
                              Qt::Vertical);
    }
    if (dock_) dock_->setVisible(shown);
    if (progress_) progress_->setVisible(shown);
    if (next_) next_->setEnabled(shown);
    if (previous_) previous_->setEnabled(shown);
}

void TDocumentSegments::Open(const doc::Document& document, doc::TSegments segments,
                             std::unique_ptr<QTextDocument> laidOut) {
    Watch();
    document_ = &document;
    segments_ = std::move(segments);
    current_ = 0;
    if (laidOut) {
        setting_ = true;
        ReplacePaneDocument(window_.TargetEdit(), std::move(laidOut));
        setting_ = false;
        window_.PaneDocumentsReplaced();
        WatchTarget();
    } else {
        LayOutTarget();
    }
    list_->Show(document_, &segments_);
    ShowBeside(true);
    ShowProgress();
}

void TDocumentSegments::Restore(const doc::Document& document, const QString& letters) {
    Watch();
    document_ = &document;
    segments_.Reset(document);
    ReadTargetParagraphs();
    segments_.ApplyStatusLetters(letters.toStdString());
    list_->Show(document_, &segments_);
    ShowBeside(true);
    ShowProgress();
    // The caret where the source pane's selection is, as it was left.
    SourceSelected();
}

void TDocumentSegments::Close() {
    document_ = nullptr;
    segments_.Clear();
    current_ = 0;
    repairPending_ = false;
    if (list_) list_->Clear();
    ShowBeside(false);
}

QString TDocumentSegments::StatusLetters() const {
    return Active() ? QString::fromLatin1(segments_.StatusLetters()) : QString();
}

// The target pane as kept: one paragraph a unit when it was written by this version. Any other
// text (a pane of free text from before segments, a document that changed meanwhile) cannot be
// matched to the units; it goes to the clipboard rather than being lost, and the paragraphs
// start empty (what Ctrl+J recorded is in the translation memory).
void TDocumentSegments::ReadTargetParagraphs() {
    QTextDocument* d = window_.TargetEdit().document();
    const std::size_t n = segments_.Size();
    bool lined = std::size_t(d->blockCount()) == 2 * n - 1;
    for (QTextBlock b = d->begin(); lined && b.isValid(); b = b.next())
        if (b.blockNumber() % 2 == 1 && !b.text().isEmpty()) lined = false;
    if (lined) {
        for (QTextBlock b = d->begin(); b.isValid(); b = b.next())
            if (b.blockNumber() % 2 == 0)
                segments_.SetTranslation(std::size_t(b.blockNumber() / 2), b.text().toStdString());
        return;
    }
    const QString old = window_.TargetEdit().toPlainText();
    LayOutTarget();
    if (!old.trimmed().isEmpty()) {
        QGuiApplication::clipboard()->setText(old);
        window_.Ui().ShowMessage(U(
            "上次译文栏的文字对不上文档的单元，已放到剪贴板上（按 Ctrl+J 记下的译文都在译文记忆中）。"));
    }
}

void TDocumentSegments::LayOutTarget() {
    const QString text = Q(doc::TargetPaneText(segments_));
    setting_ = true;
    window_.TargetEdit().setPlainText(text);
    setting_ = false;
}

void TDocumentSegments::TargetChanged(int position, int removed, int added) {
    (void)removed;
    if (!Active() || setting_ || repairPending_) return;
    QTextDocument* d = window_.TargetEdit().document();
    const std::size_t n = segments_.Size();
    bool broken = std::size_t(d->blockCount()) != 2 * n - 1;
    std::vector<std::size_t> touched;
    if (!broken) {
        const QTextBlock last = d->findBlock(position + added);
        for (QTextBlock b = d->findBlock(position); b.isValid(); b = b.next()) {
            if (b.blockNumber() % 2 == 1) {
                if (!b.text().isEmpty()) broken = true;
            } else {
                touched.push_back(std::size_t(b.blockNumber() / 2));
            }
            if (b == last || broken) break;
        }
    }
    if (broken) {
        // Put right once the edit is over: the document cannot be replaced inside its own signal.
        repairPending_ = true;
        repairAt_ = position;
        QTimer::singleShot(0, this, [this] { window_.RunGuarded([&] { Repair(); }); });
        return;
    }
    for (std::size_t unit : touched) {
        const QTextBlock b = d->findBlockByNumber(int(2 * unit));
        if (segments_.SetTranslation(unit, b.text().toStdString())) Changed(unit);
    }
}

void TDocumentSegments::Repair() {
    if (!repairPending_ || !Active()) return;
    const int at = repairAt_;
    // What was typed for the sentence in hand is recorded before its span goes with the text.
    window_.DropSentenceInHand();
    LayOutTarget();
    repairPending_ = false;
    QTextDocument* d = window_.TargetEdit().document();
    QTextBlock b = d->findBlock(std::min(at, d->characterCount() - 1));
    if (b.blockNumber() % 2 == 1) b = b.previous();
    QTextCursor c(b);
    c.movePosition(QTextCursor::EndOfBlock);
    setting_ = true;
    window_.TargetEdit().setTextCursor(c);
    setting_ = false;
    if (auto* main = qobject_cast<QMainWindow*>(&window_.Widget()))
        main->statusBar()->showMessage(
            U("每个单元的译文各占一段，与原文对齐：换行或跨段的改动没有生效。"), 8000);
    window_.KeepPanes();
}

void TDocumentSegments::Changed(std::size_t unit) {
    list_->RowChanged(unit);
    ShowProgress();
}

void TDocumentSegments::ShowProgress() {
    if (!progress_) return;
    progress_->setText(U("%1/%2 段 · %3/%4 词")
                           .arg(segments_.SegmentsDone())
                           .arg(segments_.Size())
                           .arg(segments_.WordsDone())
                           .arg(segments_.Words()));
}

void TDocumentSegments::SourceSelected() {
    if (!Active()) return;
    QPlainTextEdit& source = window_.SourceEdit();
    const int start = source.textCursor().selectionStart();
    const int block = source.document()->findBlock(start).blockNumber();
    current_ = std::min(std::size_t(std::max(0, block) / 2), segments_.Size() - 1);
    QPlainTextEdit& target = window_.TargetEdit();
    if (target.textCursor().block().blockNumber() / 2 != int(current_) ||
        target.textCursor().block().blockNumber() % 2 == 1) {
        QTextCursor c(target.document()->findBlockByNumber(int(2 * current_)));
        c.movePosition(QTextCursor::EndOfBlock);
        setting_ = true;
        target.setTextCursor(c);
        setting_ = false;
        target.ensureCursorVisible();
    }
    source.ensureCursorVisible();
    list_->SetCurrent(current_);
}

void TDocumentSegments::MoveTo(std::size_t unit) {
    if (!Active() || unit >= segments_.Size()) return;
    QPlainTextEdit& source = window_.SourceEdit();
    QTextCursor c(source.document()->findBlockByNumber(int(2 * unit)));
    c.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    source.setTextCursor(c);
    window_.TakeSourceSelection(); // SourceSelected comes back from there
}

void TDocumentSegments::Step(int delta) {
    if (!Active()) return;
    const std::vector<std::size_t> shown = list_->ShownUnits();
    if (delta > 0) {
        const auto it = std::upper_bound(shown.begin(), shown.end(), current_);
        if (it != shown.end()) MoveTo(*it);
    } else {
        const auto it = std::lower_bound(shown.begin(), shown.end(), current_);
        if (it != shown.begin()) MoveTo(*std::prev(it));
    }
}

void TDocumentSegments::TargetCaretMoved() {
    if (!Active() || setting_ || repairPending_) return;
    const int block = window_.TargetEdit().textCursor().block().blockNumber();
    if (block % 2 == 1 || std::size_t(block / 2) == current_) return;
    // Clicked (or arrowed) into another unit's paragraph: the source pane follows, and the
    // sentence in hand becomes that unit, so what is typed there is recorded for it.
    MoveTo(std::size_t(block / 2));
}

std::size_t TDocumentSegments::Fill(const std::vector<std::optional<std::string>>& texts) {
    if (!Active()) return 0;
    std::size_t filled = 0;
    for (std::size_t i = 0; i < segments_.Size() && i < texts.size(); ++i)
        if (texts[i] && segments_[i].translation.empty() && segments_.Fill(i, *texts[i])) ++filled;
    if (!filled) return 0;
    window_.DropSentenceInHand();
    LayOutTarget();
    list_->Show(document_, &segments_);
    ShowProgress();
    SourceSelected();
    window_.KeepPanes();
    return filled;
}

void TDocumentSegments::ToggleChecked() {
    if (!Active() || current_ >= segments_.Size()) return;
    if (segments_[current_].translation.empty()) {
        if (auto* main = qobject_cast<QMainWindow*>(&window_.Widget()))
            main->statusBar()->showMessage(U("当前句段还没有译文。"), 5000);
        return;
    }
    const bool checked = segments_[current_].status != doc::SegmentStatus::Checked;
    if (segments_.SetChecked(current_, checked)) {
        Changed(current_);
        window_.KeepPanes();
    }
}

} // namespace qb
