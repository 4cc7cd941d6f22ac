// The schedule window's design: its controls, their captions and places, and the items of
// its lists.
#include "app/frm_schedule.h"

namespace ch {

const char* const kScheduleKinds[2] = {"ZIP Backup (chathoard.zip)",
                                       "Normal Backup (plain copies)"};
const char* const kScheduleWhens[3] = {"Every day", "On the days ticked below", "When I log on"};
const DayBox kDayBoxes[7] = {{"chkMon", kMonday},   {"chkTue", kTuesday}, {"chkWed", kWednesday},
                             {"chkThu", kThursday}, {"chkFri", kFriday},  {"chkSat", kSaturday},
                             {"chkSun", kSunday}};

namespace {

FormDesign makeDesign() {
    FormDesign d;
    d.name = "frmSchedule";
    d.caption = "Schedule backups";
    d.clientWidth = 7920;
    d.clientHeight = 6300;
    d.border = BorderStyle::FixedDialog;
    d.showInTaskbar = false;
    auto& c = d.controls;
    int tab = 0;
    const auto row = [&](const char* label, const char* name, ControlKind kind, int top,
                         int width) {
        c.push_back(designRow(("lbl" + std::string(name + 3)).c_str(), ControlKind::Label, "",
                              label, 120, top + 45, 2220, 285, tab++));
        c.push_back(designRow(name, kind, "", "", 2400, top, width, 315, tab++));
    };
    row("Back &up as:", "cboKind", ControlKind::ComboBox, 120, 3000);
    row("&From (ICQ folder):", "txtFrom", ControlKind::TextBox, 540, 5400);
    row("&To (a folder or \\\\server\\share):", "txtTo", ControlKind::TextBox, 960, 4080);
    c.push_back(
        designRow("cmdBrowse", ControlKind::Button, "", "B&rowse...", 6600, 945, 1200, 345, tab++));
    row("W&hen:", "cboWhen", ControlKind::ComboBox, 1380, 3000);
    c.push_back(designRow("lblTime", ControlKind::Label, "", "&at", 5520, 1425, 360, 285, tab++));
    c.push_back(designRow("txtTime", ControlKind::TextBox, "", "", 5940, 1380, 840, 315, tab++));
    const char* dayNames[7] = {"Mo&n", "Tu&e", "&Wed", "Th&u", "F&ri", "S&at", "Su&n"};
    for (int i = 0; i < 7; ++i)
        c.push_back(designRow(kDayBoxes[i].name, ControlKind::CheckBox, "", dayNames[i],
                              2400 + i * 780, 1800, 760, 285, tab++));
    row("&Keep:", "txtKeep", ControlKind::TextBox, 2220, 720);
    c.push_back(designRow("lblKeepHint", ControlKind::Label, "",
                          "backups (1: one, replaced each time; or 2 to 999)", 3240, 2265, 4560,
                          285, -1));
    row("Wait for ICQ to &close:", "txtWait", ControlKind::TextBox, 2640, 720);
    c.push_back(designRow("lblWaitHint", ControlKind::Label, "",
                          "minutes (0: do not wait; up to 1440)", 3240, 2685, 4560, 285, -1));
    // Offered once a password for encrypted backups is stored; disabled until then.
    c.push_back(designRow("chkEncrypted", ControlKind::CheckBox, "", "Encr&ypted", 2400, 3060, 3000,
                          285, tab++));
    c.push_back(designRow("lblStatus", ControlKind::Label, "", "", 120, 3480, 7680, 480, -1));
    c.push_back(designRow("lblLastRun", ControlKind::Label, "", "", 120, 4020, 6120, 720, -1));
    c.push_back(designRow("cmdLog", ControlKind::Button, "", "Open the &log", 6360, 4020, 1440, 375,
                          tab++));
    ControlDesign command =
        designRow("txtCommand", ControlKind::TextBox, "", "", 120, 4860, 6360, 315, tab++);
    command.locked = true;
    command.visible = false;
    c.push_back(command);
    ControlDesign copy =
        designRow("cmdCopy", ControlKind::Button, "", "Co&py", 6600, 4830, 1200, 375, tab++);
    copy.visible = false;
    c.push_back(copy);
    c.push_back(
        designRow("cmdRemove", ControlKind::Button, "", "Re&move", 120, 5760, 1440, 375, tab++));
    ControlDesign ok =
        designRow("cmdOK", ControlKind::Button, "", "OK", 5160, 5760, 1260, 375, tab++);
    ok.isDefault = true;
    c.push_back(ok);
    ControlDesign cancel =
        designRow("cmdCancel", ControlKind::Button, "", "Cancel", 6540, 5760, 1260, 375, tab++);
    cancel.isCancel = true;
    c.push_back(cancel);
    return d;
}

} // namespace

const FormDesign& frmScheduleDesign() {
    static const FormDesign design = makeDesign();
    return design;
}

} // namespace ch
