#include "app/frm_check.h"

#include "app/backup_window.h"
#include "app/frm_password.h"

#include "app/check_messages.h"
#include "app/restore_messages.h"
#include "app/selection_handlers.h"
#include "backup/backup_common.h"
#include "backup/database_detection.h"
#include "backup/verify.h"
#include "platform/ansi_path.h"

namespace ch {
namespace {

// The verdict comes first, beside its icon, and what is wrong under it in dark red, so that
// neither scrolls out of sight however many files the backup holds.
FormDesign makeDesign() {
    FormDesign d;
    d.name = "frmCheck";
    d.caption = "Check a backup";
    d.clientWidth = 8400;
    d.clientHeight = 6060;
    d.border = BorderStyle::FixedDialog;
    d.showInTaskbar = false;

    const FontSpec bold{"", 0, 700};
    d.controls.push_back(
        designRow("picVerdict", ControlKind::Picture, "", "", 120, 120, 480, 480, -1));
    d.controls.push_back(
        designRow("lblVerdict", ControlKind::Label, "", "", 780, 120, 7500, 780, -1, bold));
    ControlDesign problems =
        designRow("lblProblems", ControlKind::Label, "", "", 780, 960, 7500, 1320, -1, bold);
    problems.foreColor = 0x0000B0; // dark red
    d.controls.push_back(problems);
    ControlDesign report =
        designRow("txtReport", ControlKind::TextBox, "", "", 120, 2400, 8160, 3060, 1);
    report.multiLine = true;
    report.locked = true;
    d.controls.push_back(report);
    // Close has the focus first, so Enter and Esc close at once; Tab leads into the report.
    ControlDesign close =
        designRow("cmdClose", ControlKind::Button, "", "Close", 7020, 5580, 1260, 375, 0);
    close.isDefault = true;
    close.isCancel = true;
    d.controls.push_back(close);
    return d;
}

// The problems label holds six lines, two problems of three lines each; more are counted,
// and the report has them all.
constexpr size_t kProblemsShown = 2;

} // namespace

const FormDesign& frmCheckDesign() {
    static const FormDesign design = makeDesign();
    return design;
}

void FrmCheck::show(const CheckReport& report) {
    icon = report.icon;
    lblVerdict.setCaption(report.verdict);
    std::string problems;
    for (size_t i = 0; i < report.problems.size() && i < kProblemsShown; ++i)
        problems += (i ? "\r\n" : "") + report.problems[i];
    if (report.problems.size() > kProblemsShown) {
        const size_t more = report.problems.size() - (kProblemsShown - 1);
        problems = problems.substr(0, problems.rfind("\r\n")) + "\r\n... and " +
                   std::to_string(more) + " more: see the report below.";
    }
    lblProblems.setCaption(problems);
    txtReport.setText(report.text);
}

std::optional<CheckReport> checkReport(FileSystem& fs, const CodePage& codePage,
                                       const std::string& backup,
                                       const std::optional<std::string>& messengerFolder,
                                       const WorkControl& control, std::string* cancelledText,
                                       const std::string& password) {
    const VerifyReport verified =
        verifyBackup(fs, codePage, backup, messengerFolder, control, password);
    if (verified.cancelled) {
        if (cancelledText)
            *cancelledText = verified.lines.empty() ? std::string() : verified.lines.front();
        return std::nullopt;
    }
    CheckReport report;
    report.verdict = verified.lines.empty() ? std::string() : verified.lines.back();
    report.icon = verified.intact    ? CheckIcon::Information
                  : verified.damaged ? CheckIcon::Error
                                     : CheckIcon::Warning;
    report.problems = verified.problems;
    report.passwordTrouble = verified.passwordTrouble;
    report.text = "Checking the backup " + backup +
                  (messengerFolder ? " against the database in " + databaseFolder(*messengerFolder)
                                   : " (no ICQ folder is chosen, so it is not compared "
                                     "with a database)") +
                  "\r\n\r\n";
    for (const std::string& line : verified.lines)
        report.text += line + "\r\n";
    return report;
}

void mnuCheck_Click(const Label& Label1, const FolderList& Dir1, const FolderList& Dir2,
                    const Services& s, std::unique_ptr<FrmCheck>& window) {
    const auto picked = s.filePicker.openFile(
        "Choose the backup to check: chathoard.zip, or a database file in a folder of copies",
        "Backups (*.zip, *.dat, *.idx)|*.zip;*.dat;*.idx|All files (*.*)|*.*", Dir2.Path());
    if (!picked)
        return;
    const std::string backup = backupToCheck(s.fs, s.codePage, *picked);
    const std::optional<std::string> messenger =
        Label1.Caption() == kFoundCaption ? std::optional<std::string>(Dir1.Path()) : std::nullopt;
    if (!window)
        window = std::make_unique<FrmCheck>();
    window->Caption = frmCheckDesign().caption;
    std::optional<CheckReport> report;
    std::string cancelled;
    std::string password = windowPassword(s);
    for (int attempt = 0;; ++attempt) {
        s.work.run(frmCheckDesign().caption, [&](const WorkControl& control) {
            report =
                checkReport(s.fs, s.codePage, backup, messenger, control, &cancelled, password);
        });
        if (s.work.closing())
            return;
        // The stored password missing or wrong: the user may type the right one, tried once.
        if (attempt > 0 || !report ||
            report->passwordTrouble == CheckedBackup::PasswordTrouble::None)
            break;
        const auto typed = askBackupPassword(
            s, backup, report->passwordTrouble == CheckedBackup::PasswordTrouble::Wrong);
        if (!typed)
            break;
        password = *typed;
    }
    if (!report) {
        s.dialogs.msgBox(cancelled, vbInformation, frmCheckDesign().caption);
        return;
    }
    window->show(*report);
    s.runtime.showModal(*window);
}

} // namespace ch
