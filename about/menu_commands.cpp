#include "about/menu_commands.h"

#include "platform/runtime_error.h"

namespace ch {

const char* const kHomepageUrl = "https://chathoard.example.org/";
const char* const kEmailLink = "mailto:author@chathoard.example.org";

namespace {

constexpr int kShowNormal = 1;
constexpr intptr_t kShellFileNotFound = 2;

intptr_t openWithShell(FormsRuntime& runtime, Shell& shell, const std::string& file) {
    return shell.shellExecute(runtime.form1Handle(), "Open", file, "", "", kShowNormal);
}

} // namespace

void mnuExit_Click(FormsRuntime& runtime) {
    runtime.endProgram();
}

void mnuContets_Click(FormsRuntime& runtime, const AppObject& App, Shell& shell, Dialogs& dialogs) {
    try {
        // Other unsuccessful results (no viewer registered …) are the shell's to report.
        if (openWithShell(runtime, shell, App.Path + "\\chathoard.chm") != kShellFileNotFound)
            return;
    } catch (const RuntimeError&) {
    }
    dialogs.msgBox("No CHATHOARD.CHM file found", vbExclamation, "File not Found");
}

// The browser or mail program reports its own problems; an unusable shell reaches the event
// dispatcher, which keeps the program running.
void mnuHomepage_Click(FormsRuntime& runtime, Shell& shell) {
    openWithShell(runtime, shell, kHomepageUrl);
}

void mnuEmail_Click(FormsRuntime& runtime, Shell& shell) {
    openWithShell(runtime, shell, kEmailLink);
}

void mnuAbout_Click(FormsRuntime& runtime, std::unique_ptr<FrmAbout>& about, FileSystem& fs,
                    Registry& registry, Processes& processes, Dialogs& dialogs,
                    const AppObject& App) {
    if (!about)
        about = std::make_unique<FrmAbout>(fs, registry, processes, dialogs, App);
    runtime.showModal(*about);
}

} // namespace ch
