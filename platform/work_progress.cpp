#include "platform/work_progress.h"

namespace ch {

std::string workStageText(const WorkProgress& p) {
    const std::string count =
        p.fileNumber > 0 && p.fileCount > 0
            ? " (" + std::to_string(p.fileNumber) + " of " + std::to_string(p.fileCount) + ")"
            : "";
    const std::string file = p.file.empty() ? "" : " " + p.file;
    switch (p.stage) {
    case WorkStage::Copying:
        return "Copying" + file + count;
    case WorkStage::Packing:
        return "Packing" + file + count;
    case WorkStage::Checking:
        return "Checking the archive";
    case WorkStage::Unpacking:
        return "Unpacking" + file + count;
    case WorkStage::Pruning:
        return "Deleting older backups";
    case WorkStage::CleaningUp:
        return "Cleaning up";
    }
    return {};
}

} // namespace ch
