#include "platform/win32/gui_forms_runtime.h"

#include <stdexcept>

namespace ch::gui {

Win32FormsRuntime::Win32FormsRuntime(std::function<void()> endProcess)
    : endProcess_(std::move(endProcess)) {
    if (!endProcess_)
        endProcess_ = [] { ExitProcess(0); };
}

void Win32FormsRuntime::showModal(ModalForm& form) {
    const auto window = windows_.find(std::type_index(typeid(form)));
    if (window == windows_.end())
        throw std::logic_error("this form has no window");
    if (!form.isLoaded())
        form.load(); // its Form_Load runs before the form is seen
    window->second(form, mainWindow_);
}

void Win32FormsRuntime::endProgram() {
    endProcess_();
}

} // namespace ch::gui
