#include "tests/support/fake_registry.h"

#include <algorithm>

namespace ch::test {

namespace {

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

} // namespace

std::string FakeRegistry::path(uint32_t root, const std::string& subKey) {
    return std::to_string(root) + "\\" + lower(subKey);
}

void FakeRegistry::setValue(uint32_t root, const std::string& subKey, const std::string& name,
                            uint32_t type, const std::string& bytes) {
    keys_[path(root, subKey)].values[lower(name)] = {type, bytes};
}

void FakeRegistry::setString(uint32_t root, const std::string& subKey, const std::string& name,
                             const std::string& text) {
    setValue(root, subKey, name, kRegSzType, text + '\0');
}

void FakeRegistry::setDword(uint32_t root, const std::string& subKey, const std::string& name,
                            uint32_t value) {
    std::string bytes(4, '\0');
    for (int i = 0; i < 4; ++i)
        bytes[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
    setValue(root, subKey, name, kRegDwordType, bytes);
}

void FakeRegistry::restrictKey(uint32_t root, const std::string& subKey, uint32_t allowedAccess) {
    keys_[path(root, subKey)].allowedAccess = allowedAccess;
}

RegistryValue FakeRegistry::readString(uint32_t root, const std::string& key,
                                       const std::string& value) {
    reads.push_back({root, key, value});
    RegistryValue result;
    auto it = keys_.find(path(root, key));
    if (it == keys_.end()) {
        result.status = kRegFileNotFound;
        return result;
    }
    if ((KEY_READ_ACCESS & ~it->second.allowedAccess) != 0) {
        result.status = kRegAccessDenied;
        return result;
    }
    auto found = it->second.values.find(lower(value));
    if (found == it->second.values.end())
        result.status = kRegFileNotFound;
    else if (found->second.bytes.size() > kRegistryValueLimit)
        result.status = kRegMoreData;
    else
        result = {kRegSuccess, found->second.type, found->second.bytes};
    return result;
}

} // namespace ch::test
