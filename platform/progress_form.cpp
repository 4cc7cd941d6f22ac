#include "platform/progress_form.h"

namespace ch {
namespace {

// An estimate from the first moments or the first few percent swings too much to be of use.
constexpr uint64_t kEstimateAfterMs = 2000;
constexpr uint64_t kEstimateAfterPermille = 50;

std::string twoDigits(uint64_t n) {
    return {static_cast<char>('0' + n / 10 % 10), static_cast<char>('0' + n % 10)};
}

} // namespace

std::string clockText(uint64_t seconds) {
    const uint64_t hours = seconds / 3600, minutes = seconds / 60 % 60, rest = seconds % 60;
    if (hours > 0)
        return std::to_string(hours) + ":" + twoDigits(minutes) + ":" + twoDigits(rest);
    return std::to_string(minutes) + ":" + twoDigits(rest);
}

ProgressLines progressLines(const std::optional<WorkProgress>& latest, uint64_t elapsedMs,
                            bool cancelling) {
    ProgressLines lines;
    uint64_t permille = 0;
    if (latest && latest->totalBytes > 0) {
        const double share =
            static_cast<double>(latest->doneBytes) / static_cast<double>(latest->totalBytes);
        permille = share >= 1 ? 1000 : static_cast<uint64_t>(share * 1000);
        lines.bar = static_cast<int>(permille * kProgressBarRange / 1000);
    }
    if (cancelling)
        lines.stage = "Cancelling, please wait...";
    else if (latest)
        lines.stage = workStageText(*latest);
    else
        lines.stage = "Getting ready...";
    lines.time = "Time so far: " + clockText(elapsedMs / 1000);
    if (!cancelling && elapsedMs >= kEstimateAfterMs && permille >= kEstimateAfterPermille &&
        permille < 1000) {
        const double leftMs =
            static_cast<double>(elapsedMs) * static_cast<double>(1000 - permille) / permille;
        lines.time +=
            "    Time left: about " + clockText(static_cast<uint64_t>(leftMs / 1000 + 0.5));
    }
    return lines;
}

} // namespace ch
