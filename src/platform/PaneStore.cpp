#include "PaneStore.h"

#include "MyUtils.h"

#include <QDir>
#include <QStringDecoder>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

namespace qb {

namespace {
constexpr QByteArrayView kHead = "quillbridge-panes 1\n";

// Reads "<word> <number>[ <number>]\n" at `pos`; false when the line is not exactly that.
bool ReadLine(QByteArrayView bytes, qsizetype& pos, QByteArrayView word, long long* a, long long* b) {
    const qsizetype end = bytes.indexOf('\n', pos);
    if (end < 0) return false;
    const QByteArrayView line = bytes.sliced(pos, end - pos);
    pos = end + 1;
    if (!line.startsWith(word) || line.size() <= word.size() || line[word.size()] != ' ')
        return false;
    const QByteArrayView rest = line.sliced(word.size() + 1);
    const qsizetype space = rest.indexOf(' ');
    if ((space >= 0) != (b != nullptr)) return false;
    // Digits only: toLongLong would also take "+5" or " 5".
    auto number = [](QByteArrayView digits, long long* out) {
        if (digits.isEmpty() || digits.size() > 12) return false;
        long long v = 0;
        for (char c : digits) {
            if (c < '0' || c > '9') return false;
            v = v * 10 + (c - '0');
        }
        *out = v;
        return true;
    };
    if (!b) return number(rest, a);
    return number(rest.first(space), a) && number(rest.sliced(space + 1), b);
}

bool ReadText(QByteArrayView bytes, qsizetype& pos, QByteArrayView word, QString& out) {
    long long n = 0;
    if (!ReadLine(bytes, pos, word, &n, nullptr)) return false;
    if (n > bytes.size() - pos - 1 || bytes[pos + qsizetype(n)] != '\n') return false;
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    out = utf8(bytes.sliced(pos, qsizetype(n)));
    if (utf8.hasError()) return false;
    pos += qsizetype(n) + 1;
    return true;
}
} // namespace

QByteArray PaneStateToBytes(const TPaneState& state) {
    const QByteArray source = state.source.toUtf8();
    const QByteArray target = state.target.toUtf8();
    QByteArray out;
    out.reserve(source.size() + target.size() + 80);
    out += kHead;
    out += "selection " + QByteArray::number(state.selStart) + ' ' +
           QByteArray::number(state.selLength) + '\n';
    out += "source " + QByteArray::number(source.size()) + '\n' + source + '\n';
    out += "target " + QByteArray::number(target.size()) + '\n' + target + '\n';
    if (!state.document.isEmpty()) {
        const QByteArray path = state.document.toUtf8();
        out += "document " + QByteArray::number(path.size()) + '\n' + path + '\n';
        if (!state.segments.isEmpty()) {
            const QByteArray letters = state.segments.toUtf8();
            out += "segments " + QByteArray::number(letters.size()) + '\n' + letters + '\n';
        }
    }
    return out;
}

std::optional<TPaneState> PaneStateFromBytes(QByteArrayView bytes) {
    if (!bytes.startsWith(kHead)) return std::nullopt;
    qsizetype pos = kHead.size();
    TPaneState state;
    long long start = 0, length = 0;
    if (!ReadLine(bytes, pos, "selection", &start, &length)) return std::nullopt;
    if (start > 0x7FFFFFFF || length > 0x7FFFFFFF) return std::nullopt;
    state.selStart = int(start);
    state.selLength = int(length);
    if (!ReadText(bytes, pos, "source", state.source)) return std::nullopt;
    if (!ReadText(bytes, pos, "target", state.target)) return std::nullopt;
    if (pos != bytes.size() && !ReadText(bytes, pos, "document", state.document))
        return std::nullopt;
    if (pos != bytes.size() && !ReadText(bytes, pos, "segments", state.segments))
        return std::nullopt;
    if (pos != bytes.size()) return std::nullopt;
    return state;
}

struct TPaneFileWriter::State {
    std::mutex mutex;
    std::condition_variable wake;  // the worker: something to write, or stop
    std::condition_variable ended; // Finish: the worker is done
    std::optional<TPaneState> pending;
    bool stop = false;
    bool running = false;
    std::vector<QString> results;     // not yet delivered
    TPaneFileWriter* owner = nullptr; // null once the writer is gone (a worker left running)
};

TPaneFileWriter::TPaneFileWriter(std::string path, QObject* parent)
    : QObject(parent), path_(std::move(path)), state_(std::make_shared<State>()) {
    state_->owner = this;
}

TPaneFileWriter::~TPaneFileWriter() {
    Finish(kShutdownWaitMs);
    std::lock_guard lock(state_->mutex);
    state_->owner = nullptr;
}

namespace {
QString WriteOnce(const std::string& path, const TPaneState& state) {
    try {
        const QByteArray bytes = PaneStateToBytes(state);
        if (auto slash = path.rfind('/'); slash != std::string::npos && slash > 0)
            QDir().mkpath(QString::fromUtf8(path.substr(0, slash)));
        WriteWholeFileSafely(path, std::string_view(bytes.constData(), std::size_t(bytes.size())),
                             kPrivateFileMode);
        return {};
    } catch (const std::exception& e) {
        return QString::fromUtf8(e.what());
    }
}
} // namespace

void TPaneFileWriter::Write(TPaneState state) {
    {
        std::lock_guard lock(state_->mutex);
        state_->pending = std::move(state);
        state_->stop = false;
        if (state_->running) {
            state_->wake.notify_one();
            return;
        }
        state_->running = true;
    }
    if (thread_.joinable()) thread_.join(); // a worker that ended after the last Finish
    thread_ = std::thread([s = state_, path = path_] {
        std::unique_lock lock(s->mutex);
        for (;;) {
            s->wake.wait(lock, [&] { return s->pending || s->stop; });
            if (!s->pending) break;
            const TPaneState snapshot = std::move(*s->pending);
            s->pending.reset();
            lock.unlock();
            QString error = WriteOnce(path, snapshot);
            lock.lock();
            s->results.push_back(std::move(error));
            // Posted while the writer cannot go away (its destructor takes the mutex first).
            if (s->owner)
                QMetaObject::invokeMethod(s->owner, &TPaneFileWriter::Deliver, Qt::QueuedConnection);
        }
        s->running = false;
        s->ended.notify_all();
    });
}

bool TPaneFileWriter::Finish(int ms) {
    bool done;
    {
        std::unique_lock lock(state_->mutex);
        state_->stop = true;
        state_->wake.notify_one();
        done = state_->ended.wait_for(lock, std::chrono::milliseconds(ms),
                                      [&] { return !state_->running; });
    }
    if (done && thread_.joinable()) thread_.join();
    if (!done && thread_.joinable()) thread_.detach(); // holds the state, not this writer
    Deliver();
    return done;
}

void TPaneFileWriter::Deliver() {
    std::vector<QString> results;
    {
        std::lock_guard lock(state_->mutex);
        results.swap(state_->results);
    }
    for (const QString& error : results) Q_EMIT written(error);
}

} // namespace qb
