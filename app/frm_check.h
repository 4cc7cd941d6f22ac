#pragma once
// File > Check a backup...: the check /verify makes, with the comparison against the messenger
// folder chosen in the window, reported in a small window whose text can be scrolled and
// copied. The Win32 layer renders it from frmCheckDesign().
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "backup/verify.h"
#include "platform/controls.h"
#include "platform/form_design.h"
#include "platform/forms_runtime.h"
#include "platform/services.h"
#include "platform/work_progress.h"

namespace ch {

const FormDesign& frmCheckDesign();

// The icon beside the verdict, as a message box would show it.
enum class CheckIcon { Information, Warning, Error };

// What the window shows of a check.
struct CheckReport {
    std::string verdict; // the verdict, shown first
    CheckIcon icon = CheckIcon::Information;
    std::vector<std::string> problems; // the lines that say what is wrong, shown under it
    std::string text;                  // what was checked, then every line and the verdict
    // Encrypted entries were not read: no password was given, or the one given is wrong.
    CheckedBackup::PasswordTrouble passwordTrouble = CheckedBackup::PasswordTrouble::None;
};

class FrmCheck : public ModalForm {
  public:
    // Loaded state, as the About box's: the window exists while it is loaded.
    bool loaded = false;
    std::string Caption;
    CheckIcon icon = CheckIcon::Information;
    Label lblVerdict;
    Label lblProblems; // empty when nothing is wrong
    TextBox txtReport; // read-only in the window; one line per file, then the verdict

    void show(const CheckReport& report);

    bool isLoaded() const override { return loaded; }
    void load() override { loaded = true; } // the report is filled in before it is shown
    void unload() { loaded = false; }
    void cmdClose_Click() { unload(); }
};

// The report the window shows: /verify's verdict and lines. Compares with messengerFolder's
// database when there is one. Nothing when the check was cancelled: then cancelledText says
// so. Encrypted entries are read with password (empty for none).
std::optional<CheckReport>
checkReport(FileSystem& fs, const CodePage& codePage, const std::string& backup,
            const std::optional<std::string>& messengerFolder, const WorkControl& control = {},
            std::string* cancelledText = nullptr, const std::string& password = {});

// Picks the backup with the open dialog (starting in the backup folder Dir2), checks it,
// comparing with Dir1's database when Label1 says it was found, and shows the report in the
// one check window of the run.
void mnuCheck_Click(const Label& Label1, const FolderList& Dir1, const FolderList& Dir2,
                    const Services& s, std::unique_ptr<FrmCheck>& window);

} // namespace ch
