// The program's entry: builds the Win32 services and the main window, loads Form1 (its
// Form_Load runs before the window is shown) and runs the message loop. With arguments the
// program runs a scheduled backup instead and shows no window.
#include <windows.h>

#include <commctrl.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "about/frm_about.h"
#include "about/win32/about_window.h"
#include "app/command_line.h"
#include "app/form1.h"
#include "app/win32/check_window.h"
#include "app/win32/main_window.h"
#include "app/win32/password_window.h"
#include "app/win32/schedule_window.h"
#include "platform/runtime_error.h"
#include "platform/win32/win32_dll_binding.h"
#include "platform/win32/win32_platform.h"
#include "platform/win32/win32_program_folder.h"
#include "platform/win32/win32_scheduler.h"
#include "platform/win32/win32_stop_request.h"

namespace {

std::string currentFolder() {
    char buffer[MAX_PATH * 2];
    const DWORD n = GetCurrentDirectoryA(sizeof(buffer), buffer);
    return n > 0 && n < sizeof(buffer) ? std::string(buffer, n) : std::string("C:\\");
}

// A program built for windows has no console; a scheduled or scripted run still wants to
// read its lines, so they go to the console it was started from, or its redirected output.
void writeLine(const std::string& line, bool isProblem) {
    HANDLE out = GetStdHandle(isProblem ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
    if (!out || out == INVALID_HANDLE_VALUE)
        return;
    const std::string text = line + "\r\n";
    DWORD written = 0;
    WriteFile(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

// Set by Ctrl+C (or Ctrl+Break) in the console window the run was started from, also through
// chathoard.com when the program has no console; the run then stops as the window's Cancel
// stops a backup.
std::atomic<bool> consoleCancel{false};

BOOL CALLBACK onConsoleControl(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT)
        return FALSE; // closing the window or logging off ends the process as usual
    consoleCancel = true;
    return TRUE;
}

bool isConsole(HANDLE handle) {
    DWORD mode = 0;
    return handle && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode);
}

void writeRaw(const std::string& text) {
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text.data(), static_cast<DWORD>(text.size()),
              &written, nullptr);
}

std::string localTime() {
    SYSTEMTIME t;
    GetLocalTime(&t);
    char text[32];
    std::snprintf(text, sizeof(text), "%04u-%02u-%02u %02u:%02u:%02u", t.wYear, t.wMonth, t.wDay,
                  t.wHour, t.wMinute, t.wSecond);
    return text;
}

// Whether standard handle h leads somewhere without a console: a file, a pipe (from
// chathoard.com under a redirection, or a scheduler's capture) or a device such as NUL.
bool writesWithoutConsole(HANDLE h) {
    // Windows 7 gives console handles as numbers ending in binary 11, which only a program
    // attached to that console can use.
    if (!h || h == INVALID_HANDLE_VALUE || (reinterpret_cast<ULONG_PTR>(h) & 3) == 3)
        return false;
    const DWORD type = GetFileType(h);
    DWORD mode = 0;
    return type == FILE_TYPE_DISK || type == FILE_TYPE_PIPE ||
           (type == FILE_TYPE_CHAR && !GetConsoleMode(h, &mode));
}

// The output and error lines go where they were sent: redirected handles, also those that
// chathoard.com hands on, are kept. A missing handle, or a console one, means the console of
// the Command Prompt (or chathoard.com) that started the program: a window program has none
// of its own, so it joins that one, and Ctrl+C there reaches it too.
void connectOutput() {
    const DWORD which[] = {STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};
    HANDLE kept[2];
    bool toConsole = false;
    for (int i = 0; i < 2; ++i) {
        const HANDLE h = GetStdHandle(which[i]);
        kept[i] = writesWithoutConsole(h) ? h : nullptr;
        toConsole = toConsole || !kept[i];
    }
    // Access is denied when the program already has a console (Wine gives a window program
    // its parent's): that one is used the same way.
    if (!toConsole ||
        (!AttachConsole(ATTACH_PARENT_PROCESS) && GetLastError() != ERROR_ACCESS_DENIED))
        return;
    HANDLE console =
        CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    for (int i = 0; i < 2; ++i)
        SetStdHandle(which[i], kept[i] ? kept[i] : console);
}

// One line of /password's input. Redirected input (a file, or a pipe from chathoard.com) is read
// as it is, byte by byte so that nothing after the line is taken; a console's is typed after
// the prompt without being shown, and given as UTF-8.
std::optional<std::string> readPasswordLine(const std::string& prompt) {
    HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    if (writesWithoutConsole(in)) {
        std::string line;
        char c;
        DWORD n = 0;
        bool any = false;
        while (ReadFile(in, &c, 1, &n, nullptr) && n == 1) {
            any = true;
            if (c == '\n')
                break;
            if (c != '\r')
                line += c;
        }
        return any ? std::optional<std::string>(line) : std::nullopt;
    }
    HANDLE console =
        CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    if (console == INVALID_HANDLE_VALUE)
        return std::nullopt;
    writeRaw(prompt);
    DWORD mode = 0;
    GetConsoleMode(console, &mode);
    SetConsoleMode(console, (mode | ENABLE_LINE_INPUT) & ~ENABLE_ECHO_INPUT);
    wchar_t typed[512];
    DWORD count = 0;
    const BOOL ok = ReadConsoleW(console, typed, 511, &count, nullptr);
    SetConsoleMode(console, mode);
    CloseHandle(console);
    writeRaw("\r\n");
    if (!ok)
        return std::nullopt;
    while (count > 0 && (typed[count - 1] == L'\n' || typed[count - 1] == L'\r'))
        --count;
    std::string utf8(count * 3 + 1, '\0');
    const int size = WideCharToMultiByte(CP_UTF8, 0, typed, static_cast<int>(count), utf8.data(),
                                         static_cast<int>(utf8.size()), nullptr, nullptr);
    SecureZeroMemory(typed, sizeof typed);
    utf8.resize(size > 0 ? static_cast<size_t>(size) : 0);
    return utf8;
}

int runScheduled(const std::vector<std::string>& args, ch::AppObject& App) {
    connectOutput();
    // Only what the command line uses: no window, so none of the window's services.
    ch::Win32FileSystem fs;
    ch::Win32Archiver archiver(App.Path);
    ch::Win32BackupLock backupLock;
    ch::Win32PasswordStore passwords;
    const ch::CommandLineServices services{
        fs, ch::systemCodePage(), archiver, backupLock, App, &passwords};
    SetConsoleCtrlHandler(onConsoleControl, TRUE);
    const ch::StopRequestWatch companionCtrlC(consoleCancel);
    ch::RunControl control;
    control.cancel = &consoleCancel;
    control.readPassword = readPasswordLine;
    // The progress line only where a person watches: a console, never a file or a pipe.
    if (!isConsole(GetStdHandle(STD_OUTPUT_HANDLE)))
        return ch::runCommandLine(args, services, writeLine, localTime, ch::Waiting::real(),
                                  control);
    ch::ProgressLine progress(writeRaw);
    control.progress = [&progress](const std::string& text) { progress.show(text); };
    const auto out = [&progress](const std::string& line, bool isProblem) {
        progress.clear();
        writeLine(line, isProblem);
    };
    return ch::runCommandLine(args, services, out, localTime, ch::Waiting::real(), control);
}

int runWindow(ch::AppObject& App, int showCommand) {
    // The common controls are loaded here, for the window, and not by the loader: under Wine,
    // loading them is a good part of the start of a command-line run, which shows no window.
    // The manifest still chooses their version.
    static ch::DllBinding commonControls("comctl32.dll");
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    try {
        commonControls.bind<BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*)>("InitCommonControlsEx")(
            &controls);
    } catch (const ch::RuntimeError&) {
        // Without them the window still opens, without the controls they would have made.
    }

