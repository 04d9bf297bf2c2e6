// The sentence in hand: the sentence the translator selected last (Ctrl+J, a click), the span of
// the target pane typed for it, and the link to the translation memory its pair goes to.
// The window owns one; the document commands and the memory's look-ups reach it only through
// the window, so "what was typed for 'Save the file.'" has one keeper.
//
// Its verbs, as the window uses them:
//   - Take: a sentence was selected. "Dr." grown by Ctrl+K to "Dr. Li came." from the same
//     start goes on being the same sentence (true); any other starts a new span (false).
//   - Settle: the pairs typed since they were last handed out (the sentence in hand and any
//     earlier one mended since), recorded in the memory, for the window to learn from.
//   - Drop: the panes' text is replaced as a whole (清空原文和译文, a document opened): nothing
//     is in hand any more, and no answer of the memory for the old sentence is shown.
#pragma once

#include <QString>

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class QPlainTextEdit;

namespace qb {

class TMemoryLink;
class TTypedSpan;

class TSentenceInHand {
public:
    using TPairs = std::vector<std::pair<QString, QString>>;

    // `target`: the pane the translation is typed into; `memoryFile` empty: no memory, nothing
    // tracked. `onLinkMade` connects a new memory link's signals (made at its first use).
    TSentenceInHand(QPlainTextEdit* target, std::string memoryFile,
                    std::function<void(TMemoryLink&)> onLinkMade);
    ~TSentenceInHand();
    TSentenceInHand(const TSentenceInHand&) = delete;
    TSentenceInHand& operator=(const TSentenceInHand&) = delete;

    // True when `source` at `start` grows the sentence in hand rather than replacing it; for a
    // new sentence `beforeNew` runs first (the window settles the old one there). `atCaret`: a
    // new sentence's translation starts at the target pane's caret (a document's unit, typed in
    // its own paragraph), not at the end of the last one's.
    bool Take(const QString& source, int start, const std::function<void()>& beforeNew,
              bool atCaret = false);
    // The pairs changed since last settled, each recorded in the memory (when there is one).
    TPairs Settle();
    void Drop();

    const QString& Source() const { return source_; }
    // The text typed for it so far, trimmed; empty when nothing is tracked.
    QString Typed() const;
    // Nothing more is tracked until the next Take (the program is shutting down).
    void StopTyping();

    // The memory link, made at the first call; null without a memory file or once closed.
    TMemoryLink* Memory();
    // Lets the link write what it was given and closes it (waiting at most `ms`); `reopen`
    // false: no link is made again (shutdown).
    void CloseMemory(int ms, bool reopen);

private:
    QPlainTextEdit* target_;
    std::string memoryFile_;
    std::function<void(TMemoryLink&)> onLinkMade_;
    std::unique_ptr<TMemoryLink> memory_;
    TTypedSpan* typed_ = nullptr; // a child of the target pane
    QString source_;              // as the source pane holds it
    int start_ = -1;              // its byte offset in the source pane
    bool closed_ = false;
};

} // namespace qb
