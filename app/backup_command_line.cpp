#include "app/backup_command_line.h"

#include "app/backup_messages.h"
#include "app/password_command_line.h"
#include "app/restore_messages.h"
#include "app/startup.h"
#include "backup/backup_steps.h"
#include "backup/database_detection.h"
#include "backup/one_at_a_time.h"
#include "backup/restore.h"
#include "platform/folder_path.h"
#include "platform/runtime_error.h"

namespace ch {
namespace {

// Why the destination folder cannot be used, made or opened.
std::string destinationProblemText(const std::string& folder, const DestinationProblem& problem) {
    using Kind = DestinationProblem::Kind;
    switch (problem.kind) {
    case Kind::ShareUnreachable:
        return "The destination folder " + folder + " cannot be used: " + "the network share " +
               problem.root + " cannot be reached" + ".";
    case Kind::DriveUnavailable:
        return "The destination folder " + folder + " cannot be used: " + "drive " + problem.root +
               " is not available (a removable disk may be unplugged)" + ".";
    case Kind::NotCreated:
        return "The destination folder " + folder +
               " does not exist and could not be created: " + plainReason(*problem.error) + ".";
    case Kind::NotOpened:
        break;
    }
    return "The destination folder " + folder +
           " cannot be opened: " + problem.error->description();
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

int runBackupCommand(const CommandLine& cl, const CommandLineServices& s, Console& console,
                     const Clock& clock, const Waiting& waiting, const WorkControl& work) {
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
        job.messengerFolder = openedFolder(s.fs, s.codePage, cl.messengerFolder);
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
    job.control = work;

    BackupSteps steps;
    steps.lockWaitMs = kCommandLineLockWaitMs;
    steps.prepareDestination = true;
    steps.databaseWaitMinutes = cl.waitMinutes;
    steps.waiting = waiting;
    steps.report = [&](const DatabaseWait& wait) { console.report(databaseWaitText(wait), false); };
    steps.destinationCreated = [&](const std::string& folder) {
        console.report("Created the destination folder " + folder, false);
    };
    steps.localTime = clock;
    const BackupRun run = runBackupSteps(job, {s.fs, s.archiver, s.codePage}, s.backupLock, steps);
    const BackupResult& result = run.result;
    switch (run.stoppedAt) {
    case StepStop::None:
        break;
    case StepStop::InsideDatabase:
        reportResult(console, run.job, result);
        return exitCodeFor(result.outcome);
    case StepStop::Destination:
        console.report(destinationProblemText(cl.destinationFolder, *run.destination), true);
        return exitBackupFailed;
    case StepStop::DatabaseInUse:
        console.report(databaseInUseText(run.inUse, cl.waitMinutes), true);
        return exitDatabaseInUse;
    case StepStop::AnotherBackupRunning:
        console.message(anotherBackupText(kCommandLineLockWaitMs), kAnotherBackupTitle, true);
        return exitAnotherBackupRunning;
    case StepStop::Cancelled:
        return cancelledBeforeStart(console);
    }
    reportResult(console, run.job, result);
    const BackupOutcome outcome = result.outcome;
    const int code = exitCodeFor(outcome);
    // ICQ started during the run and a copy met its database open.
    if (outcome == BackupOutcome::DatabaseInUse) {
        std::vector<std::string> database;
        for (const std::string& name : job.databaseFiles)
            database.push_back(databaseFile(job.messengerFolder, name));
        if (auto inUse = firstFileInUse(s.fs, database))
            console.report(databaseInUseText(*inUse, 0), true);
    }
    if (code == exitDone)
        console.report(summaryLine(s.fs, run.job, result, run.seconds), false);
    return code;
}

} // namespace ch
