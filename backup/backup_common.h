#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "backup/backup_job.h"
#include "platform/runtime_error.h"

namespace ch {

// The opening words of both completion boxes (the misspelling is the program's own text).
extern const char* const kCompletionWords; // "Your ICQ backup has been succesfully copied to: "
extern const char* const kDoneTitle;       // "Done !"
extern const char* const kBackupFailedTitle;
extern const char* const kCleanUpIncompleteTitle; // "Clean-up incomplete"
extern const char* const kBackupCancelledTitle;   // "Backup cancelled"

// Why an operation failed, in plain words for an error box: a lower-case clause without a
// final full stop, e.g. "the disk is full".
std::string plainReason(const RuntimeError& e);

// "2 of 5 files were copied" (singular for a list of one).
std::string filesCopiedText(int copied, int total);

// The result of a failed backup: text is its error box.
BackupResult backupFailure(const std::string& text, BackupOutcome outcome = BackupOutcome::Failed,
                           std::optional<BackupCause> cause = std::nullopt);
// The cause of an error e met at file.
BackupCause causeOf(const std::string& file, const RuntimeError& e, const std::string& from = {},
                    const std::string& to = {});
// The "Done !" result of a backup written to written.
BackupResult backupDone(const std::string& written, const std::string& text);
// The result of a job that was cancelled: "The ZIP Backup was cancelled. Nothing in <its
// destination> was changed.", an information box. leftOver, when the clean-up could not
// remove all this run's temporary files, is added and makes it a warning.
BackupResult backupCancelled(const BackupJob& job,
                             const std::optional<std::string>& leftOver = std::nullopt);

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

// The bytes of a job's database files, as a job's total is counted; 0 unless it reports.
// sizes gets each file's size (0 for one that cannot be read: its copy fails in its own words).
uint64_t databaseBytes(const BackupJob& job, FileSystem& fs,
                       std::vector<uint64_t>* sizes = nullptr);

} // namespace ch
