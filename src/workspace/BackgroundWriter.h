// Writes whole files on a thread of its own, one at a time, so that a large user lexicon is
// kept on disk while the translator types without the window waiting for the disk.
//
// The window takes a snapshot of the bytes on its own thread and hands it over; the writer
// writes it safely (temporary file, flush, rename). A snapshot handed over while another one is
// being written waits, and a newer one replaces it (only the newest bytes matter): with F8
// pressed three times during one slow write, two writes happen, not four, and never two at
// once. Drain waits for whatever was handed over, so a save that follows (shutdown) comes last.
#pragma once

#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace qb {

class TBackgroundWriter {
public:
    TBackgroundWriter() = default;
    ~TBackgroundWriter(); // drains, then ends the thread
    TBackgroundWriter(const TBackgroundWriter&) = delete;
    TBackgroundWriter& operator=(const TBackgroundWriter&) = delete;

    // Writes `bytes` to `path` soon.
    void Submit(std::string path, std::string bytes);
    // Returns once nothing is waiting and nothing is being written.
    void Drain();
    // Something is waiting or being written.
    bool Busy() const;
    // The error of the last write when it failed ("Cannot create file %s"); empty after a
    // write that succeeded.
    std::string LastError() const;

private:
    struct Job {
        std::string path;
        std::string bytes;
    };
    void Run();

    mutable std::mutex mutex_;
    std::condition_variable wake_; // a job or the stop for the thread
    std::condition_variable idle_; // nothing waiting, nothing being written
    std::optional<Job> next_;
    bool writing_ = false;
    bool stop_ = false;
    std::string lastError_;
    std::thread thread_; // started by the first Submit
};

} // namespace qb
