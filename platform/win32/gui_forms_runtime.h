#pragma once
// The windowing services the handlers ask for: modal forms, the end of the program and the
// main window's handle. Each kind of modal form has its window added by the program.
#include <windows.h>

#include <functional>
#include <map>
#include <typeindex>
#include <typeinfo>

#include "platform/forms_runtime.h"

namespace ch::gui {

class Win32FormsRuntime : public FormsRuntime {
  public:
    // endProcess ends the program at once; by default the process exits with code 0.
    explicit Win32FormsRuntime(std::function<void()> endProcess = {});
    void setMainWindow(HWND mainWindow) { mainWindow_ = mainWindow; }

    // How a form of type Form is shown: runWindow(form, owner) shows its window over owner
    // and returns once the form has unloaded.
    template <class Form> void addModalWindow(std::function<void(Form&, HWND owner)> runWindow) {
        windows_[std::type_index(typeid(Form))] = [runWindow](ModalForm& form, HWND owner) {
            runWindow(static_cast<Form&>(form), owner); // the key is form's own type
        };
    }

    void showModal(ModalForm& form) override;
    void endProgram() override;
    uintptr_t form1Handle() override { return reinterpret_cast<uintptr_t>(mainWindow_); }

  private:
    std::function<void()> endProcess_;
    HWND mainWindow_ = nullptr;
    std::map<std::type_index, std::function<void(ModalForm&, HWND)>> windows_;
};

} // namespace ch::gui
