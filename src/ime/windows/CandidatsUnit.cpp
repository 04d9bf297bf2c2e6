#include "CandidatsUnit.h"

#include "GbkText.h"

#include <QFontMetrics>
#include <QListWidget>
#include <QVBoxLayout>

namespace qb {

namespace {
// "宋体" is mapped to "AR PL UMing CN" by the font substitutions installed at start-up.
QFont SongTi(int pixels) {
    QFont f(QString::fromUtf8("\xE5\xAE\x8B\xE4\xBD\x93")); // 宋体
    f.setPixelSize(pixels);
    return f;
}
} // namespace

TfrmCandidates::TfrmCandidates(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                          Qt::WindowDoesNotAcceptFocus) {
    setObjectName("frmCandidates");
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::PointingHandCursor); // the list lets the mouse through to the window
    setFont(SongTi(13));

    CandidatsList = new QListWidget(this);
    CandidatsList->setObjectName("CandidatsList");
    CandidatsList->setFont(SongTi(14));
    CandidatsList->setFocusPolicy(Qt::NoFocus); // never reached by Tab, never focused
    CandidatsList->setSelectionMode(QAbstractItemView::NoSelection);
    CandidatsList->setAttribute(Qt::WA_TransparentForMouseEvents); // no picking by mouse
    CandidatsList->setCursor(Qt::PointingHandCursor);
    CandidatsList->setUniformItemSizes(true);
    CandidatsList->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    CandidatsList->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    CandidatsList->setFrameShape(QFrame::NoFrame);
    CandidatsList->setStyleSheet("QListWidget { color: #800000; background: #C0C0C0; }");

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(CandidatsList);

    // h: the height of "中" in the window's own font; rows h + 4; room for ten rows plus 6.
    const int h = QFontMetrics(font()).boundingRect(QString::fromUtf8("\xE4\xB8\xAD")).height();
    rowHeight_ = h + 4;
    resize(80, 10 * rowHeight_ + 6);
}

void TfrmCandidates::SetRowsText(std::string_view gbk) {
    rows_.clear();
    std::size_t start = 0;
    while (start < gbk.size()) {
        std::size_t end = gbk.find("\r\n", start);
        if (end == std::string_view::npos) end = gbk.size();
        rows_.emplace_back(gbk.substr(start, end - start));
        start = end + 2;
    }
    CandidatsList->clear();
    for (const std::string& row : rows_) {
        auto* item = new QListWidgetItem(FromGbk(row), CandidatsList);
        item->setSizeHint(QSize(0, rowHeight_));
    }
}

void TfrmCandidates::ClearRows() {
    rows_.clear();
    CandidatsList->clear();
}

int TfrmCandidates::TextWidth(std::string_view gbk) const {
    return QFontMetrics(font()).horizontalAdvance(FromGbk(gbk));
}

} // namespace qb
