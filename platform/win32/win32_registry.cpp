#include "platform/win32/win32_registry.h"

#include <windows.h>

namespace ch {
namespace {

// Keys cross the Registry interface as 32-bit values. Handles and the predefined roots
// (HKEY_LOCAL_MACHINE is 0x80000002) are 32-bit values sign-extended on 64-bit Windows,
// so a key widens by sign extension, never zero extension.
HKEY toKey(uint32_t key) {
    return reinterpret_cast<HKEY>(static_cast<intptr_t>(static_cast<int32_t>(key)));
}

// The 32-bit value of an opened key; false for a handle that would not come back whole.
bool fromKey(HKEY opened, uint32_t& key) {
    key = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(opened));
    return toKey(key) == opened;
}

} // namespace

long Win32Registry::openKey(uint32_t root, const std::string& subKey, uint32_t options,
                            uint32_t access, uint32_t& key) {
    HKEY opened = nullptr;
    LONG status = RegOpenKeyExA(toKey(root), subKey.c_str(), options, access, &opened);
    if (status == ERROR_SUCCESS && !fromKey(opened, key)) {
        RegCloseKey(opened);
        return ERROR_INVALID_HANDLE;
    }
    return status;
}

long Win32Registry::queryValue(uint32_t key, const std::string& valueName, uint32_t& type,
                               unsigned char* data, uint32_t& size) {
    DWORD valueType = 0;
    DWORD dataSize = size;
    LONG status =
        RegQueryValueExA(toKey(key), valueName.c_str(), nullptr, &valueType, data, &dataSize);
    type = valueType;
    size = dataSize;
    return status;
}

long Win32Registry::closeKey(uint32_t key) {
    return RegCloseKey(toKey(key));
}

} // namespace ch
