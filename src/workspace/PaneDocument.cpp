#include "PaneDocument.h"

#include <QPlainTextDocumentLayout>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>
#include <QThread>

#include <algorithm>

namespace qb {

TPaneLook LookOf(const QPlainTextEdit& pane) {
    const QTextDocument* d = pane.document();
    return {d->defaultFont(), d->defaultTextOption(), d->documentMargin()};
}

std::unique_ptr<QTextDocument> BuildPaneDocument(const QString& text, const TPaneLook& look,
                                                 QThread* home,
                                                 const std::function<void(qsizetype)>& advanced) {
    if (!text.contains(QLatin1Char('\n'))) return nullptr;
    auto d = std::make_unique<QTextDocument>();
    d->setUndoRedoEnabled(false);
    d->setDefaultFont(look.font);
    d->setDefaultTextOption(look.option);
    d->setDocumentMargin(look.margin);
    QTextCursor cursor(d.get());
    constexpr qsizetype kChunk = qsizetype(1) << 20;
    for (qsizetype at = 0; at < text.size();) {
        qsizetype end = std::min(text.size(), at + kChunk);
        if (end < text.size()) {
            const qsizetype eol = text.indexOf(QLatin1Char('\n'), end);
            end = eol < 0 ? text.size() : eol + 1;
        }
        cursor.insertText(text.mid(at, end - at));
        if (advanced) advanced(end - at);
        at = end;
    }
    // The pane's kind of layout, given the text whole: it marks each line's block for laying
    // out later, measuring nothing now; each block's layout object is made here.
    d->setDocumentLayout(new QPlainTextDocumentLayout(d.get()));
    for (QTextBlock b = d->begin(); b.isValid(); b = b.next()) b.layout();
    d->moveToThread(home);
    return d;
}

void ReplacePaneDocument(QPlainTextEdit& pane, std::unique_ptr<QTextDocument> built) {
    QTextDocument* old = pane.document();
    const bool undo = old->isUndoRedoEnabled();
    // The pane deletes the document it made itself; one of ours, from an earlier big document,
    // is deleted here.
    const bool ours = old->parent() == &pane;
    built->setParent(&pane);
    pane.setDocument(built.release());
    pane.document()->setUndoRedoEnabled(undo);
    if (!ours) return;
    // Deleting 50 MB of blocks holds a thread ~120 ms: the old document goes on a thread of its
    // own, unparented, so nothing of the window's refers to it any more.
    old->setParent(nullptr);
    QThread* bin = QThread::create([old] { delete old; });
    old->moveToThread(bin);
    QObject::connect(bin, &QThread::finished, bin, &QObject::deleteLater);
    bin->start(QThread::LowPriority);
}

} // namespace qb
