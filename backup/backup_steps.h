#pragma once
// A backup from start to end, in the same steps from the window and from the command line: the
// destination made ready, the database waited for, the machine's backup lock taken, and then
// runBackup with the lock held.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "backup/backup_job.h"
#include "backup/wait_for_database.h"
#include "platform/backup_lock.h"
#include "platform/runtime_error.h"

namespace ch {

// Why the destination could not be made ready; nothing was written.
struct DestinationProblem {
    enum class Kind {
        ShareUnreachable, // root: the network share, which cannot be reached
        DriveUnavailable, // root: its drive ("D:"), which is not available
        NotCreated,       // missing, and error says why it could not be made
        NotOpened,        // there, but error says why it cannot be read as a folder
    };
    Kind kind = Kind::NotCreated;
    std::string root;
    std::optional<RuntimeError> error;
};

// What a front end asks of the steps beside the job.
struct BackupSteps {
    // How long the backup lock is waited for, when another backup holds it.
    unsigned lockWaitMs = 0;
    // Makes a destination that was typed ready: refused when it lies inside the database,
    // made (with any missing folders above it) when it is not there, and read as a folder list
    // would show it. A destination picked in a folder list is taken as it is.
    bool prepareDestination = false;
    // Waits up to this many minutes (0: not at all) for every database file to be free before
    // the lock is taken, and again while it was in use by the time the lock was had. Without
    // it the database is not looked at: a file in use fails the backup's copy of it.
    std::optional<int> databaseWaitMinutes;
    // The time the waits go by; a Cancel of the job ends its pauses within a second.
    Waiting waiting = Waiting::real();
    // Lines of the wait for the database, as it starts and ends.
    DatabaseWaitReport report;
    // Told of a destination the steps made, before anything else is done.
    std::function<void(const std::string& folder)> destinationCreated;
    // The local time as the log writes it, naming a new generation when the job keeps some.
    std::function<std::string()> localTime;
};

// Where the steps stopped before the backup began, or None once runBackup ran.
enum class StepStop {
    None,
    InsideDatabase,       // result: the refusal
    Destination,          // destination says why
    DatabaseInUse,        // inUse: the file still held open at the end of the wait
    AnotherBackupRunning, // result: the refusal, as the window shows it
    Cancelled,            // result: the cancelled backup, as the window shows it
};

struct BackupRun {
    StepStop stoppedAt = StepStop::None;
    // runBackup's result, or where the steps stopped, the outcome they stopped with.
    BackupResult result;
    // The job as it ran: its destination as opened, its generation's stamp.
    BackupJob job;
    std::optional<DestinationProblem> destination;
    std::string inUse;
    // How long runBackup took, by steps.waiting.
    int64_t seconds = 0;
};

// Runs job's backup in the steps that steps asks for; the lock is let go before this returns.
// A Cancel through job.control ends any wait and touches nothing before the backup began.
BackupRun runBackupSteps(const BackupJob& job, const BackupTools& tools, BackupLock& lock,
                         const BackupSteps& steps);

} // namespace ch