    ch::Win32Platform platform(App);
    ch::Win32Dialogs& dialogs = platform.dialogs;
    platform.runtime.addModalWindow<ch::FrmAbout>([&dialogs](ch::FrmAbout& about, HWND owner) {
        ch::gui::AboutWindow(about, dialogs).runModal(owner);
    });
    platform.runtime.addModalWindow<ch::FrmCheck>([&dialogs](ch::FrmCheck& check, HWND owner) {
        ch::gui::CheckWindow(check, dialogs).runModal(owner);
    });

    platform.runtime.addModalWindow<ch::FrmSchedule>(
        [&dialogs](ch::FrmSchedule& schedule, HWND owner) {
            ch::gui::ScheduleWindow(schedule, dialogs).runModal(owner);
        });

    platform.runtime.addModalWindow<ch::FrmPassword>(
        [&dialogs](ch::FrmPassword& password, HWND owner) {
            ch::gui::PasswordWindow(password, dialogs).runModal(owner);
        });
    platform.runtime.addModalWindow<ch::FrmAskPassword>(
        [&dialogs](ch::FrmAskPassword& ask, HWND owner) {
            ch::gui::AskPasswordWindow(ask, dialogs).runModal(owner);
        });

    ch::Win32Scheduler scheduler;
    ch::Form1 form(platform.services);
    form.scheduler = &scheduler;
    ch::gui::MainWindow window(form, dialogs, platform.work);
    window.create();
    platform.runtime.setMainWindow(window.hwnd());
    platform.work.setMainWindow(window.hwnd());
    // Loading runs Form_Load while the window is still hidden: its messages come first.
    ch::gui::guiDispatch(dialogs, [&] { form.load(currentFolder()); });
    window.refreshViews();
    window.show(showCommand);
    return ch::gui::runMessageLoop(window.hwnd());
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int showCommand) {
    ch::AppObject App;
    App.Path = ch::programFolder();
    // Split here rather than by the C runtime, which reads "E:\" as E: and a quote.
    const std::vector<std::string> args = ch::commandLineArguments(GetCommandLineA());
    if (!args.empty())
        return runScheduled(args, App);
    return runWindow(App, showCommand);
}
