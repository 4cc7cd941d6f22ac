#pragma once
// What a restore says, in the program's words, built from the facts of its report.
#include <cstdint>
#include <string>

#include "backup/restore.h"

namespace ch {

extern const char* const kRestoreTitle;          // "Restore a backup"
extern const char* const kRestoreFailedTitle;    // "Restore failed"
extern const char* const kRestoredTitle;         // "Backup restored"
extern const char* const kRestoreCancelledTitle; // "Restore cancelled"

// "512 bytes", "2.9 KB", "181 MB": one decimal while it says something.
std::string sizeText(uint64_t bytes);

// "The restore was cancelled. Nothing in <messengerFolder>\db was changed.": what a restore
// cancelled during its check or its unpacking says.
std::string restoreCancelledText(const std::string& messengerFolder);

// What the user is asked to confirm: the files with their sizes, the backup's date and the
// database folder they replace.
std::string restoreQuestion(const CheckedBackup& backup, const std::string& messengerFolder);

// Why a checked backup is not restored (damaged, unreadable, no database files), for a box.
std::string damagedBackupText(const CheckedBackup& backup);

// What a restore of backup into messengerFolder that ended with report says.
std::string restoreReportText(const CheckedBackup& backup, const std::string& messengerFolder,
                              const RestoreReport& report);

// The exclamation box's text when a backup held the backup lock for the restore's whole wait.
std::string backupRunningText(unsigned waitMilliseconds);

// What happened and which folder holds which database; with question, asks whether to put
// the previous database back, else says how to.
std::string interruptedRestoreText(const InterruptedRestore& found,
                                   const std::string& messengerFolder, bool question);

} // namespace ch
