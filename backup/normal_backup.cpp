#include "backup/normal_backup.h"

#include <vector>

#include "backup/database_detection.h"
#include "backup/leftovers.h"
#include "platform/runtime_error.h"

namespace ch {
namespace {

// Temporary copies that will not be renamed into place; one that will not go is cleared as a
// leftover by the next backup.
void removeTemporaries(FileSystem& fs, const std::vector<std::string>& temporaries, size_t from) {
    for (size_t i = from; i < temporaries.size(); ++i) {
        try {
            fs.deleteFile(temporaries[i]);
        } catch (const RuntimeError&) {
        }
    }
}

} // namespace

BackupResult normalBackup(const BackupJob& job, const BackupTools& tools) {
    FileSystem& fs = tools.fs;
    const std::string& destination = job.destination;
    if (job.control.cancelled())
        return backupCancelled();
    // Copies a killed run left half-written under temporary names.
    removeInterruptedCopies(fs, destination);
    const std::vector<std::string> claimed =
        settleStagingClaims(fs, destination, job.programFolder, job.stagingDrive);
    if (!claimed.empty()) {
        BackupCause cause;
        cause.step = BackupStep::DestinationIsStaging;
        cause.file = destination;
        cause.files = claimed;
        return backupFailure(cause);
    }

    // Paths are joined exactly as written: a folder at a drive root gives "D:\\a.dat", which
    // Windows accepts as it is.
    const std::vector<std::string>& names = job.databaseFiles;
    const int count = static_cast<int>(names.size());
    auto sourceOf = [&](int i) { return databaseFile(job.messengerFolder, names[i]); };
    auto destinationOf = [&](int i) { return destination + "\\" + names[i]; };
    auto failure = [&](BackupStep step, int i, const RuntimeError& e) {
        BackupCause cause = causeOf(step, names[i], e, sourceOf(i), destinationOf(i));
        cause.folder = destination;
        cause.copied = i;
        cause.total = count;
        return cause;
    };
    std::vector<uint64_t> sizes;
    JobMeter meter(job.control, databaseBytes(job, fs, &sizes));

    // The backup is a set: every file is copied beside its old copy first, and only when all
    // copies are whole are they renamed into place, so a failure leaves the earlier set as it
    // was rather than new files beside old ones. Cancel works the same way until the copies
    // are made; the renames that follow are quick and are not stopped part-way, which would
    // leave a mixed set.
    std::vector<std::string> temporaries;
    try {
        uint64_t copied = 0;
        for (int i = 0; i < count; ++i) {
            meter.begin(WorkStage::Copying, copied, names[i], i + 1, count);
            try {
                temporaries.push_back(fs.copyToTemporary(sourceOf(i), destinationOf(i),
                                                         CopyFlush::ToDisk, meter.copyHook()));
            } catch (const RuntimeError& e) {
                removeTemporaries(fs, temporaries, 0);
                return backupFailure(failure(BackupStep::CopyDatabaseFile, i, e),
                                     fs.fileInUse(sourceOf(i)) ? BackupOutcome::DatabaseInUse
                                                               : BackupOutcome::Failed);
            }
            copied += sizes.empty() ? 0 : sizes[static_cast<size_t>(i)];
        }
        meter.stopIfCancelled();
    } catch (const WorkCancelled&) {
        removeTemporaries(fs, temporaries, 0);
        return backupCancelled();
    }
    for (int i = 0; i < count; ++i) {
        try {
            fs.moveOver(temporaries[i], destinationOf(i));
        } catch (const RuntimeError& e) {
            removeTemporaries(fs, temporaries, static_cast<size_t>(i));
            return backupFailure(failure(BackupStep::ReplaceDatabaseCopy, i, e));
        }
    }
    return backupDone(destination);
}

} // namespace ch
