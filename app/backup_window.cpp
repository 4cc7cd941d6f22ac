#include "app/backup_window.h"

#include "app/backup_messages.h"
#include "app/restore_messages.h"

#include "app/frm_password.h"
#include "app/selection_handlers.h"
#include "backup/database_detection.h"
#include "backup/one_at_a_time.h"
#include "backup/restore.h"
#include "platform/runtime_error.h"

namespace ch {

bool refuseWithoutMessengerFolder(const Label& Label1, Dialogs& dialogs) {
    if (Label1.Caption() != kNotFoundCaption)
        return false;
    dialogs.msgBox("You have not yet selected your ICQ directory", vbExclamation, "Oops...");
    return true;
}

std::string windowPassword(const Services& s) {
    if (!s.passwords)
        return {};
    try {
        return s.passwords->load().value_or("");
    } catch (const RuntimeError&) {
        return {};
    }
}

BackupJob backupJobOf(BackupKind kind, const FileList& File1, const FolderList& Dir1,
                      const FolderList& Dir2, const std::string& DefaultDrive,
                      const AppObject& App) {
    BackupJob job;
    job.kind = kind;
    job.messengerFolder = Dir1.Path();
    for (int i = 0; i < File1.ListCount(); ++i)
        job.databaseFiles.push_back(File1.List(i));
    job.destination = Dir2.Path();
    job.stagingDrive = DefaultDrive;
    job.programFolder = App.Path;
    return job;
}

std::string backupWorkTitle(BackupKind kind) {
    return kind == BackupKind::Zip ? "ZIP Backup" : "Normal Backup";
}

BackupOutcome showBackupResult(Dialogs& dialogs, const BackupJob& job, const BackupResult& result) {
    const BackupMessage message = backupMessage(job, result);
    dialogs.msgBox(message.boxText(), message.warning ? vbExclamation : vbInformation,
                   message.title);
    return result.outcome;
}

bool offerInterruptedRestore(FileSystem& fs, Dialogs& dialogs, const std::string& messengerFolder) {
    const auto found = interruptedRestore(fs, messengerFolder);
    if (!found || dialogs.msgBox(interruptedRestoreText(*found, messengerFolder, true),
                                 vbOKCancel | vbQuestion | vbDefaultButton2, kRestoreTitle) != vbOK)
        return false;
    try {
        putPreviousDatabaseBack(fs, *found, messengerFolder);
        return true;
    } catch (const RuntimeError& e) {
        dialogs.msgBox("The folder " + found->previous +
                           " could not be renamed to db: " + plainReason(e) + ".",
                       vbExclamation, kRestoreFailedTitle);
        return false;
    }
}

void mnuRestore_Click(const Label& Label1, const FolderList& Dir1, const FolderList& Dir2,
                      const Services& s, const std::string& stamp) {
    FileSystem& fs = s.fs;
    Dialogs& dialogs = s.dialogs;
    if (refuseWithoutMessengerFolder(Label1, dialogs))
        return;
    const auto picked = s.filePicker.openFile(
        "Choose the backup to restore: chathoard.zip, or a database file in a folder of copies",
        "Backups (*.zip, *.dat, *.idx)|*.zip;*.dat;*.idx|All files (*.*)|*.*", Dir2.Path());
    if (!picked)
        return;
    const std::string backupPath = backupOfPicked(fs, s.codePage, *picked);
    // Read before the work starts: the work runs where no control may be touched.
    const std::string messengerFolder = Dir1.Path();
    // The check reads the whole backup, and a restore unpacks it: both off the window's
    // thread, with the progress window when they take long.
    CheckedBackup backup;
    std::string password = windowPassword(s);
    for (int attempt = 0;; ++attempt) {
        s.work.run(kRestoreTitle, [&](const WorkControl& control) {
            backup = checkBackup(fs, s.codePage, backupPath, control, password);
        });
        if (s.work.closing())
            return;
        // An encrypted backup the stored password does not open: the user may type the
        // right one, tried once.
        if (attempt > 0 || backup.cancelled ||
            backup.passwordTrouble == CheckedBackup::PasswordTrouble::None)
            break;
        const auto typed = askBackupPassword(
            s, backupPath, backup.passwordTrouble == CheckedBackup::PasswordTrouble::Wrong);
        if (!typed)
            break;
        password = *typed;
    }
    if (backup.cancelled) {
        dialogs.msgBox(restoreCancelledText(messengerFolder), vbInformation,
                       kRestoreCancelledTitle);
        return;
    }
    if (!backup.intact()) {
        dialogs.msgBox(damagedBackupText(backup), vbExclamation, kRestoreFailedTitle);
        return;
    }
    // Cancel is the default: a hurried Enter must not replace the database.
    if (dialogs.msgBox(restoreQuestion(backup, messengerFolder),
                       vbOKCancel | vbQuestion | vbDefaultButton2, kRestoreTitle) != vbOK)
        return;
    std::optional<RestoreReport> report;
    s.work.run(kRestoreTitle, [&](const WorkControl& control) {
        report = restoreAlone(s.backupLock, kWindowLockWaitMs, fs, s.codePage, backup,
                              messengerFolder, stamp, control);
    });
    // Closing the program cancelled it, unless the restore had got past the point where a
    // Cancel is heard (or had ended): then what it did is told before the program ends.
    if (s.work.closing() && (!report || report->outcome == RestoreOutcome::Cancelled))
        return;
    if (!report) {
        dialogs.msgBox(backupRunningText(kWindowLockWaitMs), vbExclamation, kRestoreFailedTitle);
        return;
    }
    const std::string text = restoreReportText(backup, messengerFolder, *report);
    if (report->outcome == RestoreOutcome::Done)
        dialogs.msgBox(text, vbInformation, kRestoredTitle);
    else if (report->outcome == RestoreOutcome::Cancelled)
        dialogs.msgBox(text, vbInformation, kRestoreCancelledTitle);
    else
        dialogs.msgBox(text, vbExclamation, kRestoreFailedTitle);
}

} // namespace ch
