#include "backup/one_at_a_time.h"

namespace ch {

std::string waitedSeconds(unsigned waitMilliseconds) {
    return std::to_string((waitMilliseconds + 999) / 1000);
}

const char* const kAnotherBackupTitle = "Another backup is running";

std::string anotherBackupText(unsigned waitMilliseconds) {
    return "Another backup is running on this computer (a scheduled backup, or Chathoard in "
           "another window). This one waited " +
           waitedSeconds(waitMilliseconds) +
           " seconds for it and did not start; nothing was written.\r\n\r\nBack up again when "
           "the other backup has finished.";
}

namespace {

BackupResult anotherBackupRunning(unsigned waitMilliseconds) {
    BackupResult refused;
    refused.outcome = BackupOutcome::AnotherBackupRunning;
    refused.title = kAnotherBackupTitle;
    refused.text = anotherBackupText(waitMilliseconds);
    refused.warning = true;
    return refused;
}

} // namespace

BackupResult runAlone(BackupLock& lock, unsigned waitMilliseconds,
                      const std::function<BackupResult()>& backup) {
    if (!lock.acquire(waitMilliseconds))
        return anotherBackupRunning(waitMilliseconds);
    const ReleaseAtEnd releaseAtEnd{lock};
    return backup();
}

BackupResult runAlone(BackupLock& lock, unsigned waitMilliseconds, const BackupJob& job,
                      const BackupTools& tools) {
    if (!lock.acquire(waitMilliseconds, job.control.cancelRequested))
        return job.control.cancelled() ? backupCancelled(job)
                                       : anotherBackupRunning(waitMilliseconds);
    const ReleaseAtEnd releaseAtEnd{lock};
    return runBackup(job, tools);
}

} // namespace ch
