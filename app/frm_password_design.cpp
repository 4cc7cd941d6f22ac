#include "app/frm_password.h"

namespace ch {

const char* const kEncryptedCaption = "ZIP Backups are encrypted";

namespace {

constexpr const char* kWarning =
    "A forgotten password cannot be recovered: without it nobody, not even you, can open the "
    "encrypted backups. Keep it somewhere safe.";

// Two masked boxes under the warning; OK is the default, Cancel answers Esc, and Remove stands
// apart on the left.
FormDesign makeDesign() {
    FormDesign d;
    d.name = "frmPassword";
    d.caption = "ZIP Backup password";
    d.clientWidth = 6240;
    d.clientHeight = 3540;
    d.border = BorderStyle::FixedDialog;
    d.showInTaskbar = false;
    auto& c = d.controls;
    int tab = 0;
    c.push_back(designRow("lblStatus", ControlKind::Label, "", "", 120, 120, 6000, 480, -1));
    ControlDesign warning = designRow("lblWarning", ControlKind::Label, "", kWarning, 120, 660,
                                      6000, 720, -1, FontSpec{"", 0, 700});
    warning.foreColor = 0x0000B0; // dark red
    c.push_back(warning);
    const auto row = [&](const char* label, const char* name, int top) {
        c.push_back(designRow(("lbl" + std::string(name + 3)).c_str(), ControlKind::Label, "",
                              label, 120, top + 45, 2280, 285, tab++));
        ControlDesign box =
            designRow(name, ControlKind::TextBox, "", "", 2460, top, 3660, 315, tab++);
        box.password = true;
        c.push_back(box);
    };
    row("New &password:", "txtPassword", 1500);
    row("&Type it again:", "txtConfirm", 1920);
    c.push_back(designRow("lblPlain", ControlKind::Label, "", "Normal Backups stay plain copies.",
                          120, 2400, 6000, 285, -1));
    c.push_back(
        designRow("cmdRemove", ControlKind::Button, "", "&Remove", 120, 3000, 1260, 375, tab++));
    ControlDesign ok =
        designRow("cmdOK", ControlKind::Button, "", "OK", 3480, 3000, 1260, 375, tab++);
    ok.isDefault = true;
    c.push_back(ok);
    ControlDesign cancel =
        designRow("cmdCancel", ControlKind::Button, "", "Cancel", 4860, 3000, 1260, 375, tab++);
    cancel.isCancel = true;
    c.push_back(cancel);
    return d;
}

FormDesign makeAskDesign() {
    FormDesign d;
    d.name = "frmAskPassword";
    d.caption = "Password of the backup";
    d.clientWidth = 6240;
    d.clientHeight = 2100;
    d.border = BorderStyle::FixedDialog;
    d.showInTaskbar = false;
    auto& c = d.controls;
    c.push_back(designRow("lblPrompt", ControlKind::Label, "", "", 120, 120, 6000, 900, -1));
    c.push_back(
        designRow("lblPassword", ControlKind::Label, "", "&Password:", 120, 1125, 1320, 285, 0));
    ControlDesign box =
        designRow("txtPassword", ControlKind::TextBox, "", "", 1500, 1080, 4620, 315, 1);
    box.password = true;
    c.push_back(box);
    ControlDesign ok = designRow("cmdOK", ControlKind::Button, "", "OK", 3480, 1620, 1260, 375, 2);
    ok.isDefault = true;
    c.push_back(ok);
    ControlDesign cancel =
        designRow("cmdCancel", ControlKind::Button, "", "Cancel", 4860, 1620, 1260, 375, 3);
    cancel.isCancel = true;
    c.push_back(cancel);
    return d;
}

} // namespace

const FormDesign& frmPasswordDesign() {
    static const FormDesign design = makeDesign();
    return design;
}

const FormDesign& frmAskPasswordDesign() {
    static const FormDesign design = makeAskDesign();
    return design;
}

} // namespace ch
