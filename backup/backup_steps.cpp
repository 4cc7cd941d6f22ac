#include "backup/backup_steps.h"

#include <vector>

#include "backup/backup_common.h"
#include "backup/database_detection.h"
#include "backup/generations.h"
#include "backup/one_at_a_time.h"
#include "platform/ansi_path.h"
#include "platform/folder_path.h"

namespace ch {
namespace {

// Why the drive or network share of an absolute path cannot be used, or nothing when it can.
std::optional<DestinationProblem> unavailableRoot(FileSystem& fs, const CodePage& codePage,
                                                  const std::string& path) {
    if (isNetworkPath(path)) {
        std::string share = path.substr(0, pathRootLength(path, codePage.leadByteTest()));
        if (share.back() == '\\')
            share.pop_back();
        if (fs.folderExists(share))
            return std::nullopt;
        return DestinationProblem{DestinationProblem::Kind::ShareUnreachable, share, {}};
    }
    if (path.size() < 2 || path[1] != ':')
        return std::nullopt;
    try {
        fs.currentFolder(path[0]);
        return std::nullopt;
    } catch (const RuntimeError&) {
        return DestinationProblem{
            DestinationProblem::Kind::DriveUnavailable, path.substr(0, 2), {}};
    }
}

// The destination folder, made with any missing folders above it when it is not there, as
// a folder list reads it.
std::optional<DestinationProblem> readyDestination(FileSystem& fs, const CodePage& codePage,
                                                   std::string& folder, const BackupSteps& steps) {
    if (!fs.folderExists(folder)) {
        if (auto problem = unavailableRoot(fs, codePage, folder))
            return problem;
        try {
            fs.makeFolderAndParents(folder);
        } catch (const RuntimeError& e) {
            return DestinationProblem{DestinationProblem::Kind::NotCreated, {}, e};
        }
        if (steps.destinationCreated)
            steps.destinationCreated(folder);
    }
    try {
        folder = openedFolder(fs, codePage, folder);
    } catch (const RuntimeError& e) {
        return DestinationProblem{DestinationProblem::Kind::NotOpened, {}, e};
    }
    return std::nullopt;
}

BackupRun stopped(BackupRun run, StepStop where, BackupOutcome outcome) {
    run.stoppedAt = where;
    run.result.outcome = outcome;
    return run;
}

BackupRun cancelledBeforeStart(BackupRun run) {
    run.stoppedAt = StepStop::Cancelled;
    run.result = backupCancelled();
    return run;
}

} // namespace

BackupRun runBackupSteps(const BackupJob& job, const BackupTools& tools, BackupLock& lock,
                         const BackupSteps& steps) {
    FileSystem& fs = tools.fs;
    const WorkControl& control = job.control;
    BackupRun run;
    run.job = job;
    // The pauses of a wait end early on a Cancel, a second at a time.
    Waiting waiting = steps.waiting;
    if (control.cancelRequested)
        waiting.sleep = [&steps, &control](int seconds) {
            for (int i = 0; i < seconds && !control.cancelled(); ++i)
                steps.waiting.sleep(1);
        };

    if (steps.prepareDestination) {
        // Refused before the folder is made: a backup inside the database is never begun.
        if (auto refused = destinationInsideDatabase(run.job, fs, tools.codePage)) {
            run.result = *refused;
            run.stoppedAt = StepStop::InsideDatabase;
            return run;
        }
        if (auto problem = readyDestination(fs, tools.codePage, run.job.destination, steps)) {
            run.destination = problem;
            return stopped(run, StepStop::Destination, BackupOutcome::Failed);
        }
    }

    std::vector<std::string> database;
    for (const std::string& name : job.databaseFiles)
        database.push_back(databaseFile(job.messengerFolder, name));
    const auto report = [&steps](const DatabaseWait& wait) {
        if (steps.report)
            steps.report(wait);
    };
    // The database is waited for without the backup lock, which would hold up every other
    // backup and restore meanwhile. The lock is taken once it is free, and held from before the
    // first file is touched to the end (nothing here waits for anyone); the messenger may have
    // started while the lock was waited for, and then the waiting goes on within the same
    // deadline.
    const int64_t deadline =
        steps.databaseWaitMinutes
            ? waiting.elapsedSeconds() + int64_t{*steps.databaseWaitMinutes} * 60
            : 0;
    const ReleaseAtEnd held{lock};
    for (;;) {
        if (steps.databaseWaitMinutes) {
            auto inUse = waitForDatabase(fs, database, deadline, waiting, report, control);
            if (control.cancelled())
                return cancelledBeforeStart(run);
            if (inUse) {
                run.inUse = *inUse;
                return stopped(run, StepStop::DatabaseInUse, BackupOutcome::DatabaseInUse);
            }
        }
        // A lock free at once follows the database's check as closely as the first copy
        // does, so only a lock that had to be waited for sends the database to be checked
        // again: on a large database each check opens every file.
        const bool freeAtOnce = steps.databaseWaitMinutes && lock.acquire(0);
        if (!freeAtOnce && !lock.acquire(steps.lockWaitMs, control.cancelRequested)) {
            if (control.cancelled())
                return cancelledBeforeStart(run);
            run.result = anotherBackupRunning(steps.lockWaitMs);
            run.stoppedAt = StepStop::AnotherBackupRunning;
            return run;
        }
        if (!steps.databaseWaitMinutes || freeAtOnce || !firstFileInUse(fs, database))
            break;
        lock.release();
    }

    if (control.cancelled())
        return cancelledBeforeStart(run);
    if (run.job.keep && steps.localTime)
        run.job.stamp = newGenerationStamp(fs, run.job.destination, job.kind == BackupKind::Zip,
                                           steps.localTime, waiting.sleep);
    const int64_t started = waiting.elapsedSeconds();
    run.result = runBackup(run.job, tools);
    run.seconds = waiting.elapsedSeconds() - started;
    return run;
}

} // namespace ch
