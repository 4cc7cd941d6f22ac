// The data-moving half of Win32FileSystem: copies and whole-file writes.
#include <algorithm>
#include <atomic>
#include <optional>
#include <vector>

#include <windows.h>
// After windows.h, which it needs.
#include <winternl.h>

#include "platform/ansi_path.h"
#include "platform/runtime_error.h"
#include "platform/win32/win32_errors.h"
#include "platform/win32/win32_file_system.h"
#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_text.h"

namespace ch {
namespace {

constexpr DWORD kCopyBufferSize = 1 << 20;

std::string folderOf(const std::string& path) {
    size_t cut = lastSeparator(path, "\\/:", isAnsiLeadByte);
    return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

// Creates a fresh temporary file beside the destination; the name is never one that exists.
HANDLE createTempBeside(const std::string& destination, std::string& tempPath) {
    static std::atomic<unsigned> counter{0};
    const std::string folder = folderOf(destination);
    for (;;) {
        tempPath = folder + copyTemporaryName(GetCurrentProcessId(), ++counter);
        HANDLE h = CreateFileW(winPath(tempPath).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE)
            return h;
        DWORD error = GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS)
            throwWin32Error(error, destination);
    }
}

// Removes the temporary file when the copy does not reach its rename. The file is closed
// first: it was opened without sharing, so deleting it while open would fail and leave it.
class TempFileGuard {
  public:
    TempFileGuard(std::string path, FileHandle& file) : path_(std::move(path)), file_(file) {}
    TempFileGuard(const TempFileGuard&) = delete;
    TempFileGuard& operator=(const TempFileGuard&) = delete;
    ~TempFileGuard() {
        if (path_.empty())
            return;
        file_.close();
        DeleteFileW(winPath(path_).c_str());
    }
    void release() { path_.clear(); }

  private:
    std::string path_;
    FileHandle& file_;
};

void writeOrThrow(HANDLE file, const char* data, DWORD size, const std::string& path) {
    while (size > 0) {
        DWORD written = 0;
        if (!WriteFile(file, data, size, &written, nullptr))
            throwLastError(path);
        data += written;
        size -= written;
    }
}

// The file's index on its volume, or nothing when the system cannot tell. Unlike
// GetFileInformationByHandle this does not ask for the volume's serial number, which under
// Wine is a round trip to the mount manager costing more than the rest of a small copy.
std::optional<LONGLONG> fileIndex(HANDLE file) {
    IO_STATUS_BLOCK status;
    FILE_INTERNAL_INFORMATION info;
    if (NtQueryInformationFile(file, &status, &info, sizeof info, FileInternalInformation) != 0)
        return std::nullopt;
    return info.IndexNumber.QuadPart;
}

// True when path names the file already open as `file`, however the path is spelt (case,
// repeated backslashes, short names, another link to it).
bool sameFile(HANDLE file, const std::string& path) {
    FileHandle other(CreateFileW(winPath(path).c_str(), FILE_READ_ATTRIBUTES,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, 0, nullptr));
    if (!other.valid())
        return false;
    // Different indexes are different files whatever their volumes; only equal ones need the
    // volumes compared.
    const std::optional<LONGLONG> a = fileIndex(file), b = fileIndex(other.get());
    if (a && b && *a != *b)
        return false;
    BY_HANDLE_FILE_INFORMATION x, y;
    return GetFileInformationByHandle(file, &x) && GetFileInformationByHandle(other.get(), &y) &&
           x.dwVolumeSerialNumber == y.dwVolumeSerialNumber &&
           x.nFileIndexHigh == y.nFileIndexHigh && x.nFileIndexLow == y.nFileIndexLow;
}

// Opens a copy's source. Others may read it meanwhile, but a program writing it makes the copy
// fail as "in use" rather than produce a torn copy.
HANDLE openCopySource(const std::string& source) {
    HANDLE in = CreateFileW(winPath(source).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (in == INVALID_HANDLE_VALUE)
        throwFileError(GetLastError(), source);
    return in;
}

// Copies the data of in to out, a new file, and gives out the source's time.
void copyData(HANDLE in, HANDLE out, const std::string& source, const std::string& destination,
              const CopyProgress& progress) {
    // One buffer per thread for every copy: a fresh megabyte each time is new pages to
    // fault in, which under Wine cost as much as a small file's copy.
    static thread_local std::vector<char> buffer(kCopyBufferSize);
    uint64_t copied = 0;
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(in, buffer.data(), kCopyBufferSize, &got, nullptr))
            throwLastError(source);
        if (got == 0)
            break;
        writeOrThrow(out, buffer.data(), got, destination);
        copied += got;
        // The caller's guard removes the new file on the way out.
        if (progress && !progress(copied))
            throw WorkCancelled{};
    }
    FILETIME written;
    if (GetFileTime(in, nullptr, nullptr, &written))
        SetFileTime(out, nullptr, nullptr, &written);
}

// Copies source to a new temporary file beside destination and returns its path; on failure
// the temporary file is gone, also when progress stops it.
std::string copyToTemp(const std::string& source, const std::string& destination, CopyFlush flush,
                       const CopyProgress& progress) {
    FileHandle in(openCopySource(source));
    // Only a destination that exists can be the source or read-only. Under Wine every look-up
    // of a name that does not exist reads its whole folder, so a new copy is looked up once:
    // into a folder of thousands of staged copies, each look-up saved is a folder read.
    const DWORD attributes = attributesOf(destination);
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        if (sameFile(in.get(), destination))
            throw RuntimeError(errPermissionDenied,
                               "A file cannot be copied onto itself: " + destination);
        // A read-only destination would only fail the rename, after the copy (or the whole
        // set of copies) is made.
        if (attributes & FILE_ATTRIBUTE_READONLY)
            throwFileError(ERROR_ACCESS_DENIED, destination);
    }

