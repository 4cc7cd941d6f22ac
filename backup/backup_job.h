#pragma once
// A backup as plain values: a job goes in, a result comes out. The engine shows nothing and
// reads no window: the window turns the result into its box, the command line into its lines.
// Both are aggregates, so what a later run needs (progress, cancelling) is a new member with a
// default, and no caller changes.
#include <optional>
#include <string>
#include <vector>

#include "platform/archiver.h"
#include "platform/code_page.h"
#include "platform/file_system.h"
#include "platform/work_progress.h"

namespace ch {

enum class BackupKind { Normal, Zip };

// The archive a ZIP Backup writes when it keeps no generations.
inline constexpr const char* kZipBackupName = "chathoard.zip";

struct BackupJob {
    BackupKind kind = BackupKind::Normal;
    std::string messengerFolder;            // its "db" subfolder holds the database
    std::vector<std::string> databaseFiles; // names in that subfolder, in the order copied
    std::string destination;
    std::string stagingDrive;  // a ZIP Backup's, as defaultdrive.ini gives it
    std::string programFolder; // where the list file and defaultdrive.ini are
    std::string archiveName = kZipBackupName;
    // Keeping generations: this many, the new one named after stamp ("2026-12-07-030000").
    std::optional<int> keep;
    std::string stamp;
    // Where the run reports how far it is, and the flag that cancels it.
    WorkControl control;
    // A ZIP Backup's archive is encrypted with it (UTF-8) when it is not empty.
    std::string password;
};

// How a backup ended; the window ignores it, the command line maps it to an exit code.
// CleanUpIncomplete: the backup is written, but temporary files it could not delete are left
// for the next run to remove. DatabaseInUse: it failed because another program (the messenger)
// held a database file open. Cancelled: the job's control asked it to stop before it wrote
// anything; the destination is as it was.
enum class BackupOutcome {
    Done,
    CleanUpIncomplete,
    NoMessengerFolder,
    Failed,
    DatabaseInUse,
    AnotherBackupRunning,
    Cancelled
};

// What made a backup fail, where one step names it.
struct BackupCause {
    std::string file; // the file or folder that could not be copied, made or written
    std::string reason;
    int errorNumber = 0; // the run-time error, or the archiving library's result
    std::string from;
    std::string to;
};

struct BackupResult {
    BackupOutcome outcome = BackupOutcome::Done;
    std::string written; // the archive or folder written, once it is
    std::optional<BackupCause> cause;
    // What a written backup adds to its report: older generations deleted or kept, a clock
    // that seems behind.
    std::vector<std::string> warnings;
    // The report, as one box shows it: a warning takes the exclamation icon.
    std::string title;
    std::string text;
    bool warning = false;
};

// What the engine works with.
struct BackupTools {
    FileSystem& fs;
    Archiver& archiver;
    const CodePage& codePage; // the one fs reads its paths in
};

// The job's kind: a Normal or ZIP Backup, into a new generation when keep is set. A destination
// inside the database is refused first, as destinationInsideDatabase says.
BackupResult runBackup(const BackupJob& job, const BackupTools& tools);

// A backup into the messenger's db folder, or a folder inside it, would mix the copies with
// the database it copies: a Failed result saying so, or nothing when the destination is
// elsewhere. Both paths are full folder paths; they are compared as the system resolves them
// and, where they exist, by the folders' identity, so that no other spelling, short name or
// junction leads past it.
std::optional<BackupResult> destinationInsideDatabase(const BackupJob& job, FileSystem& fs,
                                                      const CodePage& codePage);

} // namespace ch
