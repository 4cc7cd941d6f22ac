#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "backup/backup_job.h"
#include "platform/runtime_error.h"

namespace ch {

// The result of a backup that failed at a step.
BackupResult backupFailure(BackupCause cause, BackupOutcome outcome = BackupOutcome::Failed);
// The cause of an error e met at a step on file.
BackupCause causeOf(BackupStep step, const std::string& file, const RuntimeError& e,
                    const std::string& from = {}, const std::string& to = {});
// The result of a backup written to written.
BackupResult backupDone(const std::string& written);
// The result of a job that was cancelled before it wrote anything; leftOvers are the temporary
// files its clean-up could not remove.
BackupResult backupCancelled(std::vector<LeftOver> leftOvers = {});

// A job's progress by bytes over the whole job, told to its WorkControl, and its Cancel. With
// an empty control it tells nothing and costs nothing.
class JobMeter {
  public:
    explicit JobMeter(const WorkControl& control, uint64_t totalBytes = 0);
    // Whether anyone hears the reports; only then are the job's bytes worth counting.
    bool reporting() const { return static_cast<bool>(control_.report); }
    // Tells where the job is: stage (with the file it works on) at bytes done over the whole
    // job, never less than told before nor more than the total. False once Cancel was asked
    // for. Never throws, so a library may call it.
    bool tell(WorkStage stage, uint64_t doneBytes, const std::string& file = {}, int fileNumber = 0,
              int fileCount = 0);
    // Within the stage last told.
    bool advance(uint64_t doneBytes);
    // tell, then throws WorkCancelled once Cancel was asked for: the start of a step.
    void begin(WorkStage stage, uint64_t doneBytes, const std::string& file = {},
               int fileNumber = 0, int fileCount = 0);
    // Throws WorkCancelled once Cancel was asked for.
    void stopIfCancelled() const;
    // A copy's hook: its bytes counted from the bytes done when it was made. Empty when the
    // control is.
    CopyProgress copyHook();
    uint64_t totalBytes() const { return now_.totalBytes; }
    void setTotal(uint64_t totalBytes) { now_.totalBytes = totalBytes; }

  private:
    const WorkControl& control_;
    WorkProgress now_;
};

// Each of a job's database files' size, in the job's order (0 for one that cannot be read: its
// copy fails in its own words).
std::vector<uint64_t> databaseSizes(const BackupJob& job, FileSystem& fs);
// The bytes of a job's database files, as a job's total is counted; 0 unless it reports.
// sizes gets each file's size then, as databaseSizes tells it.
uint64_t databaseBytes(const BackupJob& job, FileSystem& fs,
                       std::vector<uint64_t>* sizes = nullptr);

} // namespace ch
