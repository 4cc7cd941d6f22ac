#pragma once
// How far addZIP has got, told to the caller's callback, and the caller's wish to stop. The
// callback is called at the start and end of each stage and after every mebibyte of work
// between, one call at a time, from whichever of the library's threads did that work.
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>

namespace ch::azip {

enum class Stage : int32_t { Packing = 1, Checking = 2 };

// done and total in bytes; false asks the library to stop.
using ProgressCallback = std::function<bool(Stage stage, uint64_t done, uint64_t total)>;

class Progress {
  public:
    explicit Progress(ProgressCallback callback = {}) : callback_(std::move(callback)) {}

    // Starts a stage and tells the callback 0 of total bytes. A total of 0 is one not known
    // beforehand: the bytes done are told as they are, and the stage ends at them.
    void begin(Stage stage, uint64_t total);
    // Counts bytes done. Throws Failure(AZIP_ERR_CANCELLED) once the callback has asked to
    // stop, on every thread that calls it from then on.
    void advance(uint64_t bytes);
    // Throws as advance does, without counting anything: for work done a second time.
    void poll() const;
    // Tells the callback the whole stage is done.
    void finish();

  private:
    void report(uint64_t done);

    ProgressCallback callback_;
    std::mutex mutex_; // one callback call at a time
    Stage stage_ = Stage::Packing;
    uint64_t total_ = 0;
    std::atomic<uint64_t> done_{0};
    std::atomic<uint64_t> nextReport_{0};
    std::atomic<bool> cancelled_{false};
};

} // namespace ch::azip
