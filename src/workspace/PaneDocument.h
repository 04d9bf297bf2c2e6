// A pane's text made into a QTextDocument off the window's thread. QPlainTextEdit's own
// setPlainText spends about 2 s of the window's thread on 50 MB of units (one block a line, each
// with its layout object), and as long again on the target pane's 2N-1 lines of a document of N
// units: a big text is built on a worker into a document of the pane's kind and the window's
// thread only puts it in the pane.
#pragma once

#include <QFont>
#include <QString>
#include <QTextOption>

#include <functional>
#include <memory>

class QPlainTextEdit;
class QTextDocument;
class QThread;

namespace qb {

// What the pane's documents are made with, read on the window's thread.
struct TPaneLook {
    QFont font;
    QTextOption option;
    qreal margin = 0;
};
TPaneLook LookOf(const QPlainTextEdit& pane);

// `text` as the pane would hold it, built on the calling thread and handed to `home`'s thread.
// `advanced(n)` is told of each chunk of n characters put in (a progress dialog); it throws to
// stop. Null for a text of one line: the layout would measure it against the font, and fonts
// stay on the window's thread, so such a text goes to the pane by setPlainText as it always did.
std::unique_ptr<QTextDocument> BuildPaneDocument(const QString& text, const TPaneLook& look,
                                                 QThread* home,
                                                 const std::function<void(qsizetype)>& advanced);

// Puts `built` into `pane` in place of its document, keeping the pane's undo setting; a
// document of ours put in earlier is deleted on a thread of its own. Whatever watches the pane's document must follow
// it afterwards (TfrmMainQB::PaneDocumentsReplaced).
void ReplacePaneDocument(QPlainTextEdit& pane, std::unique_ptr<QTextDocument> built);

} // namespace qb
