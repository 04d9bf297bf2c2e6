// How far long work has come, and whether the user asked it to stop. The work writes it from
// its worker thread, the progress window reads it on the window's thread and sets the cancel
// when 取消 is pressed; every member is safe from both. Work that cannot stop halfway (a merge
// into the user lexicon has no undo) simply never reads Cancelled().
#pragma once

#include <atomic>
#include <cstddef>

namespace qb {

class TProgress {
public:
    // `total` steps lie ahead (bytes, entries, units): 0 of them are done.
    void Start(std::size_t total) {
        total_ = total;
        done_ = 0;
    }
    void Advance(std::size_t done) { done_ = done; }
    std::size_t Total() const { return total_; }
    std::size_t Done() const { return done_; }

    void Cancel() { cancel_ = true; }
    bool Cancelled() const { return cancel_; }
    // For engines that take a cancel flag of their own (the TMX import checks it between
    // transactions).
    const std::atomic<bool>* CancelFlag() const { return &cancel_; }

private:
    std::atomic<std::size_t> total_{0};
    std::atomic<std::size_t> done_{0};
    std::atomic<bool> cancel_{false};
};

} // namespace qb
