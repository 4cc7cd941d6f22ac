#pragma once
// The window's side of the backups and of restoring: the handlers read their controls into a
// job, and show what comes back in a box.
#include <string>

#include "backup/backup_job.h"
#include "platform/controls.h"
#include "platform/services.h"

namespace ch {

// The guard of the backups and of restoring: when Label1 says no messenger folder was found,
// shows the "Oops..." warning and returns true.
bool refuseWithoutMessengerFolder(const Label& Label1, Dialogs& dialogs);

// A backup of the database files File1 lists in Dir1's messenger folder into Dir2.
BackupJob backupJobOf(BackupKind kind, const FileList& File1, const FolderList& Dir1,
                      const FolderList& Dir2, const std::string& DefaultDrive,
                      const AppObject& App);

// The stored password for the window's ZIP Backups, checks and restores; empty when none is
// stored or it cannot be read.
std::string windowPassword(const Services& s);

// What the progress window of a backup is titled: the caption of its button.
std::string backupWorkTitle(BackupKind kind);

// Shows the result of job in its box (exclamation for a warning, information otherwise) and
// returns its outcome.
BackupOutcome showBackupResult(Dialogs& dialogs, const BackupJob& job, const BackupResult& result);

// When the messenger folder holds an interrupted restore, asks whether to put the previous
// database back as db and does so on OK. True when it did.
bool offerInterruptedRestore(FileSystem& fs, Dialogs& dialogs, const std::string& messengerFolder);

// File > Restore a backup...: picks the backup with the open dialog (starting in the backup
// folder Dir2), restores into the messenger folder Dir1, and shows each step's box.
void mnuRestore_Click(const Label& Label1, const FolderList& Dir1, const FolderList& Dir2,
                      const Services& s, const std::string& stamp);

} // namespace ch
