// What the translator typed into the target pane for each sentence: the text that becomes the
// sentence's translation in the memory.
//
// The span of the sentence in hand starts empty when the sentence is selected, at the end of the
// previous sentence's span (or at the caret when there is none), and follows the pane's edits:
//   - text put in at its end (typed, a pick of the input method, a list line, a paste) grows it;
//   - an edit inside it (going back to mend a word) stays inside it;
//   - an edit before it (mending the previous sentence's translation) moves it along, and a
//     deletion that reaches into it from before takes away only what it deletes;
//   - while nothing of it is there, it takes text put in at or after its place (the translator
//     clicked at the end of the pane first), never text put in before it: with 第一行在这里。
//     typed for "The first line is here." and "The second line is there." selected, a 改
//     inserted into 第一行在这里。 is a mend of the first translation, and 第二行在那里。 typed
//     after Ctrl+End is the second one.
// Its end is where the typing reached, not where the caret stands at the next Ctrl+J: with
// "他来了。" in the pane and "She left." selected, typing "她走了。" and then clicking back to make
// 走 离开 leaves the caret after 离开, yet the span is the whole "她离开了。"; a caret moved back
// before the span, or onto older text after it, neither shortens it nor adds that text.
//
// The spans of the earlier sentences stay tracked (the newest kEarlierKept of them): a mend
// inside one of them is that sentence's new translation, taken by the next TakeChanged. Text put
// in at the border of two spans belongs to the later one.
#pragma once

#include <QObject>
#include <QString>
#include <QTextCursor>

#include <deque>
#include <utility>
#include <vector>

class QPlainTextEdit;
class QTextDocument;

namespace qb {

class TTypedSpan : public QObject {
public:
    static constexpr std::size_t kEarlierKept = 200;

    explicit TTypedSpan(QPlainTextEdit* pane);

    // Starts an empty span for `source`; the span in hand, if any, becomes an earlier one.
    // `atCaret`: the span starts at the caret even when one was in hand.
    void Start(const QString& source, bool atCaret = false);
    // The sentence in hand grew (Ctrl+K): its span goes on, now for `source`.
    void SetSource(const QString& source) { current_.source = source; }
    // Tracks nothing until the next Start (the pane's text was replaced as a whole).
    void Stop();
    bool Active() const { return active_; }
    // The span's text in hand, white space at both ends removed; empty when not active.
    QString Text() const;
    // (source, translation) of every span whose non-empty text differs from what was last taken
    // for it: the earlier sentences first, in order, then the sentence in hand.
    std::vector<std::pair<QString, QString>> TakeChanged();

private:
    struct Span {
        QString source;
        QTextCursor begin; // keeps its place when text is inserted at it
        QTextCursor end;   // in hand: moves behind text inserted at it; earlier: keeps its place
        QString taken;     // the text last handed out by TakeChanged
    };
    void Changed(int position, int removed, int added);
    void Follow(); // watches the pane's document of now
    static QString TextOf(const Span& span, const QString& paneText);

    QPlainTextEdit* pane_;
    QTextDocument* watched_ = nullptr;
    QMetaObject::Connection change_;
    Span current_;
    std::deque<Span> earlier_; // oldest first
    bool active_ = false;
};

} // namespace qb
