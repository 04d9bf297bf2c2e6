// What the translator typed into the target pane for the sentence in hand: the text that the
// next sentence's selection records as this sentence's translation.
//
// The span starts empty at the caret when a sentence is selected, and follows the pane's edits:
//   - text put in at its end (typed, a pick of the input method, a list line, a paste) grows it;
//   - an edit inside it (going back to mend a word) stays inside it;
//   - an edit before it (mending the previous sentence's translation) moves it along, and a
//     deletion that reaches into it from before takes away only what it deletes;
//   - when nothing of it is left and text goes in elsewhere (the translator clicked at the end
//     of the pane first), the span starts there.
// Its end is where the typing reached, not where the caret stands at the next Ctrl+J: with
// "他来了。" in the pane and "She left." selected, typing "她走了。" and then clicking back to make
// 走 离开 leaves the caret after 离开, yet the span is the whole "她离开了。"; a caret moved back
// before the span, or onto older text after it, neither shortens it nor adds that text.
#pragma once

#include <QObject>
#include <QString>
#include <QTextCursor>

class QPlainTextEdit;

namespace qb {

class TTypedSpan : public QObject {
public:
    explicit TTypedSpan(QPlainTextEdit* pane);

    // Starts an empty span at the pane's caret.
    void Start();
    // Tracks nothing until the next Start (the pane's text was replaced as a whole).
    void Stop();
    bool Active() const { return active_; }
    // The span's text, white space at both ends removed; empty when not active.
    QString Text() const;

private:
    void Changed(int position, int removed, int added);

    QPlainTextEdit* pane_;
    QTextCursor begin_; // keeps its place when text is inserted at it
    QTextCursor end_;   // moves behind text inserted at it
    bool active_ = false;
};

} // namespace qb
