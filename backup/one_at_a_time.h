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

extern const char* const kAnotherBackupTitle; // "Another backup is running"
// The exclamation box's text when the lock stayed taken for waitMilliseconds.
std::string anotherBackupText(unsigned waitMilliseconds);

// Takes s.backupLock (waiting up to waitMilliseconds) and runs backup with services whose
// dialogs let the lock go before their first box: a run's box is its last act, and a box left
// open must not hold up a scheduled backup. When the lock stays taken, shows the exclamation
// box, touches nothing and returns AnotherBackupRunning.
BackupOutcome runAlone(const Services& s, unsigned waitMilliseconds,
                       const std::function<BackupOutcome(const Services&)>& backup);

} // namespace ch
