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
#include "platform/runtime_error.h"
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

// The step that stopped a backup, or that it could not finish. The engine states it with the
// files and errors involved; the front ends put it into words (app/backup_messages).
enum class BackupStep {
    None,
    DestinationIsDatabase,     // file: the backup folder; to: the database folder
    DestinationInsideDatabase, // file: the backup folder; to: the database folder
    DestinationIsStaging,      // file: the backup folder; files: the copies still claimed there
    CopyDatabaseFile,          // file: its name; from, to; folder: the backup folder
    ReplaceDatabaseCopy,       // the same, after copied of total copies took their places
    ClearStaging,              // files: copies an earlier ZIP Backup made and could not delete
    StagingNamesInTheWay,      // files: what the staged copies would replace
    MakeStagingFolder,         // file: the staging folder as it can be shown
    StageDatabaseFile,         // file: its name; from, to
    WriteListFile,             // file: the list file
    Encrypt,                   // the archiving library cannot encrypt
    PackArchive,               // libraryResult, or error; from: a staged copy it could not read
    MakeGenerationFolder,      // file: the new backup's folder
    RenameGeneration,          // from, to
    DeleteOlderBackups,        // file: the first older backup that could not go; keep
    WaitForOtherBackup,        // waitMilliseconds: how long another backup held the lock
};

// What stopped a backup: the step, the file or folder, and the error the system gave.
struct BackupCause {
    BackupStep step = BackupStep::None;
    std::string file;
    std::optional<RuntimeError> error;
    int errorNumber = 0; // the run-time error, or the archiving library's result
    std::string from;
    std::string to;
    std::string folder;
    std::vector<std::string> files;
    int copied = 0; // files copied before the one that failed
    int total = 0;
    int keep = 0;
    unsigned waitMilliseconds = 0;
};

// A temporary file or folder of a ZIP Backup that its clean-up could not delete.
struct LeftOver {
    enum class Kind { StagedCopy, StagingFolder, ListFile, ListFileNotRewritten } kind;
    std::string path;
    RuntimeError error;
};

// An older generation pruning did not delete, and why.
struct KeptGeneration {
    std::string path;
    bool link = false; // a junction or symbolic link; else it holds files not written here
};

// What pruning older generations did, once the new one is written.
struct Pruning {
    std::vector<std::string> deleted;
    std::vector<KeptGeneration> kept;
    std::optional<std::string> newer; // a generation newer than the new one: nothing was pruned
};

struct BackupResult {
    BackupOutcome outcome = BackupOutcome::Done;
    std::string written; // the archive or folder written, once it is
    std::string archive; // the archive a ZIP Backup writes, written or not
    std::optional<BackupCause> cause;
    // Temporary files a ZIP Backup could not delete: they turn Done into CleanUpIncomplete and
    // are told beside a failure or a cancel.
    std::vector<LeftOver> leftOvers;
    Pruning pruning;
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
