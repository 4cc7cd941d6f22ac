#pragma once
#include "backup/backup_common.h"

namespace ch {

// "Normal Backup": copies every database file of the job under its own name into its
// destination, which may be the ZIP Backup's staging folder.
BackupResult normalBackup(const BackupJob& job, const BackupTools& tools);

} // namespace ch
