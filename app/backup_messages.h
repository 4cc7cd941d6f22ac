#pragma once
// What a backup's result says, in the program's words: the one place where the facts of a
// result become the window's box and the command line's lines.
#include <string>
#include <vector>

#include "backup/backup_job.h"
#include "backup/wait_for_database.h"
#include "platform/runtime_error.h"

namespace ch {

extern const char* const kCompletionWords; // "Your ICQ backup has been succesfully copied to: "
extern const char* const kDoneTitle;       // "Done !"
extern const char* const kBackupFailedTitle;
extern const char* const kCleanUpIncompleteTitle; // "Clean-up incomplete"
extern const char* const kBackupCancelledTitle;   // "Backup cancelled"
extern const char* const kAnotherBackupTitle;     // "Another backup is running"
// Why an archive could not be encrypted.
extern const char* const kCannotEncryptReason;

// Why an operation failed, in plain words for an error box: a lower-case clause without a
// final full stop, e.g. "the disk is full".
std::string plainReason(const RuntimeError& e);

// The exclamation box's text when the backup lock stayed taken for waitMilliseconds.
std::string anotherBackupText(unsigned waitMilliseconds);

// The lines of a wait for the database: it starts, or the database is free again.
std::string databaseWaitText(const DatabaseWait& wait);
// The line for a run that stopped because path stayed in use.
std::string databaseInUseText(const std::string& path, int minutes);

// "2 of 5 files were copied" (singular for a list of one).
std::string filesCopiedText(int copied, int total);

// A line told after a written backup's report: an older generation deleted or kept, or the
// clock that seems behind (a warning).
struct ReportLine {
    std::string text;
    bool warning = false;
};

// A result in words. The window's box shows text with each line below it; the command line
// writes text, then each line on its own.
struct BackupMessage {
    std::string title;
    std::string text;
    bool warning = false; // the exclamation icon, and an error line
    std::vector<ReportLine> lines;

    // The whole text of the window's box.
    std::string boxText() const;
};

// What the result of job says.
BackupMessage backupMessage(const BackupJob& job, const BackupResult& result);

} // namespace ch
