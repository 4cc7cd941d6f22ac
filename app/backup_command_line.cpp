#include "app/backup_command_line.h"

#include "app/backup_messages.h"
#include "app/password_command_line.h"
#include "app/startup.h"
#include "backup/database_detection.h"
#include "backup/generations.h"
#include "backup/one_at_a_time.h"
#include "backup/restore.h"
#include "platform/folder_path.h"
#include "platform/runtime_error.h"

namespace ch {
namespace {

// The folder a folder list would show for spec, which must exist.
std::string openedFolder(FileSystem& fs, const std::string& spec) {
    const std::string folder = folderPathOf(fs, "", spec);
    fs.listFolders(folder);
    return folder;
}

// Why the drive or network share of an absolute path cannot be used, or nothing when it can.
std::optional<std::string> unavailableRoot(FileSystem& fs, const std::string& path) {
    if (isNetworkPath(path)) {
        std::string share = path.substr(0, pathRootLength(path, fs.leadByteTest()));
        if (share.back() == '\\')
            share.pop_back();
        if (fs.folderExists(share))
            return std::nullopt;
        return "the network share " + share + " cannot be reached";
    }
    if (path.size() < 2 || path[1] != ':')
        return std::nullopt;
    try {
        fs.currentFolder(path[0]);
        return std::nullopt;
    } catch (const RuntimeError&) {
        return "drive " + path.substr(0, 2) +
               " is not available (a removable disk may be unplugged)";
    }
}

// The destination folder, made with any missing folders above it. False after saying why it
// cannot be used.
bool destinationReady(Console& console, FileSystem& fs, const std::string& folder) {
    if (fs.folderExists(folder))
        return true;
    if (const auto why = unavailableRoot(fs, folder)) {
        console.report("The destination folder " + folder + " cannot be used: " + *why + ".", true);
        return false;
    }
    try {
        fs.makeFolderAndParents(folder);
    } catch (const RuntimeError& e) {
        console.report("The destination folder " + folder +
                           " does not exist and could not be created: " + plainReason(e) + ".",
                       true);
        return false;
    }
    console.report("Created the destination folder " + folder, false);
    return true;
}

// "3 files, 3.0 MB (3145728 bytes)".
std::string bytesText(uint64_t bytes) {
    const std::string exact = std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes");
    const std::string readable = sizeText(bytes);
    return readable == exact ? exact : readable + " (" + exact + ")";
}

// The one line a successful run ends with, before its exit code.
std::string summaryLine(FileSystem& fs, const BackupJob& job, const BackupResult& result,
                        int64_t seconds) {
    uint64_t bytes = 0;
    for (const std::string& name : job.databaseFiles)
        bestEffort([&] { bytes += fs.fileSize(databaseFile(job.messengerFolder, name)); });
    const size_t n = job.databaseFiles.size();
    std::string line =
        "Summary: " + std::to_string(n) + (n == 1 ? " file, " : " files, ") + bytesText(bytes);
    if (job.kind == BackupKind::Zip)
        bestEffort([&] { line += ", archive " + bytesText(fs.fileSize(result.written)); });
    return line + ", " + std::to_string(seconds) + (seconds == 1 ? " second" : " seconds") + ".";
}

// A backup's report: the box's text on one line, then each older backup deleted or kept (and
// the clock's warning) on a line of its own.
void reportResult(Console& console, const BackupJob& job, const BackupResult& result) {
    const BackupMessage message = backupMessage(job, result);
    console.message(message.text, message.title, message.warning);
    for (const ReportLine& line : message.lines)
        console.report(line.text, line.warning);
}

// What Ctrl+C before the backup began says: nothing was touched.
int cancelledBeforeStart(Console& console) {
    console.report("Cancelled (Ctrl+C) before the backup began; nothing was written.", true);
    return exitCancelled;
}

} // namespace

int exitCodeFor(BackupOutcome outcome) {
    switch (outcome) {
    case BackupOutcome::Done:
    case BackupOutcome::CleanUpIncomplete: // the backup is whole; its warning says what is left
        return exitDone;
    case BackupOutcome::NoMessengerFolder:
        return exitNoMessengerDatabase;
    case BackupOutcome::Failed:
        return exitBackupFailed;
    case BackupOutcome::Cancelled:
        return exitCancelled;
    case BackupOutcome::DatabaseInUse:
        return exitDatabaseInUse;
    case BackupOutcome::AnotherBackupRunning:
        return exitAnotherBackupRunning;
    }
    return exitBackupFailed;
}

int runBackupCommand(const CommandLine& cl, const Services& s, Console& console, const Clock& clock,
                     const Waiting& given, const WorkControl& work) {
    // /wait's pauses end early on Ctrl+C, a second at a time.
    Waiting waiting = given;
    if (work.cancelRequested)
        waiting.sleep = [&given, &work](int seconds) {
            for (int i = 0; i < seconds && !work.cancelled(); ++i)
                given.sleep(1);
        };
    const bool zip = cl.kind == BackupKind::Zip;
    console.report(std::string(zip ? "ZIP" : "Normal") + " backup of " + cl.messengerFolder +
                       " to " + cl.destinationFolder,
                   false);

    BackupJob job;
    job.kind = cl.kind;
    if (cl.encrypt) {
        const std::optional<std::string> password = storedPassword(s, console);
        if (!password) {
            console.report(kNoStoredPasswordText, true);
            return exitPassword;
        }
        job.password = *password;
    }
    job.programFolder = s.App.Path;
    job.keep = cl.keep;
    // A ZIP Backup starts as the window does: the archiving library initialised, the setting
    // read (or made) with its warnings. A Normal one only reads it, to know the staging folder
    // whose claims it settles.
    job.stagingDrive = zip ? loadStagingDrive(s.fs, s.archiver, s.App.Path,
                                              [&](const std::string& text,
                                                  const std::optional<std::string>& title) {
                                                  console.message(text, title, true);
                                              })
                           : readStagingDrive(s.fs, s.App.Path).value_or("");
    MessengerDatabase found;
    try {
        job.messengerFolder = openedFolder(s.fs, cl.messengerFolder);
        found = findMessengerDatabase(s.fs, job.messengerFolder);
        // Nobody is there to answer the window's question: it is shown and left unanswered.
        if (const auto interrupted = interruptedRestore(s.fs, job.messengerFolder))
            console.message(interruptedRestoreText(*interrupted, job.messengerFolder, true),
                            kRestoreTitle, false);
    } catch (const RuntimeError& e) {
        console.report("The messenger folder " + cl.messengerFolder +
                           " cannot be opened: " + e.description(),
                       true);
        return exitNoMessengerDatabase;
    }
    if (!found.found) {
        console.report("No messenger database (*.dat or *.idx files) in " +
                           databaseFolder(job.messengerFolder),
                       true);
        return exitNoMessengerDatabase;
    }
    job.databaseFiles = found.files;
    job.destination = cl.destinationFolder;
    // Refused before the folder is made: a backup inside the database is never begun.
    if (const auto refused = destinationInsideDatabase(job, s.fs)) {
        reportResult(console, job, *refused);
        return exitCodeFor(refused->outcome);
    }
    if (!destinationReady(console, s.fs, cl.destinationFolder))
        return exitBackupFailed;
    try {
        job.destination = openedFolder(s.fs, cl.destinationFolder);
    } catch (const RuntimeError& e) {
        console.report("The destination folder " + cl.destinationFolder +
                           " cannot be opened: " + e.description(),
                       true);
        return exitBackupFailed;
    }

    std::vector<std::string> database;
    for (const std::string& name : job.databaseFiles)
        database.push_back(databaseFile(job.messengerFolder, name));
    const auto report = [&](const std::string& line) { console.report(line, false); };
    // The database is waited for without the backup lock, which would hold up every other
    // backup and restore meanwhile. The lock is taken once it is free, and held from before the
    // first file is touched to the end (nothing here waits for anyone); ICQ may have started
    // during the lock's own wait, and then the waiting goes on within the same deadline.
    const int64_t deadline = waiting.elapsedSeconds() + int64_t{cl.waitMinutes} * 60;
    const ReleaseAtEnd held{s.backupLock};
    for (;;) {
        auto inUse = waitForDatabase(s.fs, database, deadline, waiting, report, work);
        if (work.cancelled())
            return cancelledBeforeStart(console);
        if (inUse) {
            console.report(databaseInUseText(*inUse, cl.waitMinutes), true);
            return exitDatabaseInUse;
        }
        if (!s.backupLock.acquire(kCommandLineLockWaitMs, work.cancelRequested)) {
            if (work.cancelled())
                return cancelledBeforeStart(console);
            console.message(anotherBackupText(kCommandLineLockWaitMs), kAnotherBackupTitle, true);
            return exitAnotherBackupRunning;
        }
        if (!firstFileInUse(s.fs, database))
            break;
        s.backupLock.release();
    }

    if (work.cancelled())
        return cancelledBeforeStart(console);
    job.control = work;
    if (job.keep)
        job.stamp = newGenerationStamp(s.fs, job.destination, zip, clock, waiting.sleep);
    const int64_t started = waiting.elapsedSeconds();
    const BackupResult result = runBackup(job, {s.fs, s.archiver});
    reportResult(console, job, result);
    const BackupOutcome outcome = result.outcome;
    const int code = exitCodeFor(outcome);
    // ICQ started during the run and a copy met its database open.
    if (outcome == BackupOutcome::DatabaseInUse)
        if (auto inUse = firstFileInUse(s.fs, database))
            console.report(databaseInUseText(*inUse, 0), true);
    if (code == exitDone)
        console.report(summaryLine(s.fs, job, result, waiting.elapsedSeconds() - started), false);
    return code;
}

} // namespace ch