    std::string tempPath;
    FileHandle out(createTempBeside(destination, tempPath));
    TempFileGuard guard(tempPath, out);
    copyData(in.get(), out.get(), source, destination, progress);
    if (flush == CopyFlush::ToDisk && !FlushFileBuffers(out.get()))
        throwLastError(destination);
    out.close();
    guard.release();
    return tempPath;
}

// A copy held open by the handle that wrote it, which may also delete it.
class Win32OpenCopy final : public OpenCopy {
  public:
    Win32OpenCopy(HANDLE file, std::string path) : file_(file), path_(std::move(path)) {}
    void remove() override {
        CriticalErrorsQuiet quiet;
        FILE_DISPOSITION_INFO disposition{TRUE};
        if (!SetFileInformationByHandle(file_.get(), FileDispositionInfo, &disposition,
                                        sizeof disposition))
            throwFileError(GetLastError(), path_);
        file_.close();
    }
    intptr_t readHandle() const override { return reinterpret_cast<intptr_t>(file_.get()); }

  private:
    FileHandle file_;
    std::string path_;
};

// Copies source to destination, which must not exist yet: nothing when it does.
std::unique_ptr<OpenCopy> copyToNewFile(const std::string& source, const std::string& destination,
                                        const CopyProgress& progress) {
    FileHandle in(openCopySource(source));
    // Readers (the archiving library) may open it meanwhile or read it through this handle,
    // which can also delete it.
    FileHandle out(CreateFileW(winPath(destination).c_str(), GENERIC_READ | GENERIC_WRITE | DELETE,
                               FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!out.valid()) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS)
            return nullptr;
        throwFileError(error, destination);
    }
    TempFileGuard guard(destination, out);
    copyData(in.get(), out.get(), source, destination, progress);
    guard.release();
    return std::make_unique<Win32OpenCopy>(out.release(), destination);
}

// Creates path as disposition says, writes bytes (in pieces a DWORD can count) and, when asked,
// flushes them. On failure no file of that name is left: a half-written file would be read
// back as if it were whole.
void writeWholeFile(const std::string& path, const std::string& bytes, DWORD disposition,
                    bool flush) {
    CriticalErrorsQuiet quiet;
    FileHandle out(CreateFileW(winPath(path).c_str(), GENERIC_WRITE, 0, nullptr, disposition,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!out.valid())
        throwFileError(GetLastError(), path);
    try {
        constexpr size_t kPiece = size_t{1} << 20;
        for (size_t at = 0; at < bytes.size(); at += kPiece)
            writeOrThrow(out.get(), bytes.data() + at,
                         static_cast<DWORD>(std::min(bytes.size() - at, kPiece)), path);
        if (flush && !FlushFileBuffers(out.get()))
            throwLastError(path);
        out.close();
    } catch (const RuntimeError&) {
        out.close();
        DeleteFileW(winPath(path).c_str());
        throw;
    }
}

void appendBytes(const std::string& path, const std::string& bytes) {
    CriticalErrorsQuiet quiet;
    // Append access only: every write lands at the end, even with another process appending
    // to the same file, and the bytes already there cannot be touched.
    FileHandle out(CreateFileW(winPath(path).c_str(), FILE_APPEND_DATA | SYNCHRONIZE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!out.valid())
        throwFileError(GetLastError(), path);
    writeOrThrow(out.get(), bytes.data(), static_cast<DWORD>(bytes.size()), path);
    if (!FlushFileBuffers(out.get()))
        throwLastError(path);
}

} // namespace

std::string Win32FileSystem::copyToTemporary(const std::string& source,
                                             const std::string& destination, CopyFlush flush,
                                             const CopyProgress& progress) {
    CriticalErrorsQuiet quiet;
    return copyToTemp(source, destination, flush, progress);
}

std::unique_ptr<OpenCopy> Win32FileSystem::copyToNew(const std::string& source,
                                                     const std::string& destination,
                                                     const CopyProgress& progress) {
    CriticalErrorsQuiet quiet;
    return copyToNewFile(source, destination, progress);
}

void Win32FileSystem::moveOver(const std::string& temporary, const std::string& destination) {
    CriticalErrorsQuiet quiet;
    if (!MoveFileExW(winPath(temporary).c_str(), winPath(destination).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        throwFileError(GetLastError(), destination);
}

void Win32FileSystem::writeFile(const std::string& path, const std::string& bytes, WriteMode mode) {
    switch (mode) {
    case WriteMode::Replace:
        writeWholeFile(path, bytes, CREATE_ALWAYS, false);
        return;
    case WriteMode::New:
        writeWholeFile(path, bytes, CREATE_NEW, true);
        return;
    case WriteMode::Append:
        appendBytes(path, bytes);
        return;
    }
}

} // namespace ch
