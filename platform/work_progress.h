#pragma once
// How far a long piece of work is, and how to ask it to stop. The work runs on a thread of its
// own: it reports through WorkControl::report and looks at cancelled() between steps (and
// inside each step at least once a second); the front end (the window's progress window, the
// command line's progress line) reads the reports and sets the flag.
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

namespace ch {

enum class WorkStage { Copying, Packing, Checking, Unpacking, Pruning, CleaningUp };

struct WorkProgress {
    WorkStage stage = WorkStage::Copying;
    std::string file;   // the file being worked on, when the stage has one
    int fileNumber = 0; // 1-based; 0 when the stage does not go file by file
    int fileCount = 0;
    uint64_t doneBytes = 0; // over the whole job, not the stage
    uint64_t totalBytes = 0;
};

// What a front end hands a long job. Both members may be left empty: the work then runs as it
// always did, unreported and not cancellable.
struct WorkControl {
    std::function<void(const WorkProgress&)> report; // called on the work's own thread
    const std::atomic<bool>* cancelRequested = nullptr;

    bool cancelled() const { return cancelRequested && cancelRequested->load(); }
    void tell(const WorkProgress& progress) const {
        if (report)
            report(progress);
    }
};

// Thrown where a step stops because its WorkControl asked it to (a copy whose progress hook said
// stop, say). Whoever started the step undoes what it made and reports the work as cancelled.
struct WorkCancelled {};

// What the progress window and the progress line say: "Copying Messages.dat (3 of 12)",
// "Packing Messages.dat", "Checking the archive", "Unpacking Messages.dat (2 of 5)"...
std::string workStageText(const WorkProgress& progress);

} // namespace ch
