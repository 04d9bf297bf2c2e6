#include "TypedSpan.h"

#include <QPlainTextEdit>
#include <QTextDocument>

#include <algorithm>

namespace qb {

TTypedSpan::TTypedSpan(QPlainTextEdit* pane) : QObject(pane), pane_(pane) {
    connect(pane_->document(), &QTextDocument::contentsChange, this, &TTypedSpan::Changed);
}

void TTypedSpan::Start() {
    const int caret = pane_->textCursor().position();
    begin_ = QTextCursor(pane_->document());
    begin_.setPosition(caret);
    begin_.setKeepPositionOnInsert(true);
    end_ = QTextCursor(pane_->document());
    end_.setPosition(caret);
    active_ = true;
}

void TTypedSpan::Stop() {
    active_ = false;
    begin_ = QTextCursor();
    end_ = QTextCursor();
}

void TTypedSpan::Changed(int position, int removed, int added) {
    (void)removed;
    // The two cursors have followed the edit already; only an empty span moves to new text.
    if (!active_ || added <= 0 || begin_.position() != end_.position()) return;
    const int last = std::max(0, pane_->document()->characterCount() - 1);
    begin_.setPosition(std::clamp(position, 0, last));
    end_.setPosition(std::clamp(position + added, 0, last));
}

QString TTypedSpan::Text() const {
    if (!active_) return {};
    const int a = begin_.position();
    const int b = end_.position();
    if (b <= a) return {};
    return pane_->toPlainText().mid(a, b - a).trimmed();
}

} // namespace qb
