// Long work off the window's thread. RunJob runs the work on a worker thread and returns its
// result (or throws its exception) on the calling thread once it is done; meanwhile the calling
// thread keeps painting and serving timers, and after a short delay one progress window shows
// how far the work is. No key, click or close reaches any window but that progress window, so
// a command can never start again inside itself; its 取消 (for work that can stop) sets the
// progress's cancel, which the work reads between steps.
//
// Expanding the basic lexicon with a 765,000-entry lexicon takes about a second: on the
// window's thread that froze the window; here the window repaints every few milliseconds.
#pragma once

#include "Progress.h"

#include <QString>

#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <type_traits>
#include <utility>

class QWidget;

namespace qb {

struct TJobOptions {
    QString label; // "正在扩充词库/home/ann/law.qbs..."
    QString title = QString::fromUtf8("请稍候");
    bool cancellable = false; // a 取消 button (the work must read TProgress::Cancelled)
    int showAfterMs = 500;    // work that ends sooner shows no window
    QString cancellingLabel = QString::fromUtf8("正在取消...");
};

// The untyped core: runs `work` on a worker thread, waits as described above, rethrows.
void RunJobVoid(QWidget* parent, const TJobOptions& options, TProgress& progress,
                const std::function<void(TProgress&)>& work);

// True while a RunJob waits on this thread: timers that would touch what the work uses (the
// user lexicon's autosave) wait for the next round.
bool JobRunning();

// Work the window goes on beside (the TMX import: matches still come while it records). StartJob
// runs `work` on a worker and returns at once; a progress window that takes no input from the
// other windows (not modal) shows at once, with 取消 when the options allow it. `done` runs on
// the calling thread once the work has ended, with its exception or null. Destroying the job
// cancels the work and waits for it (shutdown during an import); `done` then does not run.
class TJob {
public:
    virtual ~TJob() = default;
    virtual void Cancel() = 0;
    virtual QWidget* Window() const = 0; // the progress window
};
std::unique_ptr<TJob> StartJob(QWidget* parent, const TJobOptions& options,
                               std::function<void(TProgress&)> work,
                               std::function<void(std::exception_ptr)> done);

template <class F>
auto RunJob(QWidget* parent, const TJobOptions& options, F&& work) {
    using R = std::invoke_result_t<F&, TProgress&>;
    TProgress progress;
    if constexpr (std::is_void_v<R>) {
        RunJobVoid(parent, options, progress, [&](TProgress& p) { work(p); });
    } else {
        std::optional<R> result;
        RunJobVoid(parent, options, progress, [&](TProgress& p) { result.emplace(work(p)); });
        return std::move(*result);
    }
}

} // namespace qb
