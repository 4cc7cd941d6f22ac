#pragma once
// Restoring a backup into a messenger folder without manual file juggling. The backup is
// checked first; its database files are unpacked or copied into a new folder beside db and
// flushed; db is renamed to db.before-restore-YYYY-MM-DD-HHMMSS (the program never deletes
// it) and the new folder becomes db. Whatever fails, the previous db is put back as it was.
#include <optional>
#include <string>
#include <vector>

#include "backup/verify.h"
#include "platform/backup_lock.h"
#include "platform/file_system.h"
#include "platform/services.h"

namespace ch {

enum class RestoreOutcome {
    Done,
    Refused, // nothing was changed: the backup is damaged, or a database file is in use
    Failed,  // something failed on the way; the previous database is back in db
    // The previous database could not be put back; report.text says where it is.
    FailedPreviousDatabaseElsewhere,
    // Cancel was asked for before the new folder took db's place: db is as it was and the
    // new folder is gone (report.text says so, and names it should it not go).
    Cancelled,
};

struct RestoreReport {
    RestoreOutcome outcome = RestoreOutcome::Failed;
    std::string text; // for a message box or the command line's output
    std::vector<std::string> restored;
    std::string previousFolder; // where the previous db was kept; empty when there was none
    bool databaseInUse = false; // refused because a database file is in use
};

extern const char* const kRestoreTitle;          // "Restore a backup"
extern const char* const kRestoreFailedTitle;    // "Restore failed"
extern const char* const kRestoredTitle;         // "Backup restored"
extern const char* const kRestoreCancelledTitle; // "Restore cancelled"

// "The restore was cancelled. Nothing in <messengerFolder>\db was changed.": what a restore
// cancelled during its check or its unpacking says.
std::string restoreCancelledText(const std::string& messengerFolder);

// "512 bytes", "2.9 KB", "181 MB": one decimal while it says something.
std::string sizeText(uint64_t bytes);

// What the user is asked to confirm: the files with their sizes, the backup's date and the
// database folder they replace.
std::string restoreQuestion(const CheckedBackup& backup, const std::string& messengerFolder);

// Why a checked backup is not restored (damaged, unreadable, no database files), for a box.
std::string damagedBackupText(const CheckedBackup& backup);

// Restores a backup that checkBackup found intact into messengerFolder's db subfolder.
// stamp ("2026-12-07-030000") names the folders it makes. Refuses while a database file of
// db is in use. Reports the Unpacking stage (Copying for a folder of copies) by the bytes
// written over all files. Cancel stops it until the files are all written; the two renames
// that follow are quick and are not stopped between them.
RestoreReport restoreBackup(FileSystem& fs, const CodePage& codePage, const CheckedBackup& backup,
                            const std::string& messengerFolder, const std::string& stamp,
                            const WorkControl& control = {});

// The exclamation box's text when a backup held the backup lock for the restore's whole wait.
std::string backupRunningText(unsigned waitMilliseconds);

// restoreBackup while this process holds the backup lock (waiting up to waitMilliseconds), so
// that no backup copies the database while it is being replaced. Nothing when a backup held
// the lock for the whole wait: then nothing was changed. A Cancel during the wait gives the
// cancelled report.
std::optional<RestoreReport>
restoreAlone(BackupLock& lock, unsigned waitMilliseconds, FileSystem& fs, const CodePage& codePage,
             const CheckedBackup& backup, const std::string& messengerFolder,
             const std::string& stamp, const WorkControl& control = {});

// A restore that the computer stopped between its two renames: the messenger folder has no
// db, but the db that restore replaced (and perhaps the restored one, complete, under its new
// folder's name). Newest first when there are several.
struct InterruptedRestore {
    std::string previous; // "...\db.before-restore-<time>"
    std::string restored; // "...\db.restore-<time>", or empty when it is not there
};
std::optional<InterruptedRestore> interruptedRestore(FileSystem& fs,
                                                     const std::string& messengerFolder);
// What happened and which folder holds which database; with question, asks whether to put
// the previous database back, else says how to.
std::string interruptedRestoreText(const InterruptedRestore& found,
                                   const std::string& messengerFolder, bool question);
// When the messenger folder holds an interrupted restore, asks whether to put the previous
// database back as db and does so on OK. True when it did.
bool offerInterruptedRestore(FileSystem& fs, Dialogs& dialogs, const std::string& messengerFolder);

// "YYYY-MM-DD-HHMMSS" of a local time given as "YYYY-MM-DD HH:MM:SS".
std::string restoreStamp(const std::string& localTime);
// The local time now as "YYYY-MM-DD HH:MM:SS".
std::string localTimeNow();

} // namespace ch
