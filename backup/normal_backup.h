#pragma once
#include "backup/backup_common.h"
#include "platform/file_system.h"

namespace ch {

// "Normal Backup": copies every listed database file under its own name into Dir2.
BackupOutcome Command2_Click(const BackupSources& in, const Services& s);

} // namespace ch
