#include "app/form1.h"

#include "about/menu_commands.h"
#include "app/backup_window.h"
#include "app/selection_handlers.h"
#include "app/startup.h"
#include "backup/backup_steps.h"
#include "backup/database_detection.h"
#include "backup/one_at_a_time.h"
#include "backup/restore.h"

namespace ch {

Form1::Form1(const Services& services)
    : File1(services.fs, kDatabasePatterns), Dir2(services.fs, services.codePage),
      Drive2(services.fs), Dir1(services.fs, services.codePage), Drive1(services.fs),
      Label1(kNotFoundCaption), s_(services) {
    passwordStored = [this] { return s_.passwords && s_.passwords->stored(); };
}

void Form1::load(const std::string& currentFolder) {
    // The design stores no drive or folder: the lists start on the process's current ones,
    // before any handler is wired, so creating them raises nothing.
    Drive1.init(currentFolder);
    Drive2.init(currentFolder);
    Dir1.init(currentFolder);
    Dir2.init(currentFolder);
    File1.init(currentFolder);
    wireEvents();
    Form_Load();
}

void Form1::wireEvents() {
    Dir1.Change = [this] { Dir1_Change(); };
    Drive1.Change = [this] { Drive1_Change(); };
    Drive2.Change = [this] { Drive2_Change(); };
    // A change of Dir2 runs nothing: the destination is read when a backup starts.
}

void Form1::Form_Load() {
    ch::Form_Load(Text1, DefaultDrive, s_);
    showEncryption();
}

void Form1::showEncryption() {
    lblEncrypted.setCaption(passwordStored && passwordStored() ? kEncryptedCaption : "");
}

// The "Oops..." guard comes before the lock: a click without a messenger folder starts no
// backup, so it neither waits for one that is running nor is refused because of it. The wait
// for the lock, the backup and its clean-up all run off the window's thread.
BackupOutcome Form1::backUp(BackupKind kind) {
    if (refuseWithoutMessengerFolder(Label1, s_.dialogs))
        return BackupOutcome::NoMessengerFolder;
    BackupJob job = backupJobOf(kind, File1, Dir1, Dir2, DefaultDrive, s_.App);
    // While a password is stored every ZIP Backup is encrypted; Normal Backups stay copies.
    if (kind == BackupKind::Zip)
        job.password = windowPassword(s_);
    BackupResult result;
    s_.work.run(backupWorkTitle(kind), [&](const WorkControl& control) {
        job.control = control;
        BackupSteps steps;
        steps.lockWaitMs = kWindowLockWaitMs;
        result =
            runBackupSteps(job, {s_.fs, s_.archiver, s_.codePage}, s_.backupLock, steps).result;
    });
    // The program is closing: no box, unless the backup ended before the Cancel was heard.
    if (s_.work.closing() && result.outcome == BackupOutcome::Cancelled)
        return result.outcome;
    return showBackupResult(s_.dialogs, job, result);
}

BackupOutcome Form1::Command1_Click() {
    return backUp(BackupKind::Zip);
}

BackupOutcome Form1::Command2_Click() {
    return backUp(BackupKind::Normal);
}

void Form1::Dir1_Change() {
    ch::Dir1_Change(s_.fs, Dir1, File1, Label1);
    if (offerInterruptedRestore(s_.fs, s_.dialogs, Dir1.Path()))
        ch::Dir1_Change(s_.fs, Dir1, File1, Label1);
}

void Form1::Drive1_Change() {
    DriveChange(Drive1, Dir1, Drive2, s_.dialogs);
}

void Form1::Drive2_Change() {
    DriveChange(Drive2, Dir2, Drive1, s_.dialogs);
}

void Form1::mnuCheck_Click() {
    ch::mnuCheck_Click(Label1, Dir1, Dir2, s_, check_);
}

void Form1::mnuRestore_Click() {
    ch::mnuRestore_Click(Label1, Dir1, Dir2, s_, restoreStamp(localTimeNow()));
    if (s_.work.closing())
        return;
    // The restored db may hold other files than the old one: the next backup must list
    // the files that are there now.
    Dir1_Change();
}

void Form1::mnuSchedule_Click() {
    if (!scheduler)
        return;
    ScheduleChoice defaults;
    defaults.from = Dir1.Path();
    defaults.to = Dir2.Path();
    const std::string folder = s_.App.Path;
    const std::string program =
        folder + (folder.empty() || folder.back() == '\\' ? "" : "\\") + s_.App.EXEName + ".exe";
    FrmSchedule form(*scheduler, s_, program, defaults, passwordStored);
    s_.runtime.showModal(form);
}

void Form1::mnuPassword_Click() {
    FrmPassword form(s_);
    s_.runtime.showModal(form);
    showEncryption();
}

void Form1::mnuExit_Click() {
    ch::mnuExit_Click(s_.runtime);
}

void Form1::mnuContets_Click() {
    ch::mnuContets_Click(s_);
}

void Form1::mnuHomepage_Click() {
    ch::mnuHomepage_Click(s_);
}

void Form1::mnuEmail_Click() {
    ch::mnuEmail_Click(s_);
}

void Form1::mnuAbout_Click() {
    ch::mnuAbout_Click(about_, s_);
}

} // namespace ch
