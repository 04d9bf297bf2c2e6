#include "MemorySearchWindow.h"

#include "Dialogs.h"
#include "Fonts.h"
#include "QtText.h"
#include "TranslationMemory.h"
#include "WindowHosts.h"

#include <QAbstractTextDocumentLayout>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPlainTextEdit>
#include <QScreen>
#include <QStyledItemDelegate>
#include <QTextDocument>
#include <QVBoxLayout>

#include <algorithm>
#include <exception>

namespace qb {

namespace {

constexpr std::size_t kMaxHits = 200;
constexpr const char* kTranslationColour = "#006000";

bool IsContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

QString Escaped(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), qsizetype(utf8.size()))
        .toHtmlEscaped()
        .replace(QLatin1Char('\n'), U("<br>"));
}

// Draws a row's HTML (two lines: the source, then its translation in green) and measures it
// at the list's width, wrapping long sentences.
class THtmlRowDelegate : public QStyledItemDelegate {
public:
    explicit THtmlRowDelegate(QListWidget* list) : QStyledItemDelegate(list), list_(list) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem opt = option;
        initStyleOption(&opt, index);
        opt.text.clear();
        QStyle* style = opt.widget ? opt.widget->style() : list_->style();
        style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, opt.widget);
        QTextDocument doc;
        Prepare(doc, opt, index);
        QAbstractTextDocumentLayout::PaintContext ctx;
        if (opt.state & QStyle::State_Selected)
            ctx.palette.setColor(QPalette::Text, opt.palette.color(QPalette::HighlightedText));
        painter->save();
        painter->translate(opt.rect.topLeft());
        painter->setClipRect(opt.rect.translated(-opt.rect.topLeft()));
        doc.documentLayout()->draw(painter, ctx);
        painter->restore();
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QStyleOptionViewItem opt = option;
        initStyleOption(&opt, index);
        QTextDocument doc;
        Prepare(doc, opt, index);
        return QSize(int(doc.idealWidth()), int(doc.size().height()) + 2);
    }

private:
    void Prepare(QTextDocument& doc, const QStyleOptionViewItem& opt, const QModelIndex& index) const {
        doc.setDefaultFont(opt.font);
        doc.setDocumentMargin(3);
        QString html = index.data(TfrmMemorySearch::kHtmlRole).toString();
        // A selected row in the selection's text colour: green on the highlight is hard to read.
        if (opt.state & QStyle::State_Selected)
            html.replace(QLatin1String(kTranslationColour),
                         opt.palette.color(QPalette::HighlightedText).name());
        doc.setHtml(html);
        doc.setTextWidth(std::max(80, list_->viewport()->width()));
    }

    QListWidget* list_;
};

} // namespace

QString MarkedHtml(std::string_view utf8, const std::vector<tm::Span>& marks) {
    std::vector<tm::Span> spans;
    for (tm::Span s : marks) {
        s.end = std::min(s.end, utf8.size());
        if (s.begin >= s.end) continue;
        while (s.begin > 0 && IsContinuation(static_cast<unsigned char>(utf8[s.begin]))) --s.begin;
        while (s.end < utf8.size() && IsContinuation(static_cast<unsigned char>(utf8[s.end])))
            ++s.end;
        spans.push_back(s);
    }
    std::sort(spans.begin(), spans.end(),
              [](const tm::Span& a, const tm::Span& b) { return a.begin < b.begin; });
    QString html;
    std::size_t at = 0;
    for (std::size_t i = 0; i < spans.size();) {
        tm::Span run = spans[i];
        for (++i; i < spans.size() && spans[i].begin <= run.end; ++i)
            run.end = std::max(run.end, spans[i].end);
        html += Escaped(utf8.substr(at, run.begin - at));
        html += U("<b style=\"background-color:#ffe27a;color:#000000\">") +
                Escaped(utf8.substr(run.begin, run.end - run.begin)) + U("</b>");
        at = run.end;
    }
    html += Escaped(utf8.substr(at));
    return html;
}

TfrmMemorySearch::TfrmMemorySearch(TMemoryWindow& main, std::string memoryFile)
    : QWidget(&main.Widget(), Qt::Tool), main_(main), file_(std::move(memoryFile)) {
    setObjectName(QStringLiteral("frmMemorySearch"));
    setWindowTitle(U("检索译文记忆"));
    setFont(RequestedFont("MS Sans Serif", 11));
    resize(560, 380);
    pool_.setMaxThreadCount(1);
    pool_.setExpiryTimeout(-1); // one thread for the window's life, holding its connection

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->setSpacing(4);
    edSearch = new QLineEdit(this);
    edSearch->setObjectName(QStringLiteral("edSearch"));
    edSearch->setPlaceholderText(U("英文或中文的词语；transl* 也找 translate、translation"));
    edSearch->setClearButtonEnabled(true);
    edSearch->installEventFilter(this);
    lbPairs = new QListWidget(this);
    lbPairs->setObjectName(QStringLiteral("lbPairs"));
    lbPairs->setFont(RequestedFont("宋体", 13));
    lbPairs->setItemDelegate(new THtmlRowDelegate(lbPairs));
    lbPairs->setResizeMode(QListView::Adjust);
    lbPairs->setWordWrap(true);
    lbPairs->setAlternatingRowColors(true);
    lbPairs->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    lbStatus = new QLabel(this);
    lbStatus->setObjectName(QStringLiteral("lbStatus"));
    lbStatus->setTextFormat(Qt::PlainText);
    layout->addWidget(edSearch);
    layout->addWidget(lbPairs, 1);
    layout->addWidget(lbStatus);

    connect(edSearch, &QLineEdit::textChanged, this, [this](const QString& text) { Ask(text); });
    connect(edSearch, &QLineEdit::returnPressed, this,
            [this] { Guarded(main_.Ui(), [&] { InsertSelected(); }); });
    connect(lbPairs, &QListWidget::itemActivated, this,
            [this] { Guarded(main_.Ui(), [&] { InsertSelected(); }); });
}

