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
    for (const std::string& file : files)
        if (fs.fileInUse(file))
            return file;
    return std::nullopt;
}

std::optional<std::string> waitForDatabase(FileSystem& fs, const std::vector<std::string>& files,
                                           int64_t deadline, const Waiting& waiting,
                                           const std::function<void(const std::string&)>& report,
                                           const WorkControl& control) {
    std::optional<std::string> inUse = firstFileInUse(fs, files);
    const int64_t seconds = deadline - waiting.elapsedSeconds();
    if (!inUse || seconds <= 0)
        return inUse;
    const int64_t minutes = (seconds + 59) / 60;
    report("The database file " + *inUse + " is in use: waiting for ICQ to close (up to " +
           std::to_string(minutes) + (minutes == 1 ? " minute" : " minutes") +
           ", looking again every " + std::to_string(kWaitRetrySeconds) + " seconds)");
    for (;;) {
        const int64_t left = deadline - waiting.elapsedSeconds();
        if (left <= 0)
            return inUse;
        waiting.sleep(static_cast<int>(std::min<int64_t>(left, kWaitRetrySeconds)));
        if (control.cancelled())
            return inUse;
        inUse = firstFileInUse(fs, files);
        if (!inUse) {
            report("ICQ has closed: the database is no longer in use");
            return std::nullopt;
        }
    }
}

std::string databaseInUseText(const std::string& path, int minutes) {
    std::string text = "The database stayed in use: " + path + " is held open by another program";
    if (minutes > 0)
        text +=
            " after waiting " + std::to_string(minutes) + (minutes == 1 ? " minute" : " minutes");
    return text + ". If ICQ is running, close it and try again" +
           (minutes > 0 ? "." : ", or add /wait to wait for it to close.");
}

} // namespace ch
