#pragma once
#include "backup/backup_common.h"
#include "platform/file_system.h"

namespace ch {

// "Normal Backup": copies every listed database file under its own name into Dir2.
// DefaultDrive is the ZIP Backup's staging drive, whose folder Dir2 may be.
BackupOutcome Command2_Click(const BackupSources& in, const std::string& DefaultDrive,
                             const Services& s);

} // namespace ch
