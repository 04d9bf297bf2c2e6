#include "MemoryLink.h"

#include "MemoryJournal.h"
#include "TmText.h"
#include "TranslationMemory.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QThread>

#include <atomic>
#include <cerrno>
#include <ctime>
#include <deque>
#include <mutex>

#include <unistd.h>

namespace qb {

namespace {

QString FromUtf8(const std::string& s) { return QString::fromUtf8(s.data(), qsizetype(s.size())); }

// A piece's text with its leading white space outside the mark: " cat" -> " <s>cat</s>".
QString Marked(const std::string& text, const char* tag) {
    const QString t = FromUtf8(text);
    qsizetype lead = 0;
    while (lead < t.size() && t.at(lead).isSpace()) ++lead;
    if (lead == t.size()) return t.toHtmlEscaped();
    return t.left(lead).toHtmlEscaped() + QLatin1Char('<') + QLatin1String(tag) + QLatin1Char('>') +
           t.mid(lead).toHtmlEscaped() + QLatin1String("</") + QLatin1String(tag) + QLatin1Char('>');
}

} // namespace

QString MatchTooltip(const std::string& storedUtf8, const std::string& sentenceUtf8,
                     const std::string& targetUtf8) {
    QString html = QStringLiteral("<qt><p style=\"white-space:pre-wrap\">");
    for (const tm::DiffPiece& p : tm::Difference(storedUtf8, sentenceUtf8)) {
        switch (p.kind) {
        case tm::DiffPiece::Same: html += FromUtf8(p.text).toHtmlEscaped(); break;
        case tm::DiffPiece::Old: html += Marked(p.text, "s"); break;
        case tm::DiffPiece::New: html += Marked(p.text, "u"); break;
        }
    }
    QString target = FromUtf8(targetUtf8).toHtmlEscaped();
    target.replace(QLatin1Char('\n'), QLatin1String("<br>"));
    return html + QLatin1String("</p><p>") + target + QLatin1String("</p></qt>");
}

// What the worker and the window share. `memory` is touched on the worker thread only;
// `receiver` is cleared (under the lock) when the window's side goes away, so a worker left
// running at the end of the process never posts to a link that is gone.
struct TMemoryLink::State {
    std::string path;
    std::string journal; // JournalPathFor(path)
    std::unique_ptr<tm::TTranslationMemory> memory;
    std::string openError; // why the last opening failed
    std::atomic<std::uint64_t> latest{0};
    std::mutex lock;
    TMemoryLink* receiver = nullptr;
    // Pairs asked to be recorded and not yet in the file, oldest first (worker thread only). A
    // file another program holds past the busy wait, a full disk, a file without write
    // permission or of a newer version costs no pair: what could not be written goes to the
    // journal on disk at once, and into the file at the next request that finds it usable
    // (at the latest at the next start), in the order typed, with the time it was typed.
    struct Unwritten {
        std::string source, target;
        std::int64_t when;
        bool journaled = false; // already in the journal
    };
    std::deque<Unwritten> unwritten;
    bool journalRead = false;
    bool journalExists = false;
    bool told = false; // the window was told where the pairs wait

