#pragma once
// The windowing services the handlers ask for: the modal About box, the end of the program
// and the main window's handle.
#include <windows.h>

#include <functional>

#include "platform/forms_runtime.h"
#include "platform/services.h"

namespace ch::gui {

class Win32FormsRuntime : public FormsRuntime {
  public:
    // endProcess ends the program at once; by default the process exits with code 0.
    explicit Win32FormsRuntime(Dialogs& dialogs, std::function<void()> endProcess = {});
    void setMainWindow(HWND mainWindow) { mainWindow_ = mainWindow; }
    void showAboutModal(FrmAbout& about) override;
    void endProgram() override;
    uintptr_t form1Handle() override { return reinterpret_cast<uintptr_t>(mainWindow_); }

  private:
    Dialogs& dialogs_;
    std::function<void()> endProcess_;
    HWND mainWindow_ = nullptr;
};

} // namespace ch::gui
