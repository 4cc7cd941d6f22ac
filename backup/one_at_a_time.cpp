#include "backup/one_at_a_time.h"

namespace ch {

std::string waitedSeconds(unsigned waitMilliseconds) {
    return std::to_string((waitMilliseconds + 999) / 1000);
}

namespace {

BackupResult anotherBackupRunning(unsigned waitMilliseconds) {
    BackupCause cause;
    cause.step = BackupStep::WaitForOtherBackup;
    cause.waitMilliseconds = waitMilliseconds;
    return backupFailure(cause, BackupOutcome::AnotherBackupRunning);
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
        return job.control.cancelled() ? backupCancelled() : anotherBackupRunning(waitMilliseconds);
    const ReleaseAtEnd releaseAtEnd{lock};
    return runBackup(job, tools);
}

} // namespace ch
