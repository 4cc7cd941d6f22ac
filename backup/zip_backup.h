#pragma once
#include "backup/backup_common.h"

namespace ch {

// defaultdrive.ini in the program folder: one line, the staging drive's letter.
std::string settingsFilePath(const std::string& programFolder);

// "ZIP Backup": stages the job's database files on its staging drive, lists them in
// icqtemp.dat and has the archiving library pack them into the job's archive name in its
// destination.
// With a password, every entry is encrypted; a library that cannot encrypt makes the run fail
// before anything is staged, at the step Encrypt.
BackupResult zipBackup(const BackupJob& job, const BackupTools& tools);

} // namespace ch
