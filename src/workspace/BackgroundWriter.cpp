#include "BackgroundWriter.h"

#include "MyUtils.h"

namespace qb {

TBackgroundWriter::~TBackgroundWriter() {
    {
        std::unique_lock lock(mutex_);
        idle_.wait(lock, [&] { return !next_ && !writing_; });
        stop_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
}

void TBackgroundWriter::Submit(std::string path, std::string bytes) {
    {
        std::lock_guard lock(mutex_);
        next_ = Job{std::move(path), std::move(bytes)};
        if (!thread_.joinable()) thread_ = std::thread([this] { Run(); });
    }
    wake_.notify_all();
}

void TBackgroundWriter::Drain() {
    std::unique_lock lock(mutex_);
    idle_.wait(lock, [&] { return !next_ && !writing_; });
}

bool TBackgroundWriter::Busy() const {
    std::lock_guard lock(mutex_);
    return next_ || writing_;
}

std::string TBackgroundWriter::LastError() const {
    std::lock_guard lock(mutex_);
    return lastError_;
}

void TBackgroundWriter::Run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [&] { return stop_ || next_; });
        if (!next_) return; // stopped with nothing left
        Job job = std::move(*next_);
        next_.reset();
        writing_ = true;
        lock.unlock();
        std::string error;
        try {
            WriteWholeFileSafely(job.path, job.bytes);
        } catch (const std::exception& e) {
            error = e.what();
        }
        lock.lock();
        writing_ = false;
        lastError_ = error;
        if (!next_) idle_.notify_all();
    }
}

} // namespace qb
