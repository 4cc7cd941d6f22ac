#pragma once
// The main window as a portable object: its controls' models in stored order, the event
// wiring, and the handlers. The Win32 layer renders it from form1Design() and turns user
// actions into calls on it.
#include <memory>

#include "about/frm_about.h"
#include "app/frm_check.h"
#include "app/frm_password.h"
#include "app/frm_schedule.h"
#include "backup/backup_job.h"
#include "platform/backup_lock.h"
#include "platform/controls.h"
#include "platform/file_picker.h"
#include "platform/form_design.h"
#include "platform/forms_runtime.h"
#include "platform/services.h"

namespace ch {

const FormDesign& form1Design();

class Form1 {
  public:
    explicit Form1(const Services& services);

    // Creates the controls' state on the process's current folder (no events), wires the
    // events, then runs Form_Load.
    void load(const std::string& currentFolder);

    TextBox Text1;
    FileList File1;
    FolderList Dir2;
    DriveList Drive2;
    FolderList Dir1;
    DriveList Drive1;
    Label Label1;
    // Under the backup folder: says that ZIP Backups are encrypted while a password is stored.
    Label lblEncrypted;
    // The staging drive of the ZIP Backups, as Form_Load reads it from defaultdrive.ini.
    std::string DefaultDrive;

    void Form_Load();
    BackupOutcome Command1_Click();
    BackupOutcome Command2_Click();
    void Dir1_Change();
    void Drive1_Change();
    void Drive2_Change();
    void mnuCheck_Click();
    void mnuRestore_Click();
    void mnuSchedule_Click();
    void mnuPassword_Click();
    void mnuExit_Click();
    void mnuContets_Click();
    void mnuHomepage_Click();
    void mnuEmail_Click();
    void mnuAbout_Click();

    // The system's task scheduler, for File > Schedule backups...; none: the item does nothing.
    Scheduler* scheduler = nullptr;
    // Whether a password for encrypted backups is stored; by default, whether the password
    // store holds one.
    std::function<bool()> passwordStored;

  private:
    // Connects the lists' Change events to their handlers.
    void wireEvents();
    // lblEncrypted as the stored password stands.
    void showEncryption();
    // A backup of the database the window shows into Dir2, its box shown.
    BackupOutcome backUp(BackupKind kind);

    Services s_;
    std::unique_ptr<FrmAbout> about_;
    std::unique_ptr<FrmCheck> check_;
};

} // namespace ch
