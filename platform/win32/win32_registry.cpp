#include "platform/win32/win32_registry.h"

#include <windows.h>

namespace ch {
namespace {

static_assert(sizeof(HKEY) == sizeof(uint32_t), "the program is built for 32-bit Windows");

HKEY toKey(uint32_t key) {
    return reinterpret_cast<HKEY>(static_cast<uintptr_t>(key));
}

} // namespace

long Win32Registry::openKey(uint32_t root, const std::string& subKey, uint32_t options,
                            uint32_t access, uint32_t& key) {
    HKEY opened = nullptr;
    LONG status = RegOpenKeyExA(toKey(root), subKey.c_str(), options, access, &opened);
    if (status == ERROR_SUCCESS)
        key = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(opened));
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
