#pragma once
// A scheduled backup while the messenger is still running: its database files are held open,
// and a copy of them would fail. With "/wait[:minutes]" the run looks again every 30 seconds
// until the files are free or the time is up; without it, it gives up at once.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/work_progress.h"

namespace ch {

constexpr int kDefaultWaitMinutes = 30;
constexpr int kMaxWaitMinutes = 24 * 60;
constexpr int kWaitRetrySeconds = 30;

// The passing of time, replaceable so that tests need not wait.
struct Waiting {
    std::function<int64_t()> elapsedSeconds; // a steady count of seconds
    std::function<void(int seconds)> sleep;
    // The real clock and sleep.
    static Waiting real();
};

// What the wait tells as it goes: it starts, file being in use, for up to minutes; or the
// database is free again.
struct DatabaseWait {
    enum class Kind { Waiting, Free } kind = Kind::Waiting;
    std::string file;
    int64_t minutes = 0;
};
using DatabaseWaitReport = std::function<void(const DatabaseWait&)>;

// The first of files that another program holds open, or nothing.
std::optional<std::string> firstFileInUse(FileSystem& fs, const std::vector<std::string>& files);

// Waits until deadline (a time of waiting.elapsedSeconds; one already past: not at all) for
// every one of files to be free, reporting through report when the waiting starts and when it
// ends with the files free. Returns the file still in use when the time is up, or nothing once
// they are all free. A Cancel through control ends the wait after the sleep it cuts short.
std::optional<std::string> waitForDatabase(FileSystem& fs, const std::vector<std::string>& files,
                                           int64_t deadline, const Waiting& waiting,
                                           const DatabaseWaitReport& report,
                                           const WorkControl& control = {});

} // namespace ch
