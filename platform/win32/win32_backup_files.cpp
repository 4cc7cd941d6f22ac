// The part of Win32FileSystem that checks and restores backups: reads at an offset, renames, and
// the tests for a file another program holds open.
#include <windows.h>

#include <algorithm>

#include "platform/runtime_error.h"
#include "platform/win32/win32_errors.h"
#include "platform/win32/win32_file_system.h"
#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_text.h"

namespace ch {

std::string Win32FileSystem::readPart(const std::string& path, uint64_t offset, size_t size) {
    CriticalErrorsQuiet quiet;
    FileHandle in(CreateFileW(winPath(path).c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!in.valid())
        throwFileError(GetLastError(), path);
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(offset);
    if (!SetFilePointerEx(in.get(), at, nullptr, FILE_BEGIN))
        throwLastError(path);
    // The buffer grows with what is read, so that kWholeFile asks for no more than is there.
    std::string bytes;
    size_t have = 0;
    while (have < size) {
        const size_t want = std::min<size_t>(size - have, 1 << 20);
        bytes.resize(have + want);
        DWORD got = 0;
        if (!ReadFile(in.get(), bytes.data() + have, static_cast<DWORD>(want), &got, nullptr))
            throwLastError(path);
        if (got == 0)
            break;
        have += got;
    }
    bytes.resize(have);
    return bytes;
}

void Win32FileSystem::rename(const std::string& from, const std::string& to) {
    CriticalErrorsQuiet quiet;
    // No MOVEFILE_COPY_ALLOWED: a rename that would have to copy is refused, never half done.
    if (!MoveFileExW(winPath(from).c_str(), winPath(to).c_str(), MOVEFILE_WRITE_THROUGH)) {
        const DWORD error = GetLastError();
        throwWin32Error(error, error == ERROR_ALREADY_EXISTS ? to : from);
    }
}

void Win32FileSystem::checkOpen(const std::string& path, OpenCheck how) {
    CriticalErrorsQuiet quiet;
    switch (how) {
    case OpenCheck::AsCopySource:
    case OpenCheck::Alone: {
        // AsCopySource: the same access and sharing as the copy's own open of its source.
        const DWORD sharing = how == OpenCheck::Alone ? 0 : FILE_SHARE_READ;
        FileHandle file(CreateFileW(winPath(path).c_str(), GENERIC_READ, sharing, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file.valid())
            throwFileError(GetLastError(), path);
        return;
    }
    case OpenCheck::AsArchiver: {
        // The sharing the library asks for, so that what fails here failed there.
        FileHandle file(CreateFileW(winPath(path).c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file.valid())
            throwLastError(path);
        char byte;
        DWORD read = 0;
        if (!ReadFile(file.get(), &byte, 1, &read, nullptr))
            throwLastError(path);
        return;
    }
    }
}

uint64_t Win32FileSystem::freeBytes(const std::string& folder) {
    CriticalErrorsQuiet quiet;
    ULARGE_INTEGER available;
    if (!GetDiskFreeSpaceExW(winPath(folder).c_str(), &available, nullptr, nullptr))
        throwFileError(GetLastError(), folder);
    return available.QuadPart;
}

void Win32FileSystem::setModifiedTime(const std::string& path, int64_t modified) {
    CriticalErrorsQuiet quiet;
    // FILE_WRITE_ATTRIBUTES alone: the data is not opened, so readers sharing it do not matter.
    FileHandle file(CreateFileW(winPath(path).c_str(), FILE_WRITE_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid())
        throwFileError(GetLastError(), path);
    // FILETIME counts 100 ns steps from 1601; 11644473600 s lie between 1601 and 1970.
    ULARGE_INTEGER t;
    t.QuadPart = static_cast<ULONGLONG>(modified + 11644473600LL) * 10000000ULL;
    FILETIME written;
    written.dwLowDateTime = t.LowPart;
    written.dwHighDateTime = t.HighPart;
    if (!SetFileTime(file.get(), nullptr, nullptr, &written))
        throwLastError(path);
}

} // namespace ch
