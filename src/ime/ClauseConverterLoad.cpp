#include "ClauseConverterLoad.h"

#include <chrono>

namespace qb {

TClauseConverterLoad::~TClauseConverterLoad() {
    if (pending_.valid()) pending_.wait();
}

void TClauseConverterLoad::Start(Make make) {
    if (started_ || !make) return;
    started_ = true;
    pending_ = std::async(std::launch::async, std::move(make));
}

ClauseConverter* TClauseConverterLoad::Get() {
    if (pending_.valid())
        converter_ = pending_.get(); // get() leaves pending_ invalid, also on throw
    return converter_.get();
}

bool TClauseConverterLoad::Ready() const {
    return !pending_.valid() || pending_.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
}

} // namespace qb
