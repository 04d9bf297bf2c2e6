// The whole-clause converter loaded beside the start-up: its dictionaries and language model take
// longer to read than the rest of the start, so the window is shown first and the converter
// comes on a worker thread. Nothing reaches the typist half loaded: the first call that needs the
// converter waits for the load to end, and from then on the converter is used on the calling
// thread alone. The window's converter is made with loadInBackground, so that load ends once 全拼
// can decode (about 0.15 s after the start here; the double-pinyin schemes and prediction follow
// within half a second without holding a key).
#pragma once

#include "ClauseConverter.h"

#include <functional>
#include <future>
#include <memory>

namespace qb {

class TClauseConverterLoad {
public:
    using Make = std::function<std::unique_ptr<ClauseConverter>()>;

    TClauseConverterLoad() = default;
    TClauseConverterLoad(const TClauseConverterLoad&) = delete;
    TClauseConverterLoad& operator=(const TClauseConverterLoad&) = delete;
    ~TClauseConverterLoad(); // waits for a load still running

    // Runs `make` on a worker thread; only the first call with a `make` does anything.
    void Start(Make make);
    // The converter, waiting for the load when it still runs; null when none was started or the
    // library's data is missing. An error of the load is thrown here once; afterwards null.
    ClauseConverter* Get();
    // The converter if Get has already handed it out, else null; never waits. What was never
    // handed out learned nothing, so shutdown saves only this one.
    ClauseConverter* Held() const { return converter_.get(); }
    // The load has ended (Get would not wait).
    bool Ready() const;

private:
    std::future<std::unique_ptr<ClauseConverter>> pending_;
    std::unique_ptr<ClauseConverter> converter_;
    bool started_ = false;
};

} // namespace qb
