#include "tests/e2e/e2e_driver.h"

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "app/form1.h"
#include "platform/win32/gui_layout.h"

namespace ch::e2e {

namespace {

std::string env(const char* name) {
    const char* value = std::getenv(name);
    if (!value || !*value)
        throw std::runtime_error(std::string(name) + " is not set");
    return value;
}

// A Unix path as Wine's z: drive shows it.
std::string unixToWindows(std::string path) {
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return "Z:" + path;
}

bool equalNoCase(const std::string& a, const std::string& b) {
    return lstrcmpiA(a.c_str(), b.c_str()) == 0;
}

const FormDesign& design() {
    return form1Design();
}

std::string listText(HWND list, int index, bool combo) {
    // Asked for as UTF-16: Wine hands list texts across processes in the list's own form.
    const int length =
        static_cast<int>(SendMessageW(list, combo ? CB_GETLBTEXTLEN : LB_GETTEXTLEN, index, 0));
    if (length < 0)
        return {};
    std::wstring text(2 * length + 256, L'\0');
    SendMessageW(list, combo ? CB_GETLBTEXT : LB_GETTEXT, index,
                 reinterpret_cast<LPARAM>(text.data()));
    text.resize(wcslen(text.c_str()));
    std::string ansi(text.size() * 2 + 1, '\0');
    const int n = WideCharToMultiByte(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()),
                                      ansi.data(), static_cast<int>(ansi.size()), nullptr, nullptr);
    ansi.resize(n > 0 ? n : 0);
    return ansi;
}

} // namespace

std::string workPath(const std::string& relative) {
    return unixToWindows(env("CHATHOARD_E2E_WORK")) + "\\" + relative;
}

std::string binPath(const std::string& file) {
    return unixToWindows(env("CHATHOARD_BIN_DIR")) + "\\" + file;
}

bool waitFor(const std::function<bool()>& condition, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        if (condition())
            return true;
        if (GetTickCount() - start > timeoutMs)
            return false;
        Sleep(25);
    }
}

std::string windowText(HWND hwnd) {
    char text[1024] = {};
    // WM_GETTEXT rather than GetWindowText: the latter does not ask other processes' controls.
    SendMessageA(hwnd, WM_GETTEXT, sizeof(text), reinterpret_cast<LPARAM>(text));
    return text;
}

std::string className(HWND hwnd) {
    char name[256] = {};
    GetClassNameA(hwnd, name, sizeof(name));
    return name;
}

std::vector<std::string> staticTexts(HWND hwnd) {
    std::vector<std::string> texts;
    for (HWND child = FindWindowExA(hwnd, nullptr, "Static", nullptr); child;
         child = FindWindowExA(hwnd, child, "Static", nullptr))
        texts.push_back(windowText(child));
    return texts;
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool fileExists(const std::string& path) {
    const DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool folderExists(const std::string& path) {
    const DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

void makeFolders(const std::string& path) {
    for (size_t at = path.find('\\', 3); at != std::string::npos; at = path.find('\\', at + 1))
        CreateDirectoryA(path.substr(0, at).c_str(), nullptr);
    CreateDirectoryA(path.c_str(), nullptr);
}

bool MessageBox::hasButton(int id) const {
    return GetDlgItem(hwnd, id) != nullptr;
}

void MessageBox::answer(int id) const {
    PostMessageA(hwnd, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(hwnd, id)));
    // Gone before the caller looks for the next box, which could otherwise be this one.
    waitFor([this] { return !IsWindow(hwnd); });
}

Program::Program(const std::string& name) : folder_(workPath("programs\\" + name)) {
    makeFolders(folder_);
    if (!CopyFileA(binPath("chathoard.exe").c_str(), (folder_ + "\\chathoard.exe").c_str(), FALSE))
        throw std::runtime_error("cannot copy chathoard.exe into " + folder_);
    CopyFileA(binPath("azip32.dll").c_str(), (folder_ + "\\azip32.dll").c_str(), FALSE);
}

Program::~Program() {
    if (running()) {
        TerminateProcess(process_.hProcess, 1);
        WaitForSingleObject(process_.hProcess, kTimeoutMs);
    }
    if (process_.hProcess)
        CloseHandle(process_.hProcess);
    if (process_.hThread)
        CloseHandle(process_.hThread);
}

void Program::start(const std::string& currentFolder) {
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    std::string commandLine = "\"" + folder_ + "\\chathoard.exe\"";
    if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        currentFolder.c_str(), &startup, &process_))
        throw std::runtime_error("cannot start " + commandLine);
    WaitForInputIdle(process_.hProcess, kTimeoutMs);
}

bool Program::running() const {
    return process_.hProcess && WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT;
}

