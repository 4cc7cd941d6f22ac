#include "tests/support/fake_registry.h"

#include <algorithm>
#include <cstring>

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

long FakeRegistry::openKey(uint32_t root, const std::string& subKey, uint32_t options,
                           uint32_t access, uint32_t& key) {
    opens.push_back({root, subKey, options, access});
    auto it = keys_.find(path(root, subKey));
    if (it == keys_.end())
        return kRegFileNotFound;
    if ((access & ~it->second.allowedAccess) != 0)
        return kRegAccessDenied;
    key = nextHandle_++;
    handles_[key] = it->first;
    return kRegSuccess;
}

long FakeRegistry::queryValue(uint32_t key, const std::string& valueName, uint32_t& type,
                              unsigned char* data, uint32_t& size) {
    auto handle = handles_.find(key);
    if (handle == handles_.end())
        return kRegInvalidHandle;
    const auto& values = keys_.at(handle->second).values;
    auto it = values.find(lower(valueName));
    if (it == values.end())
        return kRegFileNotFound;
    const Value& value = it->second;
    type = value.type;
    if (value.bytes.size() > size) {
        size = static_cast<uint32_t>(value.bytes.size());
        return kRegMoreData;
    }
    std::memcpy(data, value.bytes.data(), value.bytes.size());
    size = static_cast<uint32_t>(value.bytes.size());
    return kRegSuccess;
}

long FakeRegistry::closeKey(uint32_t key) {
    closes.push_back(key);
    return handles_.erase(key) == 1 ? kRegSuccess : kRegInvalidHandle;
}

std::set<uint32_t> FakeRegistry::openHandles() const {
    std::set<uint32_t> open;
    for (const auto& [handle, keyPath] : handles_)
        open.insert(handle);
    return open;
}

} // namespace ch::test
