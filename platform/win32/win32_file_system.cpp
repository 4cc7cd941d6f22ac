#include "platform/win32/win32_file_system.h"

#include <algorithm>
#include <cctype>
#include <functional>

#include "platform/ansi_path.h"
#include "platform/runtime_error.h"
#include "platform/win32/win32_errors.h"
#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_text.h"

#include <winnetwk.h>

namespace ch {
namespace {

// "C:\x" -> "C:\x\", "C:\" stays: the folder part to put in front of a name.
std::string withSeparator(const std::string& folder) {
    if (folder.empty() || lastSeparator(folder, "\\/:", isAnsiLeadByte) == folder.size() - 1)
        return folder;
    return folder + "\\";
}

// A name the program can use again as ANSI text. A name outside the code page is given by
// its short alias when the volume has one; otherwise its lossy form fails loudly when used.
std::string usableName(const std::string& folder, const WIN32_FIND_DATAW& data) {
    std::wstring name = data.cFileName;
    if (fitsAnsi(name))
        return toAnsi(name);
    std::wstring full = toWide(withSeparator(folder)) + name;
    wchar_t shortPath[MAX_PATH];
    DWORD n = GetShortPathNameW(full.c_str(), shortPath, MAX_PATH);
    if (n > 0 && n < MAX_PATH) {
        std::wstring s(shortPath, n);
        std::wstring shortName = s.substr(s.find_last_of(L"\\/") + 1);
        if (fitsAnsi(shortName))
            return toAnsi(shortName);
    }
    return toAnsi(name);
}

// Runs visit for every entry matching a search pattern. Returns 0, or the error of the
// search; an empty result is ERROR_FILE_NOT_FOUND.
DWORD forEachEntry(const std::string& searchPattern,
                   const std::function<void(const WIN32_FIND_DATAW&)>& visit) {
    WIN32_FIND_DATAW data;
    FindHandle find(FindFirstFileExW(winPath(searchPattern).c_str(), FindExInfoBasic, &data,
                                     FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH));
    if (!find.valid()) {
        DWORD error = GetLastError();
        return error == ERROR_NO_MORE_FILES ? ERROR_FILE_NOT_FOUND : error;
    }
    do {
        visit(data);
    } while (FindNextFileW(find.get(), &data));
    DWORD error = GetLastError();
    return error == ERROR_NO_MORE_FILES ? 0 : error;
}

// Lists a folder's entries that keep passes; 76 when the folder is missing.
std::vector<std::string> listFolder(const std::string& folder,
                                    const std::function<bool(const WIN32_FIND_DATAW&)>& keep) {
    CriticalErrorsQuiet quiet;
    std::vector<std::string> names;
    DWORD error = forEachEntry(withSeparator(folder) + "*", [&](const WIN32_FIND_DATAW& data) {
        if (keep(data))
            names.push_back(usableName(folder, data));
    });
    if (error != 0) {
        // An empty drive root has no "." entry, so "nothing found" alone is no failure; a
        // folder that is not there (or is a file) is a missing path whatever the search said.
        DWORD attributes = attributesOf(folder);
        if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
            throwWin32Error(ERROR_PATH_NOT_FOUND, folder);
        if (error != ERROR_FILE_NOT_FOUND)
            throwWin32Error(error, folder);
    }
    std::sort(names.begin(), names.end(), lessNoCase);
    return names;
}

} // namespace

void Win32FileSystem::deleteFile(const std::string& path) {
    CriticalErrorsQuiet quiet;
    if (!DeleteFileW(winPath(path).c_str()))
        throwFileError(GetLastError(), path);
}

void Win32FileSystem::makeFolder(const std::string& path) {
    CriticalErrorsQuiet quiet;
    if (!CreateDirectoryW(winPath(path).c_str(), nullptr))
        throwLastError(path);
}

void Win32FileSystem::removeFolder(const std::string& path) {
    CriticalErrorsQuiet quiet;
    if (RemoveDirectoryW(winPath(path).c_str()))
        return;
    DWORD error = GetLastError();
    // A folder that is not there (or is a file) is a missing path, whatever code the system
    // picks for it.
    DWORD attributes = attributesOf(path);
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        error = ERROR_PATH_NOT_FOUND;
    throwWin32Error(error, path);
}

std::vector<FolderEntry> Win32FileSystem::listEntries(const std::string& folder) {
    std::vector<FolderEntry> entries;
    listFolder(folder, [&](const WIN32_FIND_DATAW& data) {
        if (wcscmp(data.cFileName, L".") == 0 || wcscmp(data.cFileName, L"..") == 0)
            return false;
        const DWORD attributes = data.dwFileAttributes;
        entries.push_back({usableName(folder, data), (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0,
                           (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0,
                           (attributes & FILE_ATTRIBUTE_HIDDEN) != 0,
                           (attributes & FILE_ATTRIBUTE_SYSTEM) != 0,
                           (attributes & FILE_ATTRIBUTE_DIRECTORY)
                               ? 0
                               : (uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow});
        return false;
    });
    std::sort(entries.begin(), entries.end(), [](const FolderEntry& a, const FolderEntry& b) {
        return lessNoCase(a.name, b.name);
    });
    return entries;
}

namespace {

// The text in brackets after a drive letter: the share of a network drive (read from the
// local connection table, so a server that is gone cannot stall the list), else the volume
// label. Floppy drives are not touched: reading one takes seconds, with or without a disk.
std::string driveLabel(int index) {
    wchar_t root[] = {static_cast<wchar_t>(L'A' + index), L':', L'\\', 0};
    switch (GetDriveTypeW(root)) {
    case DRIVE_REMOTE: {
        wchar_t device[] = {root[0], L':', 0};
        wchar_t share[MAX_PATH + 1] = {};
        DWORD size = MAX_PATH + 1;
        DWORD status = WNetGetConnectionW(device, share, &size);
        return status == NO_ERROR || status == ERROR_CONNECTION_UNAVAIL ? toAnsi(share) : "";
    }
    case DRIVE_REMOVABLE:
        if (index < 2)
            return "";
        break;
    default:
        break;
    }
    wchar_t label[MAX_PATH + 1] = {};
    // An unreadable volume (no disk in the drive) simply has no label.
    if (!GetVolumeInformationW(root, label, MAX_PATH + 1, nullptr, nullptr, nullptr, nullptr, 0))
        return "";
    return toAnsi(label);
}

} // namespace

std::vector<DriveInfo> Win32FileSystem::drives() {
    CriticalErrorsQuiet quiet;
    std::vector<DriveInfo> result;
    DWORD present = GetLogicalDrives();
    for (int i = 0; i < 26; ++i) {
        if (!(present & (1u << i)))
            continue;
        DriveInfo drive;
        drive.letter = static_cast<char>('a' + i);
        drive.label = driveLabel(i);
        result.push_back(drive);
    }
    return result;
}

std::string Win32FileSystem::currentFolder(char driveLetter) {
    CriticalErrorsQuiet quiet;
    char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(driveLetter)));
    std::string drive{letter, ':'};
    DWORD attributes = attributesOf(drive + "\\");
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        DWORD error = GetLastError();
        std::string words =
            error == ERROR_NOT_READY ? "The drive is not ready" : "The drive cannot be opened";
        throw RuntimeError(errDeviceUnavailable, words + ": " + drive + "\\", error);
    }
    std::wstring wideDrive = toWide(drive);
    DWORD n = GetFullPathNameW(wideDrive.c_str(), 0, nullptr, nullptr);
    std::wstring full(n, L'\0');
    n = GetFullPathNameW(wideDrive.c_str(), n, full.data(), nullptr);
    if (n == 0)
        throwLastError(drive);
    full.resize(n);
    // Wine answers "C:\windows\"; the folder list wants no trailing backslash except at a root.
    if (full.size() > 3 && full.back() == L'\\')
        full.pop_back();
    return toAnsi(full);
}

std::string Win32FileSystem::fullPath(const std::string& path) {
    const std::wstring wide = toWide(path);
    DWORD n = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (n == 0)
        throwLastError(path);
    std::wstring full(n, L'\0');
    n = GetFullPathNameW(wide.c_str(), n, full.data(), nullptr);
    if (n == 0 || n >= full.size())
        throwLastError(path);
    full.resize(n);
    return toAnsi(full);
}

std::string Win32FileSystem::resolvedPath(const std::string& path) {
    std::string plain = path;
    if (plain.rfind("\\\\?\\UNC\\", 0) == 0)
        plain = "\\\\" + plain.substr(8);
    else if (plain.rfind("\\\\?\\", 0) == 0)
        plain = plain.substr(4);
    const std::string full = fullPath(plain);
    std::wstring head = toWide(full), tail;
    CriticalErrorsQuiet quiet;
    // GetLongPathName answers only for a path that exists: the longest such part is spelled
    // out, the rest kept as given.
    for (;;) {
        DWORD n = GetLongPathNameW(head.c_str(), nullptr, 0);
        if (n > 0) {
            std::wstring longer(n, L'\0');
            n = GetLongPathNameW(head.c_str(), longer.data(), n);
            if (n > 0 && n < longer.size()) {
                longer.resize(n);
                return toAnsi(longer + tail);
            }
        }
        const size_t cut = head.find_last_of(L'\\');
        if (cut == std::wstring::npos || cut + 1 >= head.size() || cut <= 2)
            return full;
        tail = head.substr(cut) + tail;
        head.resize(cut);
    }
}

std::optional<FileIdentity> Win32FileSystem::identityOf(const std::string& path) {
    CriticalErrorsQuiet quiet;
    // No access asked: only the file's information is read, even of a file held open.
    FileHandle h(CreateFileW(winPath(path).c_str(), 0,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION info;
    if (!h.valid() || !GetFileInformationByHandle(h.get(), &info))
        return std::nullopt;
    return FileIdentity{info.dwVolumeSerialNumber,
                        (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
}

FileStatus Win32FileSystem::status(const std::string& path) {
    CriticalErrorsQuiet quiet;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(winPath(path).c_str(), GetFileExInfoStandard, &data))
        throwLastError(path);
    FileStatus status;
    status.folder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (!status.folder)
        status.size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    ULARGE_INTEGER t;
    t.LowPart = data.ftLastWriteTime.dwLowDateTime;
    t.HighPart = data.ftLastWriteTime.dwHighDateTime;
    // FILETIME counts 100 ns steps from 1601; 11644473600 s lie between 1601 and 1970.
    status.modified = static_cast<int64_t>(t.QuadPart / 10000000ULL) - 11644473600LL;
    return status;
}

} // namespace ch