bool Program::waitExit(DWORD timeoutMs) {
    return WaitForSingleObject(process_.hProcess, timeoutMs) == WAIT_OBJECT_0;
}

namespace {

struct WindowSearch {
    DWORD pid;
    const std::string& cls;
    std::vector<HWND> found;
};

BOOL CALLBACK collectWindow(HWND hwnd, LPARAM param) {
    auto& search = *reinterpret_cast<WindowSearch*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid == search.pid && IsWindowVisible(hwnd) && className(hwnd) == search.cls)
        search.found.push_back(hwnd);
    return TRUE;
}

} // namespace

std::vector<HWND> Program::windows(const std::string& cls) {
    WindowSearch search{process_.dwProcessId, cls, {}};
    EnumWindows(collectWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND Program::waitWindow(const std::string& cls, const std::string& caption, DWORD timeoutMs) {
    HWND result = nullptr;
    waitFor(
        [&] {
            for (HWND h : windows(cls))
                if (caption.empty() || windowText(h) == caption)
                    result = h;
            return result != nullptr;
        },
        timeoutMs);
    return result;
}

HWND Program::mainWindow(DWORD timeoutMs) {
    if (!main_ || !IsWindow(main_))
        main_ = waitWindow("Chathoard.Form1", {}, timeoutMs);
    return main_;
}

MessageBox Program::waitMessageBox(DWORD timeoutMs) {
    MessageBox box;
    box.hwnd = waitWindow("#32770", {}, timeoutMs);
    if (!box.hwnd)
        return box;
    box.title = windowText(box.hwnd);
    // The prompt is the static control with text; the icon's static has none.
    for (const auto& text : staticTexts(box.hwnd))
        if (text.size() > box.prompt.size())
            box.prompt = text;
    return box;
}

bool Program::messageBoxOpen() {
    return !windows("#32770").empty();
}

HWND Program::control(const std::string& name) {
    const ControlDesign* c = design().find(name);
    if (!c)
        throw std::runtime_error("no control " + name + " in the design");
    return GetDlgItem(mainWindow(), gui::controlId(design(), *c));
}

void Program::click(const std::string& buttonName) {
    HWND button = control(buttonName);
    PostMessageA(mainWindow(), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED),
                 reinterpret_cast<LPARAM>(button));
}

void Program::chooseMenu(const std::string& menuName) {
    for (const auto& menu : design().menus)
        if (menu.name == menuName) {
            PostMessageA(mainWindow(), WM_COMMAND, MAKEWPARAM(gui::menuId(design(), menu), 0), 0);
            return;
        }
    throw std::runtime_error("no menu item " + menuName);
}

void Program::pickDrive(const std::string& driveList, const std::string& drive) {
    HWND combo = control(driveList);
    const int count = static_cast<int>(SendMessageA(combo, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i)
        if (equalNoCase(listText(combo, i, true).substr(0, drive.size()), drive)) {
            SendMessageA(combo, CB_SETCURSEL, i, 0);
            PostMessageA(mainWindow(), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(combo), CBN_SELCHANGE),
                         reinterpret_cast<LPARAM>(combo));
            return;
        }
    throw std::runtime_error("no drive " + drive + " in " + driveList);
}

std::vector<std::string> Program::listItems(const std::string& listName) {
    HWND list = control(listName);
    const bool combo = className(list) == "ComboBox";
    const int count = static_cast<int>(SendMessageA(list, combo ? CB_GETCOUNT : LB_GETCOUNT, 0, 0));
    std::vector<std::string> items;
    for (int i = 0; i < count; ++i)
        items.push_back(listText(list, i, combo));
    return items;
}

std::string Program::selectedText(const std::string& listName) {
    HWND list = control(listName);
    const bool combo = className(list) == "ComboBox";
    const int selected =
        static_cast<int>(SendMessageA(list, combo ? CB_GETCURSEL : LB_GETCURSEL, 0, 0));
    return selected < 0 ? std::string() : listText(list, selected, combo);
}

void Program::openFolder(const std::string& folderList, const std::string& item) {
    HWND list = control(folderList);
    const auto items = listItems(folderList);
    for (size_t i = 0; i < items.size(); ++i)
        if (equalNoCase(items[i], item)) {
            SendMessageA(list, LB_SETCURSEL, i, 0);
            PostMessageA(mainWindow(), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(list), LBN_DBLCLK),
                         reinterpret_cast<LPARAM>(list));
            return;
        }
    throw std::runtime_error("no folder " + item + " in " + folderList);
}

bool Program::waitLabel(const std::string& text) {
    return waitFor([&] { return windowText(control("Label1")) == text; });
}

} // namespace ch::e2e
