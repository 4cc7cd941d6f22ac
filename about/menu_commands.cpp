#include "about/menu_commands.h"

#include "platform/runtime_error.h"

namespace ch {

const char* const kHomepageUrl = "https://chathoard.example.org/";
const char* const kEmailLink = "mailto:author@chathoard.example.org";

namespace {

constexpr int kShellFileNotFound = 2;

ShellOutcome openWithShell(const Services& s, const std::string& file) {
    return s.shell.open(s.runtime.form1Handle(), file);
}

} // namespace

void mnuExit_Click(FormsRuntime& runtime) {
    runtime.endProgram();
}

void mnuContets_Click(const Services& s) {
    try {
        // Other unsuccessful results (no viewer registered …) are the shell's to report.
        const ShellOutcome outcome = openWithShell(s, s.App.Path + "\\chathoard.chm");
        if (outcome.opened || outcome.reason != kShellFileNotFound)
            return;
    } catch (const RuntimeError&) {
    }
    s.dialogs.msgBox("No CHATHOARD.CHM file found", vbExclamation, "File not Found");
}

// The browser or mail program reports its own problems; an unusable shell reaches the event
// dispatcher, which keeps the program running.
void mnuHomepage_Click(const Services& s) {
    openWithShell(s, kHomepageUrl);
}

void mnuEmail_Click(const Services& s) {
    openWithShell(s, kEmailLink);
}

void mnuAbout_Click(std::unique_ptr<FrmAbout>& about, const Services& s) {
    if (!about)
        about = std::make_unique<FrmAbout>(s);
    s.runtime.showModal(*about);
}

} // namespace ch
