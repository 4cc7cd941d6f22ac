#include "azip32/progress.h"

#include <algorithm>

#include "azip32/azip32.h"
#include "azip32/failure.h"

namespace ch::azip {
namespace {

// Often enough for a Cancel to take effect well within a second at any speed the library
// reaches, rare enough that the calls cost nothing measurable.
constexpr uint64_t kReportStep = 1 << 20;

} // namespace

void Progress::begin(Stage stage, uint64_t total) {
    {
        std::lock_guard lock(mutex_);
        stage_ = stage;
        total_ = total;
        done_ = 0;
        nextReport_ = kReportStep;
    }
    report(0);
}

void Progress::advance(uint64_t bytes) {
    poll();
    if (!callback_)
        return;
    const uint64_t done = done_ += bytes;
    uint64_t next = nextReport_;
    // One thread of those that cross a step reports it.
    if (done >= next && nextReport_.compare_exchange_strong(next, done + kReportStep))
        report(done);
}

void Progress::poll() const {
    if (cancelled_)
        throw Failure(AZIP_ERR_CANCELLED, "cancelled by the caller");
}

void Progress::finish() {
    report(total_ ? total_ : done_.load());
}

void Progress::report(uint64_t done) {
    poll();
    if (!callback_)
        return;
    std::lock_guard lock(mutex_);
    if (!callback_(stage_, total_ ? std::min(done, total_) : done, total_))
        cancelled_ = true;
    poll();
}

} // namespace ch::azip
