#include "platform/win32/gui_forms_runtime.h"

#include "about/frm_about.h"
#include "platform/win32/gui_about_window.h"

namespace ch::gui {

Win32FormsRuntime::Win32FormsRuntime(Dialogs& dialogs, std::function<void()> endProcess)
    : dialogs_(dialogs), endProcess_(std::move(endProcess)) {
    if (!endProcess_)
        endProcess_ = [] { ExitProcess(0); };
}

void Win32FormsRuntime::showAboutModal(FrmAbout& about) {
    if (!about.loaded)
        about.load(); // its Form_Load runs before the box is seen
    AboutWindow window(about, dialogs_);
    window.runModal(mainWindow_);
}

void Win32FormsRuntime::endProgram() {
    endProcess_();
}

} // namespace ch::gui
