#pragma once
// Keeping several backups ("/keep:N"): each run writes a new generation named after the local
// time it started, and only once that generation is complete and in place are the oldest ones
// deleted, so that N remain. A ZIP generation is the archive "chathoard-YYYY-MM-DD-HHMMSS.zip",
// a Normal one the subfolder "YYYY-MM-DD-HHMMSS". Nothing in the destination whose name is not
// exactly of these forms is ever touched, and a run that fails deletes nothing.
#include <functional>
#include <string>

#include "backup/backup_common.h"
#include "platform/file_system.h"

namespace ch {

constexpr int kMinGenerations = 1;
constexpr int kMaxGenerations = 999;

// "2026-12-07 03:00:00" (the local time as the log writes it) -> "2026-12-07-030000".
// Empty when the text is not of that form.
std::string generationStamp(const std::string& localTime);

// Exactly "YYYY-MM-DD-HHMMSS" (digits where the form has them).
bool isGenerationFolderName(const std::string& name);
// Exactly "chathoard-YYYY-MM-DD-HHMMSS.zip".
bool isGenerationArchiveName(const std::string& name);
std::string generationArchiveName(const std::string& stamp);
// The name a Normal generation is copied under until every copy is complete.
std::string incompleteGenerationName(const std::string& stamp);

// The stamp for a new generation in destination. Two runs within the same second would get the
// same name, so while the stamp's name is taken this waits a second (at most twice) for the
// next one.
std::string newGenerationStamp(FileSystem& fs, const std::string& destination, bool zip,
                               const std::function<std::string()>& localTime,
                               const std::function<void(int seconds)>& sleep);

// A ZIP Backup into a new generation archive "chathoard-<job.stamp>.zip" of the job's
// destination, then the pruning to job.keep.
BackupResult zipGeneration(const BackupJob& job, const BackupTools& tools);
// A Normal Backup into a new generation subfolder <job.stamp>, then the pruning to job.keep.
BackupResult normalGeneration(const BackupJob& job, const BackupTools& tools);

} // namespace ch
