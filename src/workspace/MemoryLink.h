// The main window's link to the translation memory: every lookup and every record runs on a
// worker thread with a connection of its own, so the window never waits on the file (a fuzzy
// search, a write that waits for qblex's import to let go of the file). The file is opened at the
// first request, so a start of the program that selects no sentence never touches it.
#pragma once

#include <QList>
#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class QThread;

namespace qb {

struct TMemoryMatch {
    int score = 0;
    QString target;      // the translation, as recorded
    QString tooltip;     // rich text: the stored source with its differences from the sentence
    QStringList lacking; // the best match's alone: what its source has and the sentence has not
};

// The hover text of a match: the stored source with what it has and the sentence has not
// struck through, what the sentence has in its place underlined, then the translation.
// "The cat sat." matched for "The dog sat." shows "The <s>cat</s> <u>dog</u> sat.".
QString MatchTooltip(const std::string& storedUtf8, const std::string& sentenceUtf8,
                     const std::string& targetUtf8);

class TMemoryLink : public QObject {
    Q_OBJECT
public:
    explicit TMemoryLink(std::string path);
    // Finish(kShutdownWaitMs); a worker that does not end in that time is left to the end of
    // the process (the file's log keeps it whole whenever that comes).
    ~TMemoryLink() override;

    static constexpr int kShutdownWaitMs = 6000; // the file's busy wait (5 s) and a margin

    const std::string& Path() const { return path_; }
    // Asks for the best matches of `sentence` (at most five, 60% and up); matchesFound comes
    // for the latest sentence asked only, and not after Cancel.
    void Lookup(const QString& sentence);
    void Cancel();
    // Records a pair (each in its own transaction); done in the order asked, before any
    // lookup asked later. A pair the file refuses is appended to the journal (JournalPath) and
    // written at the next request (record, lookup, WriteKept or Finish) that finds the file
    // usable again; the journal goes once it is all written.
    void Record(const QString& source, const QString& target);
    // Writes what the journal holds (the pairs of a former run), if the file takes them.
    void WriteKept();
    // Where refused pairs wait: beside the file, "translation-memory-unwritten.txt".
    std::string JournalPath() const;
    // Lets the worker finish what was asked, closes the file and ends the thread; false when
    // it did not end within `ms`. What the worker reported meanwhile is delivered here.
    bool Finish(int ms);

Q_SIGNALS:
    void matchesFound(const QString& sentence, const QList<qb::TMemoryMatch>& matches);
    // The file cannot be opened for a look-up, or a refused pair cannot even be kept in the
    // journal: TmError's text ("Cannot open file ...: ...").
    void failed(const QString& message);
    // The file refused pairs (`reason`: TmError's text); they are kept in `journal`.
    void kept(const QString& reason, const QString& journal);

private:
    struct State;
    void EnsureThread();
    void Post(std::function<void(State&)> task);

    std::string path_;
    std::shared_ptr<State> state_;
    QThread* thread_ = nullptr;
    QObject* context_ = nullptr; // lives on the worker thread
    std::uint64_t latest_ = 0;   // the lookup whose answer is awaited
    bool finished_ = false;
};

} // namespace qb
