#include "backup/normal_backup.h"

#include <vector>

#include "backup/database_detection.h"
#include "backup/leftovers.h"
#include "platform/runtime_error.h"

namespace ch {
namespace {

std::string copyFailureText(const std::string& name, const std::string& source,
                            const std::string& destination, const RuntimeError& e,
                            const std::string& outcome) {
    return "The file " + name + " could not be copied.\r\n\r\nFrom: " + source +
           "\r\nTo: " + destination + "\r\nReason: " + plainReason(e) + ".\r\n\r\n" + outcome;
}

// The backup folder is the ZIP Backup's staging folder, and a ZIP Backup's list still claims
// copies there: written beside them, this backup's files would be mixed with them.
std::string stagingClaimsText(const std::string& destination,
                              const std::vector<std::string>& claimed) {
    std::string names;
    for (const std::string& path : claimed)
        names += path + "\r\n";
    return "The backup folder " + destination +
           " is the ZIP Backup's staging folder, and it still holds copies an earlier ZIP "
           "Backup made and could not delete yet:\r\n" +
           names +
           "\r\nAnother program still has them open (a virus scanner checking them, say), so "
           "this backup did not start. Try again in a while, or choose another backup "
           "folder.\r\n\r\nNothing in " +
           destination + " was changed.";
}

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
        return backupCancelled(job);
    // Copies a killed run left half-written under temporary names.
    removeInterruptedCopies(fs, destination);
    const std::vector<std::string> claimed =
        settleStagingClaims(fs, destination, job.programFolder, job.stagingDrive);
    if (!claimed.empty())
        return backupFailure(stagingClaimsText(destination, claimed), BackupOutcome::Failed,
                             BackupCause{destination, "it still holds staged copies", 0, {}, {}});

    // Paths are joined exactly as written: a folder at a drive root gives "D:\\a.dat", which
    // Windows accepts as it is.
    const std::vector<std::string>& names = job.databaseFiles;
    const int count = static_cast<int>(names.size());
    auto sourceOf = [&](int i) { return databaseFile(job.messengerFolder, names[i]); };
    auto destinationOf = [&](int i) { return destination + "\\" + names[i]; };
    auto failure = [&](int i, const RuntimeError& e, const std::string& outcome) {
        return copyFailureText(names[i], sourceOf(i), destinationOf(i), e, outcome);
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
                return backupFailure(failure(i, e,
                                             "Nothing in " + destination +
                                                 " was changed; the earlier backup there is as "
                                                 "it was."),
                                     fs.fileInUse(sourceOf(i)) ? BackupOutcome::DatabaseInUse
                                                               : BackupOutcome::Failed,
                                     causeOf(names[i], e, sourceOf(i), destinationOf(i)));
            }
            copied += sizes.empty() ? 0 : sizes[static_cast<size_t>(i)];
        }
        meter.stopIfCancelled();
    } catch (const WorkCancelled&) {
        removeTemporaries(fs, temporaries, 0);
        return backupCancelled(job);
    }
    for (int i = 0; i < count; ++i) {
        try {
            fs.moveOver(temporaries[i], destinationOf(i));
        } catch (const RuntimeError& e) {
            removeTemporaries(fs, temporaries, static_cast<size_t>(i));
            return backupFailure(failure(i, e,
                                         filesCopiedText(i, count) + " to " + destination +
                                             "; the backup is not complete."),
                                 BackupOutcome::Failed,
                                 causeOf(names[i], e, sourceOf(i), destinationOf(i)));
        }
    }
    return backupDone(destination, kCompletionWords + destination + "\r\n");
}

} // namespace ch
