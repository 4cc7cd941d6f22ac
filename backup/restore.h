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
#include "platform/runtime_error.h"
#include "platform/work_progress.h"

namespace ch {

enum class RestoreOutcome {
    Done,
    Refused, // nothing was changed: the backup is damaged, or a database file is in use
    Failed,  // something failed on the way; the previous database is back in db
    // The previous database could not be put back: it is in previousFolder.
    FailedPreviousDatabaseElsewhere,
    // Cancel was asked for before the new folder took db's place: db is as it was and the
    // new folder is gone (or cleanUpError says why it is not).
    Cancelled,
};

// The step a restore was refused at or failed at.
enum class RestoreStep {
    None,
    CheckBackup,     // the backup is not intact: the check says why
    ReplaceDatabase, // a database file of db cannot be replaced now: error
    MakeRoom,        // needed bytes do not fit in free
    MakeFolder,      // newFolder could not be made
    WriteFiles,      // the files could not be written to newFolder: error, or found
    UnpackEntry,     // entry is damaged: found
    ReadDatabase,    // db could not be read
    RenameDatabase,  // db could not be renamed to previousFolder
    MoveEntry,       // entry (a path) could not be moved to newFolder
    RenameNewFolder, // newFolder could not be renamed to db
};

struct RestoreReport {
    RestoreOutcome outcome = RestoreOutcome::Failed;
    RestoreStep step = RestoreStep::None;
    std::string entry;
    std::optional<RuntimeError> error;
    std::string found;        // what the archive's reader or the runtime said
    bool outOfMemory = false; // WriteFiles: there was not enough memory
    std::string newFolder;
    std::optional<RuntimeError> putBackError; // why the previous db could not be put back
    std::optional<RuntimeError> cleanUpError; // why the unfinished newFolder stayed
    uint64_t needed = 0;
    uint64_t free = 0;
    std::vector<std::string> restored;
    std::vector<uint64_t> restoredSizes;
    std::string previousFolder; // where the previous db was kept; empty when there was none
    bool databaseInUse = false; // refused because a database file is in use
};

// Restores a backup that checkBackup found intact into messengerFolder's db subfolder.
// stamp ("2026-12-07-030000") names the folders it makes. Refuses while a database file of
// db is in use. Reports the Unpacking stage (Copying for a folder of copies) by the bytes
// written over all files. Cancel stops it until the files are all written; the two renames
// that follow are quick and are not stopped between them.
RestoreReport restoreBackup(FileSystem& fs, const CodePage& codePage, const CheckedBackup& backup,
                            const std::string& messengerFolder, const std::string& stamp,
                            const WorkControl& control = {});

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
// Puts the previous database of an interrupted restore back as messengerFolder's db; throws
// the file system's error when it cannot.
void putPreviousDatabaseBack(FileSystem& fs, const InterruptedRestore& found,
                             const std::string& messengerFolder);

// "YYYY-MM-DD-HHMMSS" of a local time given as "YYYY-MM-DD HH:MM:SS".
std::string restoreStamp(const std::string& localTime);
// The local time now as "YYYY-MM-DD HH:MM:SS".
std::string localTimeNow();

} // namespace ch
