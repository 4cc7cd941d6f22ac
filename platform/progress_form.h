#pragma once
// The progress window of long work: what is being done, one bar over the whole job by bytes,
// the time so far and, once it can be told, the time left, and Cancel. The design is data;
// what its lines say at a moment is computed here, so that it is checked without a window.
#include <cstdint>
#include <optional>
#include <string>

#include "platform/form_design.h"
#include "platform/work_progress.h"

namespace ch {

const FormDesign& frmProgressDesign();

// The progress window waits this long before it shows: shorter work shows only its result.
constexpr unsigned kProgressShowAfterMs = 500;
// The bar's range.
constexpr int kProgressBarRange = 1000;

struct ProgressLines {
    std::string stage; // "Copying Messages.dat (3 of 12)"
    int bar = 0;       // 0 to kProgressBarRange
    std::string time;  // "Time so far: 0:07    Time left: about 0:21"
};

// What the window says elapsedMs after the work began, with the latest report (none yet
// before the first). cancelling: Cancel was pressed and the work is stopping.
ProgressLines progressLines(const std::optional<WorkProgress>& latest, uint64_t elapsedMs,
                            bool cancelling);

// "0:07", "12:34", "1:02:03".
std::string clockText(uint64_t seconds);

} // namespace ch
