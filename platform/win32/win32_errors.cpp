#include "platform/win32/win32_errors.h"

#include <windows.h>

#include "platform/runtime_error.h"
#include "platform/win32/win32_text.h"

namespace ch {
namespace {

struct Row {
    DWORD code;
    int number;
    const char* words;
};

constexpr Row table[] = {
    {ERROR_FILE_NOT_FOUND, errFileNotFound, "File not found"},
    {ERROR_NO_MORE_FILES, errFileNotFound, "File not found"},
    {ERROR_PATH_NOT_FOUND, errPathNotFound, "Path not found"},
    {ERROR_BAD_PATHNAME, errPathNotFound, "Path not found"},
    {ERROR_DIRECTORY, errPathNotFound, "The folder name is not valid"},
    {ERROR_BAD_NETPATH, errPathNotFound, "The network path was not found"},
    {ERROR_BAD_NET_NAME, errPathNotFound, "The network name was not found"},
    {ERROR_INVALID_NAME, errBadFileNameOrNumber, "The file name is not valid"},
    {ERROR_FILENAME_EXCED_RANGE, errBadFileNameOrNumber, "The file name or path is too long"},
    {ERROR_ALREADY_EXISTS, errPathFileAccess, "A file or folder of that name already exists"},
    {ERROR_FILE_EXISTS, errPathFileAccess, "A file or folder of that name already exists"},
    {ERROR_DIR_NOT_EMPTY, errPathFileAccess, "The folder is not empty"},
    {ERROR_CANNOT_MAKE, errPathFileAccess, "The file or folder cannot be created"},
    {ERROR_ACCESS_DENIED, errPermissionDenied, "Access is denied"},
    {ERROR_WRITE_PROTECT, errPermissionDenied, "The disk is write-protected"},
    {ERROR_SHARING_VIOLATION, errPermissionDenied, "The file is in use by another program"},
    {ERROR_LOCK_VIOLATION, errPermissionDenied, "Part of the file is locked by another program"},
    {ERROR_DISK_FULL, errDiskFull, "The disk is full"},
    {ERROR_HANDLE_DISK_FULL, errDiskFull, "The disk is full"},
    {ERROR_NOT_READY, errDiskNotReady, "The drive is not ready"},
    {ERROR_INVALID_DRIVE, errDeviceUnavailable, "The drive does not exist"},
    {ERROR_DEV_NOT_EXIST, errDeviceUnavailable, "The device is no longer available"},
    {ERROR_UNRECOGNIZED_MEDIA, errDeviceUnavailable, "The disk in the drive cannot be read"},
    {ERROR_CRC, errDeviceIO, "Data error (cyclic redundancy check)"},
    {ERROR_READ_FAULT, errDeviceIO, "The device cannot be read"},
    {ERROR_WRITE_FAULT, errDeviceIO, "The device cannot be written"},
    {ERROR_GEN_FAILURE, errDeviceIO, "The device is not working"},
    {ERROR_NETNAME_DELETED, errDeviceIO, "The network connection was lost"},
    {ERROR_UNEXP_NET_ERR, errDeviceIO, "An unexpected network error occurred"},
    {ERROR_IO_DEVICE, errDeviceIO, "Device I/O error"},
};

} // namespace

MappedError mapWin32Error(unsigned long code) {
    for (const Row& row : table)
        if (row.code == code)
            return {row.number, row.words};
    return {errPathFileAccess, systemMessage(code)};
}

void throwWin32Error(unsigned long code, const std::string& path) {
    MappedError mapped = mapWin32Error(code);
    throw RuntimeError(mapped.number, mapped.words + ": " + path, code);
}

void throwLastError(const std::string& path) {
    throwWin32Error(GetLastError(), path);
}

unsigned long attributesOf(const std::string& path) {
    return GetFileAttributesW(winPath(path).c_str());
}

void throwFileError(unsigned long code, const std::string& path) {
    if (code == ERROR_ACCESS_DENIED) {
        DWORD attributes = attributesOf(path);
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
            throw RuntimeError(errPathFileAccess, "This is a folder, not a file: " + path, code);
    }
    throwWin32Error(code, path);
}

} // namespace ch
