#include "platform/win32/win32_registry.h"

#include <windows.h>

namespace ch {
namespace {

// Roots arrive as the API's 32-bit numbers. The predefined roots (HKEY_LOCAL_MACHINE is
// 0x80000002) are 32-bit values sign-extended on 64-bit Windows, so a root widens by sign
// extension, never zero extension.
HKEY toKey(uint32_t root) {
    return reinterpret_cast<HKEY>(static_cast<intptr_t>(static_cast<int32_t>(root)));
}

} // namespace

RegistryValue Win32Registry::readString(uint32_t root, const std::string& key,
                                        const std::string& value) {
    RegistryValue result;
    HKEY opened = nullptr;
    result.status = RegOpenKeyExA(toKey(root), key.c_str(), 0, KEY_READ_ACCESS, &opened);
    if (result.status != ERROR_SUCCESS)
        return result;
    unsigned char buffer[kRegistryValueLimit] = {};
    DWORD type = 0;
    DWORD size = sizeof buffer;
    result.status = RegQueryValueExA(opened, value.c_str(), nullptr, &type, buffer, &size);
    RegCloseKey(opened);
    // A size past the buffer is a faulty driver's claim: nothing of the value can be trusted.
    if (result.status == ERROR_SUCCESS && size > sizeof buffer)
        result.status = ERROR_MORE_DATA;
    if (result.status != ERROR_SUCCESS)
        return result;
    result.type = type;
    result.bytes.assign(reinterpret_cast<const char*>(buffer), size);
    return result;
}

} // namespace ch
