#include "platform/win32/win32_password_store.h"

#include <windows.h>

#include <shlobj.h>
#include <wincrypt.h>

#include <memory>

#include "platform/runtime_error.h"
#include "platform/win32/win32_errors.h"

namespace ch {
namespace {

const wchar_t* const kDescription = L"Chathoard ZIP Backup password";

[[noreturn]] void fail(const std::string& what) {
    const DWORD code = GetLastError();
    throw RuntimeError(errPathFileAccess, what + ": " + mapWin32Error(code).words, code);
}

struct LocalBlob {
    DATA_BLOB blob{0, nullptr};
    ~LocalBlob() {
        if (blob.pbData) {
            SecureZeroMemory(blob.pbData, blob.cbData);
            LocalFree(blob.pbData);
        }
    }
};

struct FileHandle {
    HANDLE h;
    ~FileHandle() {
        if (h != INVALID_HANDLE_VALUE)
            CloseHandle(h);
    }
};

} // namespace

std::wstring Win32PasswordStore::folder() {
    if (!folder_.empty())
        return folder_;
    wchar_t appData[MAX_PATH];
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, appData)))
        throw RuntimeError(errPathNotFound, "the application data folder cannot be found");
    return std::wstring(appData) + L"\\Chathoard";
}

bool Win32PasswordStore::stored() {
    try {
        return GetFileAttributesW(file().c_str()) != INVALID_FILE_ATTRIBUTES;
    } catch (const RuntimeError&) {
        return false;
    }
}

std::optional<std::string> Win32PasswordStore::load() {
    const std::wstring path = file();
    FileHandle f{CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                             nullptr)};
    if (f.h == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND)
            return std::nullopt;
        SetLastError(code);
        fail("the stored password cannot be read");
    }
    const DWORD size = GetFileSize(f.h, nullptr);
    if (size == INVALID_FILE_SIZE || size > 64 * 1024)
        fail("the stored password cannot be read");
    std::unique_ptr<BYTE[]> data(new BYTE[size ? size : 1]);
    DWORD read = 0;
    if (!ReadFile(f.h, data.get(), size, &read, nullptr) || read != size)
        fail("the stored password cannot be read");
    DATA_BLOB in{size, data.get()};
    LocalBlob out;
    // Only the user who stored it, on this Windows account, can unprotect it.
    if (!CryptUnprotectData(&in, nullptr, nullptr, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN,
                            &out.blob))
        fail("the stored password cannot be unprotected (was it stored by another Windows "
             "user?)");
    return std::string(reinterpret_cast<const char*>(out.blob.pbData), out.blob.cbData);
}

void Win32PasswordStore::save(const std::string& password) {
    DATA_BLOB in{static_cast<DWORD>(password.size()),
                 reinterpret_cast<BYTE*>(const_cast<char*>(password.data()))};
    LocalBlob out;
    if (!CryptProtectData(&in, kDescription, nullptr, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN,
                          &out.blob))
        fail("the password cannot be protected");
    const std::wstring dir = folder();
    if (!CreateDirectoryW(dir.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
        fail("the folder for the password cannot be made");
    // A complete new file, then in place of the old one: a failure leaves the old password.
    const std::wstring target = file();
    const std::wstring temp = target + L".new";
    {
        FileHandle f{CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr)};
        if (f.h == INVALID_HANDLE_VALUE)
            fail("the password cannot be stored");
        DWORD written = 0;
        if (!WriteFile(f.h, out.blob.pbData, out.blob.cbData, &written, nullptr) ||
            written != out.blob.cbData || !FlushFileBuffers(f.h)) {
            const DWORD code = GetLastError();
            CloseHandle(f.h);
            f.h = INVALID_HANDLE_VALUE;
            DeleteFileW(temp.c_str());
            SetLastError(code);
            fail("the password cannot be stored");
        }
    }
    if (!MoveFileExW(temp.c_str(), target.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        const DWORD code = GetLastError();
        DeleteFileW(temp.c_str());
        SetLastError(code);
        fail("the password cannot be stored");
    }
}

void Win32PasswordStore::remove() {
    const std::wstring path = file();
    if (!DeleteFileW(path.c_str()) && GetLastError() != ERROR_FILE_NOT_FOUND &&
        GetLastError() != ERROR_PATH_NOT_FOUND)
        fail("the stored password cannot be removed");
}

} // namespace ch
