#include "app/frm_password.h"

#include <algorithm>

#include "platform/runtime_error.h"

namespace ch {

namespace {

// What was typed is overwritten before the box lets go of it.
void wipe(TextBox& box) {
    std::string text = box.Text();
    std::fill(text.begin(), text.end(), '\0');
    box.setText(text);
    box.setText({});
}

} // namespace

void FrmPassword::load() {
    loaded = true;
    Caption = frmPasswordDesign().caption;
    txtPassword.setText({});
    txtConfirm.setText({});
    removeEnabled = s_.passwords && s_.passwords->stored();
    status = removeEnabled
                 ? "A password is stored: every ZIP Backup is encrypted with it. Type a new one "
                   "twice to change it, or remove it."
                 : "No password is stored: ZIP Backups are not encrypted. Type one twice to "
                   "encrypt every ZIP Backup from now on.";
}

void FrmPassword::unload() {
    wipe(txtPassword);
    wipe(txtConfirm);
    loaded = false;
}

void FrmPassword::cmdOK_Click() {
    const std::string& title = frmPasswordDesign().caption;
    const auto refuse = [&](const std::string& text) {
        s_.dialogs.msgBox(text + "\r\n\r\nNothing was stored.", vbExclamation, title);
    };
    if (!s_.passwords)
        return refuse("Passwords cannot be stored on this computer.");
    if (txtPassword.Text().empty() && txtConfirm.Text().empty())
        return refuse(removeEnabled ? "Type the new password in both boxes. To stop "
                                      "encrypting ZIP Backups, press Remove."
                                    : "Type the password in both boxes.");
    if (txtPassword.Text() != txtConfirm.Text()) {
        refuse("The two passwords you typed differ: type the same password in both boxes.");
        wipe(txtConfirm);
        return;
    }
    try {
        s_.passwords->save(txtPassword.Text());
    } catch (const RuntimeError& e) {
        return refuse("The password could not be stored: " + e.description());
    }
    unload();
    s_.dialogs.msgBox("The password is stored for your Windows user alone. Every ZIP Backup is "
                      "encrypted with it from now on; Normal Backups stay plain copies.",
                      vbInformation, title);
}

void FrmPassword::cmdRemove_Click() {
    const std::string& title = frmPasswordDesign().caption;
    if (!s_.passwords || !s_.passwords->stored())
        return;
    if (s_.dialogs.msgBox("Remove the stored password? ZIP Backups made from now on are not "
                          "encrypted. Backups encrypted so far still need the password to be "
                          "checked or restored.",
                          vbOKCancel | vbQuestion | vbDefaultButton2, title) != vbOK)
        return;
    try {
        s_.passwords->remove();
    } catch (const RuntimeError& e) {
        s_.dialogs.msgBox("The password could not be removed: " + e.description(), vbExclamation,
                          title);
        return;
    }
    unload();
}

void FrmAskPassword::load() {
    loaded = true;
    accepted = false;
    Caption = frmAskPasswordDesign().caption;
    txtPassword.setText({});
}

void FrmAskPassword::cmdOK_Click() {
    if (txtPassword.Text().empty()) {
        dialogs_.msgBox("Type the password the backup was made with.", vbExclamation,
                        frmAskPasswordDesign().caption);
        return;
    }
    accepted = true;
    loaded = false;
}

std::optional<std::string> askBackupPassword(const Services& s, const std::string& backup,
                                             bool wrong) {
    FrmAskPassword form(s.dialogs);
    form.load();
    form.prompt =
        backup + " is encrypted" +
        (wrong ? ", and the stored password does not open it." : ", and no password is stored.") +
        " Type the password it was made with.";
    s.runtime.showModal(form);
    std::optional<std::string> typed;
    if (form.accepted)
        typed = form.txtPassword.Text();
    wipe(form.txtPassword);
    return typed;
}

} // namespace ch
