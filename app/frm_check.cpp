#include "app/frm_check.h"

#include "app/backup_window.h"

#include "backup/backup_common.h"
#include "backup/verify.h"
#include "platform/ansi_path.h"
#include "selection/folder_detection.h"

namespace ch {
namespace {

FormDesign makeDesign() {
    FormDesign d;
    d.name = "frmCheck";
    d.caption = "Check a backup";
    d.clientWidth = 8400;
    d.clientHeight = 4680;
    d.border = BorderStyle::FixedDialog;
    d.showInTaskbar = false;

    ControlDesign report =
        designRow("txtReport", ControlKind::TextBox, "", "", 120, 120, 8160, 3840, 1);
    report.multiLine = true;
    report.locked = true;
    d.controls.push_back(report);
    // Close has the focus first, so Enter and Esc close at once; Tab leads into the report.
    ControlDesign close =
        designRow("cmdClose", ControlKind::Button, "", "Close", 7020, 4140, 1260, 375, 0);
    close.isDefault = true;
    close.isCancel = true;
    d.controls.push_back(close);
    return d;
}

} // namespace

const FormDesign& frmCheckDesign() {
    static const FormDesign design = makeDesign();
    return design;
}

std::string checkReport(FileSystem& fs, const std::string& backup,
                        const std::optional<std::string>& messengerFolder,
                        const WorkControl& control, std::string* cancelledText,
                        const std::string& password) {
    const VerifyReport verified = verifyBackup(fs, backup, messengerFolder, control, password);
    if (verified.cancelled) {
        if (cancelledText)
            *cancelledText = verified.lines.empty() ? std::string() : verified.lines.front();
        return {};
    }
    std::string text =
        "Checking the backup " + backup +
        (messengerFolder ? " against the database in " + databaseFolder(*messengerFolder)
                         : " (no ICQ folder is chosen, so it is not compared "
                           "with a database)") +
        "\r\n\r\n";
    for (const std::string& line : verified.lines)
        text += line + "\r\n";
    return text;
}

void mnuCheck_Click(const Label& Label1, const FolderList& Dir1, const FolderList& Dir2,
                    const Services& s, std::unique_ptr<FrmCheck>& window) {
    const auto picked = s.filePicker.openFile(
        "Choose the backup to check: chathoard.zip, or a database file in a folder of copies",
        "Backups (*.zip, *.dat, *.idx)|*.zip;*.dat;*.idx|All files (*.*)|*.*", Dir2.Path());
    if (!picked)
        return;
    const std::string backup = backupOfPicked(s.fs, *picked);
    const std::optional<std::string> messenger =
        Label1.Caption() == kFoundCaption ? std::optional<std::string>(Dir1.Path()) : std::nullopt;
    if (!window)
        window = std::make_unique<FrmCheck>();
    window->Caption = frmCheckDesign().caption;
    std::string report, cancelled;
    s.work.run(frmCheckDesign().caption, [&](const WorkControl& control) {
        report = checkReport(s.fs, backup, messenger, control, &cancelled, windowPassword(s));
    });
    if (s.work.closing())
        return;
    if (report.empty()) {
        s.dialogs.msgBox(cancelled, vbInformation, frmCheckDesign().caption);
        return;
    }
    window->txtReport.setText(report);
    s.runtime.showModal(*window);
}

} // namespace ch