TfrmMemorySearch::~TfrmMemorySearch() {
    latest_ = ~std::uint64_t(0); // searches still queued give up at once
    pool_.clear();
    pool_.start([this] { memory_.reset(); }); // closed on the thread that made it
    pool_.waitForDone();
}

void TfrmMemorySearch::ShowSearch() {
    if (!isVisible()) {
        // The first time: right of the main window where the screen has room, else at the
        // screen's right edge (over the phrase list rather than over the panes); afterwards
        // where the user left it.
        if (!placed_) {
            const QRect frame = main_.Widget().frameGeometry();
            const QScreen* screen = main_.Widget().screen() ? main_.Widget().screen()
                                                            : QGuiApplication::primaryScreen();
            const QRect room = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
            int x = frame.right() + 8;
            if (x + width() > room.right()) x = std::max(room.left(), room.right() - width());
            move(x,
                 std::clamp(frame.top(), room.top(), std::max(room.top(), room.bottom() - height())));
            placed_ = true;
        }
        show();
    }
    raise();
    activateWindow();
    edSearch->setFocus();
    edSearch->selectAll();
}

void TfrmMemorySearch::SearchAgain() {
    if (!edSearch->text().trimmed().isEmpty()) Ask(edSearch->text());
}

void TfrmMemorySearch::Ask(const QString& query) {
    const std::uint64_t ticket = ++asked_;
    latest_ = ticket;
    if (query.trimmed().isEmpty()) {
        Answer(ticket, {}, QString());
        return;
    }
    const std::string text = query.toStdString();
    pool_.start([this, ticket, text] {
        if (latest_ != ticket) return; // the user typed on: a newer search follows
        std::vector<tm::Hit> hits;
        QString error;
        try {
            // This pool's own connection, made and used on its thread alone (the memory's
            // policy: MemoryLink.cpp).
            if (!memory_) memory_ = std::make_unique<tm::TTranslationMemory>(file_);
            hits = memory_->Search(text, kMaxHits);
        } catch (const std::exception& e) {
            memory_.reset(); // the next search tries to open it again
            error = U("译文记忆无法打开：") + QString::fromUtf8(e.what());
        }
        QMetaObject::invokeMethod(
            this, [this, ticket, hits = std::move(hits), error] { Answer(ticket, hits, error); },
            Qt::QueuedConnection);
    });
}

void TfrmMemorySearch::Answer(std::uint64_t ticket, const std::vector<tm::Hit>& hits,
                              const QString& error) {
    if (ticket != asked_) return; // an answer to an older text
    shown_ = ticket;
    lbPairs->clear();
    for (const tm::Hit& h : hits) {
        auto* item = new QListWidgetItem(lbPairs);
        item->setData(kHtmlRole, MarkedHtml(h.pair.source, h.sourceMarks) +
                                     U("<br><span style=\"color:") +
                                     QLatin1String(kTranslationColour) + U("\">") +
                                     MarkedHtml(h.pair.target, h.targetMarks) + U("</span>"));
        item->setData(kTargetRole, QString::fromStdString(h.pair.target));
        item->setToolTip(QString::fromStdString(h.pair.source));
    }
    if (lbPairs->count() > 0) lbPairs->setCurrentRow(0);
    if (!error.isEmpty())
        lbStatus->setText(error);
    else if (edSearch->text().trimmed().isEmpty())
        lbStatus->clear();
    else if (hits.empty())
        lbStatus->setText(U("没有找到。"));
    else if (hits.size() >= kMaxHits)
        lbStatus->setText(U("最新的 ") + QString::number(kMaxHits) +
                          U(" 对（还有更多，请多输入几个词）"));
    else
        lbStatus->setText(QString::number(hits.size()) + U(" 对"));
    Q_EMIT answered();
}

void TfrmMemorySearch::InsertSelected() {
    QListWidgetItem* item = lbPairs->currentItem();
    if (!item && lbPairs->count() > 0) item = lbPairs->item(0);
    if (!item) return;
    // As the match list inserts: an imported translation may hold characters GBK has not
    // (™, emoji), and the pane takes them as they are rather than as '?'.
    main_.TargetPane().MarkChinese();
    main_.TargetPane().SetSelUnicode(item->data(kTargetRole).toString());
    BackToTarget();
}

void TfrmMemorySearch::BackToTarget() {
    // Activated, not raised: raising the main window would put it over the floating source
    // window, which stays above it only as long as the window manager (if any) keeps it there.
    main_.Widget().activateWindow();
    main_.TargetPane().SetFocus();
}

bool TfrmMemorySearch::eventFilter(QObject* watched, QEvent* e) {
    // Up and Down in the search field move through the list, so Enter can take another row
    // without leaving the field.
    if (watched == edSearch && e->type() == QEvent::KeyPress) {
        auto* k = static_cast<QKeyEvent*>(e);
        const int key = k->key();
        if ((key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_PageUp ||
             key == Qt::Key_PageDown) &&
            k->modifiers() == Qt::NoModifier && lbPairs->count() > 0) {
            QKeyEvent copy(QEvent::KeyPress, key, Qt::NoModifier);
            QCoreApplication::sendEvent(lbPairs, &copy);
            return true;
        }
    }
    return QWidget::eventFilter(watched, e);
}

void TfrmMemorySearch::keyPressEvent(QKeyEvent* e) {
    if (e->key() == Qt::Key_Escape && e->modifiers() == Qt::NoModifier) {
        hide();
        BackToTarget();
        return;
    }
    QWidget::keyPressEvent(e);
}

} // namespace qb
