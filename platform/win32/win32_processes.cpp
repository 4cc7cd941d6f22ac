#include "platform/win32/win32_processes.h"

#include <windows.h>

#include <vector>

#include "platform/runtime_error.h"
#include "platform/win32/win32_errors.h"

namespace ch {
namespace {

// The runtime's window styles: 0 hidden, 1 normal with focus, 2 minimised with focus,
// 3 maximised, 4 normal without focus, 6 minimised without focus.
WORD showCommandFor(int windowStyle) {
    switch (windowStyle) {
    case 0:
        return SW_HIDE;
    case 1:
        return SW_SHOWNORMAL;
    case 2:
        return SW_SHOWMINIMIZED;
    case 3:
        return SW_SHOWMAXIMIZED;
    case 4:
        return SW_SHOWNOACTIVATE;
    case 6:
        return SW_SHOWMINNOACTIVE;
    default:
        throw RuntimeError(errInvalidProcedureCall, "Invalid window style");
    }
}

} // namespace

void Win32Processes::start(const std::string& commandLine, int windowStyle) {
    if (commandLine.find_first_not_of(" \t") == std::string::npos)
        throw RuntimeError(errInvalidProcedureCall, "The command line is empty");
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = showCommandFor(windowStyle);
    PROCESS_INFORMATION process{};
    // CreateProcessA may write into the command line, so it gets a private copy.
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        DWORD error = GetLastError();
        // Whatever keeps the program from being found is "file not found" to the caller.
        if (error == ERROR_PATH_NOT_FOUND || error == ERROR_INVALID_NAME ||
            error == ERROR_BAD_PATHNAME)
            error = ERROR_FILE_NOT_FOUND;
        throwWin32Error(error, commandLine);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}

} // namespace ch
