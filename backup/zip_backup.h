#pragma once
#include "backup/backup_common.h"
#include "platform/file_system.h"

namespace ch {

// defaultdrive.ini in the program folder: one line, the staging drive's letter.
std::string settingsFilePath(const AppObject& App);

// "ZIP Backup": stages the database files on DefaultDrive, lists them in icqtemp.dat and has
// the archiving library pack them into chathoard.zip (or archiveName) in Dir2.
BackupOutcome Command1_Click(const BackupSources& in, const std::string& DefaultDrive,
                             const Services& s, const std::string& archiveName = "chathoard.zip");

} // namespace ch
