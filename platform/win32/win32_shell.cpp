#include "platform/win32/win32_shell.h"

#include <windows.h>

namespace ch {

ShellOutcome Win32Shell::open(uintptr_t ownerWindow, const std::string& fileOrLink) {
    using ShellExecuteAFn = HINSTANCE(WINAPI*)(HWND, LPCSTR, LPCSTR, LPCSTR, LPCSTR, INT);
    auto shellExecuteA = shell32_.bind<ShellExecuteAFn>("ShellExecuteA");
    // No parameters and no folder are passed as empty strings, not as null pointers.
    const auto result = reinterpret_cast<intptr_t>(shellExecuteA(
        reinterpret_cast<HWND>(ownerWindow), "Open", fileOrLink.c_str(), "", "", SW_SHOWNORMAL));
    // Above 32 is success; the numbers up to 32 are the reasons.
    if (result > 32)
        return {};
    return {false, static_cast<int>(result)};
}

} // namespace ch
