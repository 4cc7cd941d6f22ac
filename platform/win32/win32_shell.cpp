#include "platform/win32/win32_shell.h"

#include <windows.h>

namespace ch {

intptr_t Win32Shell::shellExecute(uintptr_t ownerWindow, const std::string& verb,
                                  const std::string& file, const std::string& parameters,
                                  const std::string& directory, int showCommand) {
    using ShellExecuteAFn = HINSTANCE(WINAPI*)(HWND, LPCSTR, LPCSTR, LPCSTR, LPCSTR, INT);
    auto shellExecuteA = shell32_.bind<ShellExecuteAFn>("ShellExecuteA");
    // Empty parameters and folder are passed as empty strings, not as null pointers.
    HINSTANCE result =
        shellExecuteA(reinterpret_cast<HWND>(ownerWindow), verb.c_str(), file.c_str(),
                      parameters.c_str(), directory.c_str(), showCommand);
    return reinterpret_cast<intptr_t>(result);
}

} // namespace ch
