#include "backup/one_at_a_time.h"

namespace ch {

std::string waitedSeconds(unsigned waitMilliseconds) {
    return std::to_string((waitMilliseconds + 999) / 1000);
}

BackupResult anotherBackupRunning(unsigned waitMilliseconds) {
    BackupCause cause;
    cause.step = BackupStep::WaitForOtherBackup;
    cause.waitMilliseconds = waitMilliseconds;
    return backupFailure(cause, BackupOutcome::AnotherBackupRunning);
}

BackupResult runAlone(BackupLock& lock, unsigned waitMilliseconds,
                      const std::function<BackupResult()>& backup) {
    if (!lock.acquire(waitMilliseconds))
        return anotherBackupRunning(waitMilliseconds);
    const ReleaseAtEnd releaseAtEnd{lock};
    return backup();
}

} // namespace ch
