#pragma once
// The main window as a portable object: its controls' models in stored order, the event
// wiring, and the handlers. The Win32 layer renders it from form1Design() and turns user
// actions into calls on it.
#include <memory>

#include "about/frm_about.h"
#include "backup/backup_common.h"
#include "platform/backup_lock.h"
#include "platform/controls.h"
#include "platform/file_picker.h"
#include "platform/form_design.h"
#include "platform/forms_runtime.h"
#include "platform/services.h"

namespace ch {

const FormDesign& form1Design();

struct Services {
    FileSystem& fs;
    Dialogs& dialogs;
    Shell& shell;
    Registry& registry;
    Processes& processes;
    Archiver& archiver;
    FormsRuntime& runtime;
    AppObject& App;
    BackupLock& backupLock;
    FilePicker& filePicker;
};

class Form1 {
  public:
    explicit Form1(Services& services);

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

    void Form_Load();
    BackupOutcome Command1_Click();
    BackupOutcome Command2_Click();
    void Dir1_Change();
    void Drive1_Change();
    void Drive2_Change();
    void mnuRestore_Click();
    void mnuExit_Click();
    void mnuContets_Click();
    void mnuHomepage_Click();
    void mnuEmail_Click();
    void mnuAbout_Click();

  private:
    BackupSources sources() const { return {Label1, File1, Dir1, Dir2}; }
    Services& s_;
    std::unique_ptr<FrmAbout> about_;
};

} // namespace ch
