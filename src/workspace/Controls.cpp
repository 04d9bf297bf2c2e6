#include "Controls.h"

#include <QMimeData>
#include <QMouseEvent>
#include <QToolButton>

namespace qb {

void TRichPane::mouseReleaseEvent(QMouseEvent* e) {
    QPlainTextEdit::mouseReleaseEvent(e);
    Q_EMIT mouseUp(e->position().toPoint());
}

void TRichPane::insertFromMimeData(const QMimeData* source) {
    if (!source || source->formats().isEmpty()) return;
    QPlainTextEdit::insertFromMimeData(source);
}

void TPhraseList::mouseReleaseEvent(QMouseEvent* e) {
    QListWidget::mouseReleaseEvent(e);
    Q_EMIT mouseUp(e->position().toPoint());
}

QSize TFixedHeightDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
    QSize s = QStyledItemDelegate::sizeHint(option, index);
    s.setHeight(height_);
    return s;
}

void MakeNoFocusPopup(QWidget* w) {
    w->setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                      Qt::WindowDoesNotAcceptFocus);
    w->setAttribute(Qt::WA_ShowWithoutActivating);
}

QToolButton* AddCloseBox(QWidget* popup) {
    auto* box = new QToolButton(popup);
    box->setText(QString::fromUtf8("×"));
    box->setAutoRaise(true);
    box->setFocusPolicy(Qt::NoFocus);
    box->setFixedSize(16, 16);
    QObject::connect(box, &QToolButton::clicked, popup, &QWidget::hide);
    return box;
}

void PlaceCloseBox(QWidget* popup, QToolButton* box) {
    box->move(popup->width() - box->width() - 2, 2);
    box->raise();
}

void KeepSelectionVisible(QWidget* w) {
    QPalette p = w->palette();
    p.setColor(QPalette::Inactive, QPalette::Highlight, p.color(QPalette::Active, QPalette::Highlight));
    p.setColor(QPalette::Inactive, QPalette::HighlightedText,
               p.color(QPalette::Active, QPalette::HighlightedText));
    w->setPalette(p);
}

} // namespace qb
