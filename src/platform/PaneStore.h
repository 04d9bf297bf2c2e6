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
//   segments 4              <- with a document: each unit's status, one letter a unit
//   ttuf                       (translated, untranslated, fuzzy, checked; older files lack it)
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QObject>
#include <QString>

#include <memory>
#include <optional>
#include <string>
#include <thread>

namespace qb {

struct TPaneState {
    QString source;
    QString target;
    int selStart = 0;
    int selLength = 0;
    QString document; // the path of the document whose units the source pane shows (empty: none)
    QString segments; // the document's segment statuses ("ttuf"); empty: none kept
    bool operator==(const TPaneState&) const = default;
};

QByteArray PaneStateToBytes(const TPaneState& state);
// nullopt for anything that is not such a file (a wrong head, a length past the end, a cut
// file, bytes that are not UTF-8).
std::optional<TPaneState> PaneStateFromBytes(QByteArrayView bytes);

// Writes the panes file on a thread of its own: a safe write makes two fsyncs, and on a busy or
// network disk each can take 100 ms, which the key under the translator's finger would wait for.
// The window hands over a snapshot of the panes; the worker makes the bytes, the temporary file,
// the syncs and the rename. Only the latest snapshot counts: five changes asked during one slow
// write give one more write, of the fifth.
class TPaneFileWriter : public QObject {
    Q_OBJECT
public:
    explicit TPaneFileWriter(std::string path, QObject* parent = nullptr);
    // Finish(kShutdownWaitMs).
    ~TPaneFileWriter() override;

    // A safe write of a large file on a slow disk, with a wide margin; a worker that takes longer
    // is left to the end of the process (the old file stays whole until its rename).
    static constexpr int kShutdownWaitMs = 10000;

    const std::string& Path() const { return path_; }
    // Asks for `state` to be written; returns at once.
    void Write(TPaneState state);
    // Waits until what was asked is written and the thread has ended (a later Write starts a
    // new one), then delivers the results not yet delivered; false when `ms` passed first.
    bool Finish(int ms);

Q_SIGNALS:
    // After each write, on this object's thread: an empty text when the file was written, else
    // the failure's message ("Cannot create file <path>").
    void written(const QString& error);

private:
    struct State;
    void Deliver();

    std::string path_;
    std::shared_ptr<State> state_;
    std::thread thread_;
};

} // namespace qb
