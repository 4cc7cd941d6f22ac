// The program's entry: builds the Win32 services and the main window, loads Form1 (its
// Form_Load runs before the window is shown) and runs the message loop. With arguments the
// program runs a scheduled backup instead and shows no window.
#include <windows.h>

#include <commctrl.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "about/frm_about.h"
#include "about/win32/about_window.h"
#include "app/command_line.h"
#include "app/form1.h"
#include "app/win32/check_window.h"
#include "app/win32/main_window.h"
#include "platform/win32/win32_platform.h"
#include "platform/win32/win32_program_folder.h"

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

// Set by Ctrl+C (or Ctrl+Break) in the console window the run was started from; the run then
// stops as the window's Cancel stops a backup.
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

int runScheduled(const std::vector<std::string>& args, ch::AppObject& App) {
    if (GetStdHandle(STD_OUTPUT_HANDLE) == nullptr)
        AttachConsole(ATTACH_PARENT_PROCESS);
    ch::Win32Platform platform(App);
    SetConsoleCtrlHandler(onConsoleControl, TRUE);
    ch::RunControl control;
    control.cancel = &consoleCancel;
    // The progress line only where a person watches: a console, never a file or a pipe.
    if (!isConsole(GetStdHandle(STD_OUTPUT_HANDLE)))
        return ch::runCommandLine(args, platform.services, writeLine, localTime,
                                  ch::Waiting::real(), control);
    ch::ProgressLine progress(writeRaw);
    control.progress = [&progress](const std::string& text) { progress.show(text); };
    const auto out = [&progress](const std::string& line, bool isProblem) {
        progress.clear();
        writeLine(line, isProblem);
    };
    return ch::runCommandLine(args, platform.services, out, localTime, ch::Waiting::real(),
                              control);
}

int runWindow(ch::AppObject& App, int showCommand) {
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);

    ch::Win32Platform platform(App);
    ch::Win32Dialogs& dialogs = platform.dialogs;
    platform.runtime.addModalWindow<ch::FrmAbout>([&dialogs](ch::FrmAbout& about, HWND owner) {
        ch::gui::AboutWindow(about, dialogs).runModal(owner);
    });
    platform.runtime.addModalWindow<ch::FrmCheck>([&dialogs](ch::FrmCheck& check, HWND owner) {
        ch::gui::CheckWindow(check, dialogs).runModal(owner);
    });

    ch::Form1 form(platform.services);
    ch::gui::MainWindow window(form, dialogs);
    window.create();
    platform.runtime.setMainWindow(window.hwnd());
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
