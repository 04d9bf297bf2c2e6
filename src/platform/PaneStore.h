// The kept text of the two panes: what the translator typed survives a closed window, a crash,
// a kill or a power cut. The texts are kept as UTF-8, not as the panes' GBK bytes, so that a
// character GBK cannot hold (a pasted emoji, a rare name) comes back as it was, not as '?'.
//
// Bytes of the file (LF line ends; each text is given with its length in bytes, so any text,
// line breaks and NUL bytes included, reads back as it was written):
//   quillbridge-panes 1
//   selection 12 5          <- the source pane's selection: byte offset and length in the
//   source 16                  pane's GBK text (as the pane model counts them)
//   Take care of it.
//   target 6
//   小心         <- 6 bytes of UTF-8
//   document 20             <- only while a document is open (a file without it, as older
//   /home/ann/guide.md         versions wrote, reads as no document)
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>

namespace qb {

struct TPaneState {
    QString source;
    QString target;
    int selStart = 0;
    int selLength = 0;
    bool operator==(const TPaneState&) const = default;
};

// `document`: the path of the document whose units the source pane shows (empty: none).
QByteArray PaneStateToBytes(const TPaneState& state, const QString& document = {});
// nullopt for anything that is not such a file (a wrong head, a length past the end, a cut
// file, bytes that are not UTF-8). `document`, when given, receives the document's path.
std::optional<TPaneState> PaneStateFromBytes(QByteArrayView bytes, QString* document = nullptr);

} // namespace qb
