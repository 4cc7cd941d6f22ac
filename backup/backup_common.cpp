#include "backup/backup_common.h"

#include <algorithm>
#include <map>
#include <utility>

#include "backup/database_detection.h"
#include "platform/ansi_path.h"

namespace ch {
BackupResult backupFailure(BackupCause cause, BackupOutcome outcome) {
    BackupResult result;
    result.outcome = outcome;
    result.cause = std::move(cause);
    return result;
}

BackupCause causeOf(BackupStep step, const std::string& file, const RuntimeError& e,
                    const std::string& from, const std::string& to) {
    BackupCause cause;
    cause.step = step;
    cause.file = file;
    cause.error = e;
    cause.errorNumber = e.number();
    cause.from = from;
    cause.to = to;
    return cause;
}

BackupResult backupDone(const std::string& written) {
    BackupResult result;
    result.written = written;
    return result;
}

BackupResult backupCancelled(std::vector<LeftOver> leftOvers) {
    BackupResult result;
    result.outcome = BackupOutcome::Cancelled;
    result.leftOvers = std::move(leftOvers);
    return result;
}

JobMeter::JobMeter(const WorkControl& control, uint64_t totalBytes) : control_(control) {
    now_.totalBytes = totalBytes;
}

bool JobMeter::tell(WorkStage stage, uint64_t doneBytes, const std::string& file, int fileNumber,
                    int fileCount) {
    now_.stage = stage;
    now_.file = file;
    now_.fileNumber = fileNumber;
    now_.fileCount = fileCount;
    return advance(doneBytes);
}

bool JobMeter::advance(uint64_t doneBytes) {
    if (reporting()) {
        now_.doneBytes = std::max(now_.doneBytes, std::min(doneBytes, now_.totalBytes));
        try {
            control_.tell(now_);
        } catch (...) {
            // A front end that cannot show the progress does not stop the work.
        }
    }
    return !control_.cancelled();
}

void JobMeter::begin(WorkStage stage, uint64_t doneBytes, const std::string& file, int fileNumber,
                     int fileCount) {
    if (!tell(stage, doneBytes, file, fileNumber, fileCount))
        throw WorkCancelled{};
}

void JobMeter::stopIfCancelled() const {
    if (control_.cancelled())
        throw WorkCancelled{};
}

CopyProgress JobMeter::copyHook() {
    if (!reporting() && !control_.cancelRequested)
        return {};
    const uint64_t from = now_.doneBytes;
    return [this, from](uint64_t copied) { return advance(from + copied); };
}

std::vector<uint64_t> databaseSizes(const BackupJob& job, FileSystem& fs) {
    // One read of the folder tells every size: asking file by file costs a database of
    // thousands of small files a trip to the system for each.
    std::map<std::string, uint64_t, bool (*)(const std::string&, const std::string&)> listed(
        &lessNoCase);
    bestEffort([&] {
        for (const FolderEntry& e : fs.listEntries(databaseFolder(job.messengerFolder)))
            if (!e.folder)
                listed.emplace(e.name, e.size);
    });
    std::vector<uint64_t> sizes;
    sizes.reserve(job.databaseFiles.size());
    for (const std::string& name : job.databaseFiles) {
        uint64_t size = 0;
        if (const auto at = listed.find(name); at != listed.end())
            size = at->second;
        else
            bestEffort([&] { size = fs.fileSize(databaseFile(job.messengerFolder, name)); });
        sizes.push_back(size);
    }
    return sizes;
}

uint64_t databaseBytes(const BackupJob& job, FileSystem& fs, std::vector<uint64_t>* sizes) {
    if (!job.control.report)
        return 0;
    std::vector<uint64_t> each = databaseSizes(job, fs);
    uint64_t total = 0;
    for (const uint64_t size : each)
        total += size;
    if (sizes)
        *sizes = std::move(each);
    return total;
}

} // namespace ch