    template <class F>
    void Report(F&& f) {
        std::lock_guard<std::mutex> hold(lock);
        if (receiver) QMetaObject::invokeMethod(receiver, std::forward<F>(f), Qt::QueuedConnection);
    }
    void Fail(const std::string& what) {
        const QString message = QString::fromStdString(what);
        Report([this, message] {
            // Runs on the window's thread; null only when the worker was left running.
            if (receiver) Q_EMIT receiver->failed(message);
        });
    }
    // The memory's connections and threads, one policy for the whole window:
    // - A connection (a TTranslationMemory) is made, used and closed on one thread and never
    //   handed to another; each thread that works on the memory has its own, and SQLite's
    //   write-ahead log lets them read side by side while one writes.
    // - The window's thread makes none: a look-up there would hold the key under the finger,
    //   and a file another program holds costs seconds of busy wait.
    // - Each kind of work has one thread, living as long as that work: the sentence in hand
    //   (its matches, the pairs typed for it) on this worker, for the whole run; a job over
    //   the whole memory (TMX import, TMX export) on a job thread of its own, opened at the
    //   job's start and closed at its end (MemoryCommands.cpp); the concordance window's
    //   searches on its one-thread pool (MemorySearchWindow.cpp).
    // Opened at the first request; tried again at the next one after a failure (a folder that
    // could not be made, a file another program held).
    tm::TTranslationMemory* Open() {
        if (memory) return memory.get();
        try {
            memory = std::make_unique<tm::TTranslationMemory>(path);
        } catch (const std::exception& e) {
            openError = e.what();
        }
        return memory.get();
    }
    // Opens for a look-up: a failure is reported.
    tm::TTranslationMemory* OpenToRead() {
        tm::TTranslationMemory* m = Open();
        if (!m) Fail(openError);
        return m;
    }
    // The pairs a former run (or this one) kept in the journal, before any asked since.
    void ReadJournal() {
        if (journalRead) return;
        journalRead = true;
        std::vector<tm::KeptPair> kept;
        try {
            kept = tm::ReadJournalFile(journal);
        } catch (const std::exception& e) {
            Fail(e.what());
            return;
        }
        journalExists = FileExistsHere(journal);
        for (auto it = kept.rbegin(); it != kept.rend(); ++it)
            unwritten.push_front({std::move(it->source), std::move(it->target), it->when, true});
    }
    static bool FileExistsHere(const std::string& file) {
        return QFileInfo::exists(QString::fromStdString(file));
    }
    // True when nothing is left unwritten.
    bool WriteUnwritten() {
        ReadJournal();
        if (!unwritten.empty()) {
            std::string why;
            if (tm::TTranslationMemory* m = Open()) {
                while (!unwritten.empty()) {
                    const Unwritten& u = unwritten.front();
                    try {
                        m->Record(u.source, u.target, u.when);
                    } catch (const std::exception& e) {
                        why = e.what();
                        break;
                    }
                    unwritten.pop_front();
                }
            } else {
                why = openError;
            }
            if (!unwritten.empty()) {
                Keep(why);
                return false;
            }
        }
        if (journalExists) {
            // Everything it held is in the file now (a pair written twice, after a crash just
            // before this, is only recorded again as unchanged).
            if (::unlink(journal.c_str()) == 0 || errno == ENOENT) journalExists = false;
        }
        return true;
    }
    // Appends the pairs not yet there to the journal and tells the window, once a run, where
    // they wait (also when they are a former run's, still refused).
    void Keep(const std::string& why) {
        std::vector<tm::KeptPair> fresh;
        for (const Unwritten& u : unwritten)
            if (!u.journaled) fresh.push_back({u.source, u.target, u.when});
        if (fresh.empty() && told) return;
        if (!fresh.empty()) {
            try {
                tm::AppendToJournal(journal, fresh);
            } catch (const std::exception& e) {
                // Not even the journal can be written: the pairs wait in memory, for this run.
                Fail(why + "\n" + e.what());
                return;
            }
        }
        journalExists = true;
        told = true;
        for (Unwritten& u : unwritten) u.journaled = true;
        const QString reason = QString::fromStdString(why);
        const QString where = QString::fromStdString(journal);
        Report([this, reason, where] {
            if (receiver) Q_EMIT receiver->kept(reason, where);
        });
    }
};

TMemoryLink::TMemoryLink(std::string path)
    : path_(std::move(path)), state_(std::make_shared<State>()) {
    state_->path = path_;
    state_->journal = tm::JournalPathFor(path_);
    state_->receiver = this;
}

TMemoryLink::~TMemoryLink() {
    Finish(kShutdownWaitMs);
    std::lock_guard<std::mutex> hold(state_->lock);
    state_->receiver = nullptr;
}

void TMemoryLink::EnsureThread() {
    if (thread_ || finished_) return;
    thread_ = new QThread;
    thread_->setObjectName(QStringLiteral("translation memory"));
    context_ = new QObject;
    context_->moveToThread(thread_);
    thread_->start();
}

void TMemoryLink::Post(std::function<void(State&)> task) {
    EnsureThread();
    if (!context_) return;
    QMetaObject::invokeMethod(
        context_, [state = state_, task = std::move(task)] { task(*state); }, Qt::QueuedConnection);
}

void TMemoryLink::Lookup(const QString& sentence) {
    const std::uint64_t seq = ++latest_;
    state_->latest = seq;
    const std::string s = sentence.toStdString();
    Post([seq, s, sentence](State& st) {
        if (st.latest != seq) return; // a newer sentence was selected meanwhile
        // Pairs that cannot be written wait in the journal; the look-up goes on without them.
        st.WriteUnwritten();
        tm::TTranslationMemory* m = st.OpenToRead();
        if (!m) return;
        QList<TMemoryMatch> found;
        try {
            for (const tm::Match& match : m->Matches(s, 60, 5)) {
                // The window reads the words of the best match alone.
                QStringList lacking;
                if (found.isEmpty())
                    for (const std::string& piece : tm::OldPieces(match.pair.source, s))
                        lacking.push_back(FromUtf8(piece));
                found.push_back({match.score, FromUtf8(match.pair.target),
                                 MatchTooltip(match.pair.source, s, match.pair.target), lacking});
            }
        } catch (const std::exception& e) {
            st.Fail(e.what());
            return;
        }
        st.Report([&st, seq, sentence, found] {
            TMemoryLink* link = st.receiver;
            if (link && link->latest_ == seq) Q_EMIT link->matchesFound(sentence, found);
        });
    });
}

void TMemoryLink::Cancel() { state_->latest = ++latest_; }

void TMemoryLink::WriteKept() {
    Post([](State& st) { st.WriteUnwritten(); });
}

std::string TMemoryLink::JournalPath() const { return state_->journal; }

void TMemoryLink::Record(const QString& source, const QString& target) {
    Post([s = source.toStdString(), t = target.toStdString(),
          when = std::int64_t(std::time(nullptr))](State& st) {
        st.unwritten.push_back({s, t, when});
        st.WriteUnwritten();
    });
}

bool TMemoryLink::Finish(int ms) {
    if (finished_) return true;
    if (!thread_) {
        finished_ = true;
        return true;
    }
    Post([](State& st) {
        st.WriteUnwritten(); // a last try for what an earlier failure held back
        st.memory.reset();   // closed on the thread that used it
        QThread::currentThread()->quit();
    });
    finished_ = true;
    if (!thread_->wait(QDeadlineTimer(ms))) {
        // Left running (a file that stays locked): never deleted under its feet.
        std::lock_guard<std::mutex> hold(state_->lock);
        state_->receiver = nullptr;
        thread_ = nullptr;
        context_ = nullptr;
        return false;
    }
    delete context_;
    context_ = nullptr;
    delete thread_;
    thread_ = nullptr;
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall); // the failures it reported
    return true;
}

} // namespace qb
