#pragma once
// Runs a backup while this process holds the machine's backup lock.
#include <functional>

#include "backup/backup_common.h"
#include "platform/backup_lock.h"

namespace ch {

// How long a backup waits for one that is running to finish. The window would not answer
// meanwhile, so it waits only briefly; a scheduled backup can afford to wait longer.
constexpr unsigned kWindowLockWaitMs = 2000;
constexpr unsigned kCommandLineLockWaitMs = 20000;

// A lock wait in whole seconds, rounded up, as the boxes tell it.
std::string waitedSeconds(unsigned waitMilliseconds);

// The result of a backup that did not start because the lock stayed taken: touched nothing.
BackupResult anotherBackupRunning(unsigned waitMilliseconds);

// Takes lock (waiting up to waitMilliseconds), runs backup and lets the lock go before the
// result is shown: a box left open must not hold up a scheduled backup. When the lock stays
// taken, touches nothing and returns AnotherBackupRunning, with the wait.
BackupResult runAlone(BackupLock& lock, unsigned waitMilliseconds,
                      const std::function<BackupResult()>& backup);

} // namespace ch
