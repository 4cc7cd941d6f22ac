// chathoard.com: the console companion of chathoard.exe. chathoard.exe is a window program,
// so a Command Prompt neither waits for it nor sets %ERRORLEVEL% to its result. This small
// console program, found by the Command Prompt before chathoard.exe of the same name, starts
// chathoard.exe from its own folder with the same arguments, shares its console or hands on
// its redirected output, waits for it and returns its exit code.
#include <windows.h>

#include <cwchar>

#include "platform/win32/win32_stop_request.h"

namespace {

// Returned when chathoard.exe cannot be started at all; chathoard.exe's own codes are lower.
constexpr int kCannotStartProgram = 9;

// The longest command line CreateProcess takes, and so the longest path worth handling.
constexpr DWORD kMaxText = 32768;
wchar_t g_program[kMaxText];
wchar_t g_commandLine[kMaxText];

// The arguments exactly as given: the command line after this program's own name, with
// the blank that separates them, so that every quote and backslash reaches chathoard.exe
// as typed. The name ends as the system reads it: at the closing quote, or at a blank.
const wchar_t* argumentsOf(const wchar_t* commandLine) {
    const wchar_t* p = commandLine;
    if (*p == L'"') {
        ++p;
        while (*p && *p != L'"')
            ++p;
        if (*p)
            ++p;
    } else {
        while (*p && *p != L' ' && *p != L'\t')
            ++p;
    }
    return p;
}

// chathoard.exe in this program's own folder (never the working folder), into g_program.
bool findProgram() {
    const DWORD n = GetModuleFileNameW(nullptr, g_program, kMaxText);
    if (n == 0 || n >= kMaxText)
        return false;
    wchar_t* name = g_program + n;
    while (name > g_program && name[-1] != L'\\' && name[-1] != L'/')
        --name;
    const wchar_t exe[] = L"chathoard.exe";
    if (static_cast<size_t>(name - g_program) + sizeof(exe) / sizeof(exe[0]) > kMaxText)
        return false;
    std::wcscpy(name, exe);
    return true;
}

// Standard error, in the console's own characters (or the ANSI code page when redirected).
void printProblem(const wchar_t* text) {
    HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    if (!err || err == INVALID_HANDLE_VALUE)
        return;
    const int length = static_cast<int>(std::wcslen(text));
    DWORD mode = 0, written = 0;
    if (GetConsoleMode(err, &mode)) {
        WriteConsoleW(err, text, static_cast<DWORD>(length), &written, nullptr);
        return;
    }
    static char bytes[kMaxText * 2];
    const int n =
        WideCharToMultiByte(CP_ACP, 0, text, length, bytes, sizeof(bytes), nullptr, nullptr);
    if (n > 0)
        WriteFile(err, bytes, static_cast<DWORD>(n), &written, nullptr);
}

void reportCannotStart(DWORD error) {
    static wchar_t reason[1024];
    const DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, error, 0, reason, 1024, nullptr);
    DWORD end = n;
    while (end > 0 && (reason[end - 1] == L'\r' || reason[end - 1] == L'\n' ||
                       reason[end - 1] == L' ' || reason[end - 1] == L'.'))
        --end;
    reason[end] = L'\0';
    if (end == 0)
        std::swprintf(reason, 1024, L"error %lu", static_cast<unsigned long>(error));
    static wchar_t line[kMaxText + 1024];
    std::swprintf(line, sizeof(line) / sizeof(line[0]),
                  L"chathoard.com: %ls could not be started: %ls. It must be in the same folder "
                  L"as chathoard.com.\r\n",
                  g_program, reason);
    printProblem(line);
}

// The event through which chathoard.exe is asked to stop.
HANDLE g_stop = nullptr;

// Ctrl+C and Ctrl+Break reach chathoard.exe too when it shares the console; when both its
// outputs are redirected it has no console, and the stop event tells it. This program stays
// to wait for it and return the code it ends with.
BOOL WINAPI keepWaiting(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT)
        return FALSE;
    if (g_stop)
        SetEvent(g_stop);
    return TRUE;
}

// What chathoard.exe gets as standard handle `which`: a file, pipe or device it was
// redirected to, made inheritable. A console handle is not handed on: chathoard.exe then
// joins this console itself, which also lets it see Ctrl+C (and older Windows versions give
// console handles that only an attached program can use).
HANDLE handOn(DWORD which) {
    HANDLE h = GetStdHandle(which);
    DWORD mode = 0;
    if (!h || h == INVALID_HANDLE_VALUE || GetConsoleMode(h, &mode))
        return nullptr;
    SetHandleInformation(h, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
    return h;
}

} // namespace

int main() {
    if (!findProgram()) {
        reportCannotStart(ERROR_FILENAME_EXCED_RANGE);
        return kCannotStartProgram;
    }
    const wchar_t* arguments = argumentsOf(GetCommandLineW());
    if (std::wcslen(g_program) + std::wcslen(arguments) + 3 > kMaxText) {
        reportCannotStart(ERROR_FILENAME_EXCED_RANGE);
        return kCannotStartProgram;
    }
    std::swprintf(g_commandLine, kMaxText, L"\"%ls\"%ls", g_program, arguments);

    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = handOn(STD_INPUT_HANDLE);
    startup.hStdOutput = handOn(STD_OUTPUT_HANDLE);
    startup.hStdError = handOn(STD_ERROR_HANDLE);
    SetConsoleCtrlHandler(keepWaiting, TRUE);

    // Started suspended: its stop event, named after its process id, is there before it looks.
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(g_program, g_commandLine, nullptr, nullptr, TRUE, CREATE_SUSPENDED, nullptr,
                        nullptr, &startup, &process)) {
        reportCannotStart(GetLastError());
        return kCannotStartProgram;
    }
    wchar_t stopName[64];
    std::swprintf(stopName, sizeof(stopName) / sizeof(stopName[0]), ch::kStopEventNameFormat,
                  static_cast<unsigned long>(process.dwProcessId));
    g_stop = CreateEventW(nullptr, TRUE, FALSE, stopName);
    ResumeThread(process.hThread);
    CloseHandle(process.hThread);
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = kCannotStartProgram;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hProcess);
    return static_cast<int>(code);
}
