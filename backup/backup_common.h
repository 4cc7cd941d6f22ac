#pragma once
#include <string>

#include "backup/backup_job.h"
#include "platform/runtime_error.h"

namespace ch {

// The opening words of both completion boxes (the misspelling is the program's own text).
extern const char* const kCompletionWords; // "Your ICQ backup has been succesfully copied to: "
extern const char* const kDoneTitle;       // "Done !"
extern const char* const kBackupFailedTitle;
extern const char* const kCleanUpIncompleteTitle; // "Clean-up incomplete"

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

} // namespace ch
