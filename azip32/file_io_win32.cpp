// Win32 files for azip32.dll. Paths are ANSI, as the program passes them.
#include <windows.h>

#include <algorithm>

#include "azip32/file_io.h"

namespace ch::azip {
namespace {

constexpr intptr_t kClosed = -1; // INVALID_HANDLE_VALUE
// FILETIME of 1970-01-01, in 100 ns steps since 1601.
constexpr uint64_t kUnixEpoch = 116444736000000000ull;

HANDLE handleOf(intptr_t h) {
    return reinterpret_cast<HANDLE>(h);
}

std::string systemMessage(DWORD error) {
    char* text = nullptr;
    const DWORD n = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                       FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, error, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string message = n ? std::string(text, n) : "system error " + std::to_string(error);
    LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                                message.back() == ' ' || message.back() == '.'))
        message.pop_back();
    return message;
}

[[noreturn]] void fail(const char* what, const std::string& path) {
    const DWORD error = GetLastError();
    throw IoError(std::string(what) + " " + path + ": " + systemMessage(error));
}

OVERLAPPED at(uint64_t offset) {
    OVERLAPPED o{};
    o.Offset = static_cast<DWORD>(offset);
    o.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return o;
}

// One ReadFile or WriteFile moves at most this much.
constexpr size_t kMaxTransfer = 1u << 30;

} // namespace

File File::openRead(const std::string& path) {
    const HANDLE h = CreateFileA(path.c_str(), GENERIC_READ,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        fail("cannot open", path);
    return File(reinterpret_cast<intptr_t>(h), path);
}

File File::createNew(const std::string& path) {
    const HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                                 nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        fail("cannot create", path);
    return File(reinterpret_cast<intptr_t>(h), path);
}

File File::borrow(intptr_t handle, const std::string& path) {
    const LARGE_INTEGER start{};
    if (!SetFilePointerEx(handleOf(handle), start, nullptr, FILE_BEGIN))
        fail("cannot read", path);
    return File(handle, path, false);
}

File::File(File&& other) noexcept
    : handle_(other.handle_), path_(std::move(other.path_)), owned_(other.owned_) {
    other.handle_ = kClosed;
}

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        if (handle_ != kClosed && owned_)
            CloseHandle(handleOf(handle_));
        handle_ = other.handle_;
        path_ = std::move(other.path_);
        owned_ = other.owned_;
        other.handle_ = kClosed;
    }
    return *this;
}

File::~File() {
    if (handle_ != kClosed && owned_)
        CloseHandle(handleOf(handle_));
}

size_t File::read(void* buffer, size_t size) {
    DWORD got = 0;
    if (!ReadFile(handleOf(handle_), buffer, static_cast<DWORD>(std::min(size, kMaxTransfer)), &got,
                  nullptr))
        fail("cannot read", path_);
    return got;
}

void File::readAt(uint64_t offset, void* buffer, size_t size) {
    auto* p = static_cast<char*>(buffer);
    while (size > 0) {
        OVERLAPPED o = at(offset);
        DWORD got = 0;
        if (!ReadFile(handleOf(handle_), p, static_cast<DWORD>(std::min(size, kMaxTransfer)), &got,
                      &o)) {
            if (GetLastError() == ERROR_HANDLE_EOF)
                throw IoError("unexpected end of " + path_);
            fail("cannot read", path_);
        }
        if (got == 0)
            throw IoError("unexpected end of " + path_);
        p += got;
        size -= got;
        offset += got;
    }
}

void File::writeAt(uint64_t offset, const void* data, size_t size) {
    const auto* p = static_cast<const char*>(data);
    while (size > 0) {
        OVERLAPPED o = at(offset);
        DWORD put = 0;
        if (!WriteFile(handleOf(handle_), p, static_cast<DWORD>(std::min(size, kMaxTransfer)), &put,
                       &o))
            fail("cannot write", path_);
        if (put == 0) {
            SetLastError(ERROR_DISK_FULL);
            fail("cannot write", path_);
        }
        p += put;
        size -= put;
        offset += put;
    }
}

void File::truncate(uint64_t size) {
    LARGE_INTEGER to;
    to.QuadPart = static_cast<LONGLONG>(size);
    if (!SetFilePointerEx(handleOf(handle_), to, nullptr, FILE_BEGIN) ||
        !SetEndOfFile(handleOf(handle_)))
        fail("cannot set the size of", path_);
}

void File::sync() {
    if (!FlushFileBuffers(handleOf(handle_)))
        fail("cannot flush", path_);
}

uint64_t File::size() {
    LARGE_INTEGER size;
    if (!GetFileSizeEx(handleOf(handle_), &size))
        fail("cannot query", path_);
    return static_cast<uint64_t>(size.QuadPart);
}

FileStamp File::stamp() {
    FILETIME written;
    if (!GetFileTime(handleOf(handle_), nullptr, nullptr, &written))
        fail("cannot query", path_);
    FileStamp s;
    const uint64_t ticks =
        (static_cast<uint64_t>(written.dwHighDateTime) << 32) | written.dwLowDateTime;
    s.unixTime = (static_cast<int64_t>(ticks) - static_cast<int64_t>(kUnixEpoch)) / 10000000;
    FILETIME local;
    WORD date = 0;
    WORD time = 0;
    // Times before 1980 cannot be said in DOS form; keep the earliest DOS date then.
    if (FileTimeToLocalFileTime(&written, &local) && FileTimeToDosDateTime(&local, &date, &time) &&
        date >= s.dosDate) {
        s.dosDate = date;
        s.dosTime = time;
    }
    return s;
}

void File::close() {
    const HANDLE h = handleOf(handle_);
    handle_ = kClosed;
    if (h != INVALID_HANDLE_VALUE && owned_ && !CloseHandle(h))
        fail("cannot close", path_);
}

void removeFile(const std::string& path) noexcept {
    DeleteFileA(path.c_str());
}

void replaceFile(const std::string& from, const std::string& to) {
    if (!MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        fail("cannot rename to", to);
}

bool isSystemLeadByte(unsigned char byte) {
    return IsDBCSLeadByte(byte) != FALSE;
}

std::string systemNameToUtf8(const std::string& name) {
    if (name.empty())
        return name;
    const int wide =
        MultiByteToWideChar(CP_ACP, 0, name.data(), static_cast<int>(name.size()), nullptr, 0);
    std::wstring w(static_cast<size_t>(wide), L'\0');
    MultiByteToWideChar(CP_ACP, 0, name.data(), static_cast<int>(name.size()), w.data(), wide);
    const int narrow =
        WideCharToMultiByte(CP_UTF8, 0, w.data(), wide, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(narrow), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), wide, utf8.data(), narrow, nullptr, nullptr);
    return utf8;
}

} // namespace ch::azip
