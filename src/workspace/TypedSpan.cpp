#include "TypedSpan.h"

#include <QPlainTextEdit>
#include <QTextDocument>

#include <algorithm>

namespace qb {

TTypedSpan::TTypedSpan(QPlainTextEdit* pane) : QObject(pane), pane_(pane) { Follow(); }

void TTypedSpan::Follow() {
    if (pane_->document() == watched_) return;
    disconnect(change_);
    change_ = connect(pane_->document(), &QTextDocument::contentsChange, this, &TTypedSpan::Changed);
    watched_ = pane_->document();
}

void TTypedSpan::Start(const QString& source, bool atCaret) {
    // A big document's target pane is a document built on a worker: the spans are in it now
    // (the old one's spans were stopped when the panes were replaced).
    if (pane_->document() != watched_) {
        Stop();
        Follow();
    }
    int place = pane_->textCursor().position();
    if (active_) {
        if (!atCaret) place = current_.end.position();
        // From now on text put in at its end is the next sentence's.
        current_.end.setKeepPositionOnInsert(true);
        earlier_.push_back(std::move(current_));
        if (earlier_.size() > kEarlierKept) earlier_.pop_front();
    }
    current_ = Span{};
    current_.source = source;
    current_.begin = QTextCursor(pane_->document());
    current_.begin.setPosition(place);
    current_.begin.setKeepPositionOnInsert(true);
    current_.end = QTextCursor(pane_->document());
    current_.end.setPosition(place);
    active_ = true;
}

void TTypedSpan::Stop() {
    active_ = false;
    current_ = Span{};
    earlier_.clear();
}

void TTypedSpan::Changed(int position, int removed, int added) {
    (void)removed;
    // The cursors have followed the edit already; only an empty span in hand moves to new
    // text, and only to text at or after its place (its begin has moved behind text put in
    // before it, and stayed at text put in at it).
    if (!active_ || added <= 0) return;
    const int begin = current_.begin.position();
    if (begin != current_.end.position() || position < begin) return;
    const int last = std::max(0, pane_->document()->characterCount() - 1);
    current_.begin.setPosition(std::clamp(position, 0, last));
    current_.end.setPosition(std::clamp(position + added, 0, last));
}

QString TTypedSpan::TextOf(const Span& span, const QString& paneText) {
    const int a = span.begin.position();
    const int b = span.end.position();
    if (b <= a) return {};
    return paneText.mid(a, b - a).trimmed();
}

QString TTypedSpan::Text() const {
    return active_ ? TextOf(current_, pane_->toPlainText()) : QString();
}

std::vector<std::pair<QString, QString>> TTypedSpan::TakeChanged() {
    std::vector<std::pair<QString, QString>> out;
    if (!active_) return out;
    const QString paneText = pane_->toPlainText();
    auto take = [&](Span& s) {
        const QString text = TextOf(s, paneText);
        if (text.isEmpty() || text == s.taken || s.source.trimmed().isEmpty()) return;
        s.taken = text;
        out.emplace_back(s.source.trimmed(), text);
    };
    for (Span& s : earlier_) take(s);
    take(current_);
    return out;
}

} // namespace qb
