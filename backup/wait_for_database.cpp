#include "backup/wait_for_database.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace ch {

Waiting Waiting::real() {
    return {[] {
                return static_cast<int64_t>(std::chrono::duration_cast<std::chrono::seconds>(
                                                std::chrono::steady_clock::now().time_since_epoch())
                                                .count());
            },
            [](int seconds) { std::this_thread::sleep_for(std::chrono::seconds(seconds)); }};
}

std::optional<std::string> firstFileInUse(FileSystem& fs, const std::vector<std::string>& files) {
    if (const std::optional<size_t> first = fs.firstInUse(files))
        return files[*first];
    return std::nullopt;
}

std::optional<std::string> waitForDatabase(FileSystem& fs, const std::vector<std::string>& files,
                                           int64_t deadline, const Waiting& waiting,
                                           const DatabaseWaitReport& report,
                                           const WorkControl& control) {
    std::optional<std::string> inUse = firstFileInUse(fs, files);
    const int64_t seconds = deadline - waiting.elapsedSeconds();
    if (!inUse || seconds <= 0)
        return inUse;
    const int64_t minutes = (seconds + 59) / 60;
    report({DatabaseWait::Kind::Waiting, *inUse, minutes});
    for (;;) {
        const int64_t left = deadline - waiting.elapsedSeconds();
        if (left <= 0)
            return inUse;
        waiting.sleep(static_cast<int>(std::min<int64_t>(left, kWaitRetrySeconds)));
        if (control.cancelled())
            return inUse;
        inUse = firstFileInUse(fs, files);
        if (!inUse) {
            report({DatabaseWait::Kind::Free, {}, 0});
            return std::nullopt;
        }
    }
}

} // namespace ch
