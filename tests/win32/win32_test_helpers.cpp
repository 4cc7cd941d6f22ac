#include "tests/win32/win32_test_helpers.h"

#include <cstdlib>
#include <stdexcept>

#include "platform/win32/win32_text.h"

namespace ch::test {
namespace {

// Wide calls with the "\\?\" prefix, so that the long-path tests clean up after themselves.
void removeTree(const std::wstring& folder) {
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = data.cFileName;
            if (name == L"." || name == L"..")
                continue;
            std::wstring path = folder + L"\\" + name;
            SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                removeTree(path);
            else
                DeleteFileW(path.c_str());
        } while (FindNextFileW(find, &data));
        FindClose(find);
    }
    RemoveDirectoryW(folder.c_str());
}

// The child role: set by startFileHolder through the environment, acted on before main.
[[maybe_unused]] const bool childRole = [] {
    const char* file = std::getenv("CHATHOARD_TEST_HOLD_FILE");
    if (!file)
        return false;
    HANDLE held = CreateFileA(file, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (held == INVALID_HANDLE_VALUE)
        ExitProcess(2);
    // The show command it was started with, for the process-start test.
    STARTUPINFOA startup{};
    GetStartupInfoA(&startup);
    const int show = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : -1;
    const std::string heldMark = std::string(file) + ".held";
    writeFile(heldMark + ".tmp", std::to_string(show));
    MoveFileA((heldMark + ".tmp").c_str(), heldMark.c_str()); // appears whole
    waitForFile(std::string(file) + ".release", 60000);
    CloseHandle(held);
    ExitProcess(0);
}();

} // namespace

TempFolder::TempFolder() {
    static unsigned counter = 0;
    char base[MAX_PATH];
    GetTempPathA(MAX_PATH, base);
    // Process ids repeat between Wine runs, so a name left by an aborted run is skipped.
    do {
        path_ = std::string(base) + "chathoard-test-" + std::to_string(GetCurrentProcessId()) +
                "-" + std::to_string(++counter);
    } while (!CreateDirectoryA(path_.c_str(), nullptr) && GetLastError() == ERROR_ALREADY_EXISTS);
    if (!exists(path_))
        throw std::runtime_error("cannot create " + path_);
}

TempFolder::~TempFolder() {
    removeTree(L"\\\\?\\" + toWide(path_));
}

void writeFile(const std::string& path, const std::string& bytes, DWORD attributes) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        throw std::runtime_error("cannot write " + path);
    DWORD written = 0;
    WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(h);
    if (attributes)
        SetFileAttributesA(path.c_str(), attributes);
}

std::string readFile(const std::string& path) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        throw std::runtime_error("cannot read " + path);
    std::string bytes;
    char chunk[65536];
    DWORD got = 0;
    while (ReadFile(h, chunk, sizeof chunk, &got, nullptr) && got > 0)
        bytes.append(chunk, got);
    CloseHandle(h);
    return bytes;
}

bool exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

int countStartingWith(const std::string& folder, const std::string& prefix) {
    int count = 0;
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((folder + "\\" + prefix + "*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return 0;
    do {
        ++count;
    } while (FindNextFileA(find, &data));
    FindClose(find);
    return count;
}

std::string testProgramPath() {
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    return std::string(path, n);
}

HANDLE startFileHolder(const std::string& file) {
    SetEnvironmentVariableA("CHATHOARD_TEST_HOLD_FILE", file.c_str());
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::string line = '"' + testProgramPath();
    line += '"';
    BOOL started = CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                  nullptr, &startup, &process);
    SetEnvironmentVariableA("CHATHOARD_TEST_HOLD_FILE", nullptr);
    if (!started)
        throw std::runtime_error("cannot start the file holder");
    CloseHandle(process.hThread);
    if (!waitForFile(file + ".held", 30000)) {
        TerminateProcess(process.hProcess, 1);
        CloseHandle(process.hProcess);
        throw std::runtime_error("the file holder did not take " + file);
    }
    return process.hProcess;
}

void releaseFileHolder(HANDLE process, const std::string& file) {
    writeFile(file + ".release", "");
    WaitForSingleObject(process, 30000);
    CloseHandle(process);
}

bool waitForFile(const std::string& path, DWORD timeoutMs) {
    for (DWORD waited = 0; waited < timeoutMs; waited += 20) {
        if (exists(path))
            return true;
        Sleep(20);
    }
    return exists(path);
}

} // namespace ch::test
