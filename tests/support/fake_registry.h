#pragma once
// An in-memory registry with the status codes of the real one: keys and values with their
// type and raw bytes, keys that refuse reads when they do not allow read access, values too
// long to read, and a record of every read.
#include <map>
#include <string>
#include <vector>

#include "platform/services.h"

namespace ch::test {

constexpr long kRegSuccess = 0;
constexpr long kRegFileNotFound = 2;
constexpr long kRegAccessDenied = 5;
constexpr long kRegMoreData = 234;

constexpr uint32_t kRegSzType = 1;
constexpr uint32_t kRegExpandSzType = 2;
constexpr uint32_t kRegDwordType = 4;

struct RegRead {
    uint32_t root;
    std::string subKey;
    std::string value;
};

class FakeRegistry : public Registry {
  public:
    // Creates the key if needed. Names are compared case-insensitively, as in the registry.
    void setValue(uint32_t root, const std::string& subKey, const std::string& name, uint32_t type,
                  const std::string& bytes);
    void setString(uint32_t root, const std::string& subKey, const std::string& name,
                   const std::string& text); // REG_SZ with its terminator
    void setDword(uint32_t root, const std::string& subKey, const std::string& name,
                  uint32_t value);
    // Reads fail with access denied unless allowedAccess holds all of KEY_READ_ACCESS.
    void restrictKey(uint32_t root, const std::string& subKey, uint32_t allowedAccess);

    RegistryValue readString(uint32_t root, const std::string& key,
                             const std::string& value) override;

    std::vector<RegRead> reads;

  private:
    struct Value {
        uint32_t type;
        std::string bytes;
    };
    struct Key {
        uint32_t allowedAccess = 0xFFFFFFFFu;
        std::map<std::string, Value> values; // lower-case names
    };
    static std::string path(uint32_t root, const std::string& subKey);
    std::map<std::string, Key> keys_; // lower-case "root\subkey"
};

} // namespace ch::test
