#pragma once
// File > Backup password...: sets, changes or removes the password of ZIP Backups, kept for
// this Windows user alone. And the small window that asks for the password of an encrypted
// backup when the stored one is missing or wrong. The Win32 layer renders them from their
// designs and copies the text boxes to the fields below before a button's handler runs.
#include <optional>
#include <string>

#include "platform/controls.h"
#include "platform/form_design.h"
#include "platform/forms_runtime.h"
#include "platform/services.h"

namespace ch {

const FormDesign& frmPasswordDesign();
const FormDesign& frmAskPasswordDesign();

// The main window's line under the backup folder while a password is stored.
extern const char* const kEncryptedCaption;

class FrmPassword : public ModalForm {
  public:
    explicit FrmPassword(const Services& s) : s_(s) {}

    bool loaded = false;
    std::string Caption;
    std::string status;  // whether a password is stored now
    TextBox txtPassword; // masked in the window
    TextBox txtConfirm;  // masked; must agree with txtPassword
    bool removeEnabled = false;

    bool isLoaded() const override { return loaded; }
    // Reads whether a password is stored; both boxes start empty.
    void load() override;
    void unload();
    // Stores the password typed twice; a mismatch or an empty one is refused with a box and
    // nothing is stored.
    void cmdOK_Click();
    // Removes the stored password, after asking.
    void cmdRemove_Click();
    void cmdCancel_Click() { unload(); }

  private:
    const Services& s_;
};

class FrmAskPassword : public ModalForm {
  public:
    explicit FrmAskPassword(Dialogs& dialogs) : dialogs_(dialogs) {}

    bool loaded = false;
    std::string Caption;
    std::string prompt;  // which backup, and why the password is asked for
    TextBox txtPassword; // masked in the window
    bool accepted = false;

    bool isLoaded() const override { return loaded; }
    void load() override;
    void unload() { loaded = false; }
    void cmdOK_Click();
    void cmdCancel_Click() { unload(); }

  private:
    Dialogs& dialogs_;
};

// Asks for the password of the encrypted backup; wrong says that the one tried did not open
// it. nullopt when the user cancels.
std::optional<std::string> askBackupPassword(const Services& s, const std::string& backup,
                                             bool wrong);

} // namespace ch
