#include "platform/win32/win32_dialogs.h"

#include <windows.h>

namespace ch {

Win32Dialogs::Win32Dialogs(std::string appTitle, std::function<uintptr_t()> ownerWindow)
    : appTitle_(std::move(appTitle)), ownerWindow_(std::move(ownerWindow)) {}

int Win32Dialogs::msgBox(const std::string& prompt, int style,
                         const std::optional<std::string>& title) {
    HWND owner = ownerWindow_ ? reinterpret_cast<HWND>(ownerWindow_()) : GetActiveWindow();
    UINT flags = static_cast<UINT>(style);
    // Without an owner (before the main window shows) the box still blocks this thread's
    // windows and comes to the front.
    if (!owner)
        flags |= MB_TASKMODAL | MB_SETFOREGROUND;
    return MessageBoxA(owner, prompt.c_str(), title.value_or(appTitle_).c_str(), flags);
}

} // namespace ch
