// Thin control classes: a pane and a list that report a released mouse button after the
// control has handled it (so the selection is final), and the pop-up window flags.
#pragma once

#include <QListWidget>
#include <QPlainTextEdit>
#include <QStyledItemDelegate>

class QToolButton;

namespace qb {

class TRichPane : public QPlainTextEdit {
    Q_OBJECT
public:
    using QPlainTextEdit::QPlainTextEdit;
Q_SIGNALS:
    void mouseUp(QPoint pos);

protected:
    void mouseReleaseEvent(QMouseEvent* e) override;
    // Ctrl+V with an empty X clipboard (nothing copied since the session began, or the program
    // that copied has ended) hands over clipboard data without a single format, and Qt's own
    // insertion crashes on it: that paste inserts nothing here.
    void insertFromMimeData(const QMimeData* source) override;
};

class TPhraseList : public QListWidget {
    Q_OBJECT
public:
    using QListWidget::QListWidget;
Q_SIGNALS:
    void mouseUp(QPoint pos);

protected:
    void mouseReleaseEvent(QMouseEvent* e) override;
};

// Items of a fixed height in pixels (ItemHeight).
class TFixedHeightDelegate : public QStyledItemDelegate {
public:
    TFixedHeightDelegate(int height, QObject* parent)
        : QStyledItemDelegate(parent), height_(height) {}
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    int height_;
};

// Pop-ups that must never take the focus: composition box, candidate window, floating source
// window, explanation window. Tool + frameless + stay-on-top + no-focus flags and showing without
// activating: checked under Xvfb with and without a window manager, the typist's caret stays put.
void MakeNoFocusPopup(QWidget* w);
// The small "×" that hides a borderless pop-up, kept at its top right corner by
// PlaceCloseBox from the pop-up's resizeEvent (a frameless window has no title bar to close it).
QToolButton* AddCloseBox(QWidget* popup);
void PlaceCloseBox(QWidget* popup, QToolButton* box);
// Keeps the selection of a pane drawn in full colour when the pane has lost the focus.
void KeepSelectionVisible(QWidget* w);

} // namespace qb
