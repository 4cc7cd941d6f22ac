#pragma once
// An in-memory registry with the status codes of the real one: keys and values with their
// type and raw bytes, keys that refuse opens asking for more than they allow, and a record of
// every open (with its access mask) and close.
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/services.h"

namespace ch::test {

constexpr long kRegSuccess = 0;
constexpr long kRegFileNotFound = 2;
constexpr long kRegAccessDenied = 5;
constexpr long kRegInvalidHandle = 6;
constexpr long kRegMoreData = 234;

constexpr uint32_t kRegSzType = 1;
constexpr uint32_t kRegExpandSzType = 2;
constexpr uint32_t kRegDwordType = 4;

struct RegOpen {
    uint32_t root;
    std::string subKey;
    uint32_t options;
    uint32_t access;
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
    // Opens asking for any right outside allowedAccess fail with access denied.
    void restrictKey(uint32_t root, const std::string& subKey, uint32_t allowedAccess);

    long openKey(uint32_t root, const std::string& subKey, uint32_t options, uint32_t access,
                 uint32_t& key) override;
    long queryValue(uint32_t key, const std::string& valueName, uint32_t& type, unsigned char* data,
                    uint32_t& size) override;
    long closeKey(uint32_t key) override;

    std::vector<RegOpen> opens;
    std::vector<uint32_t> closes;
    std::set<uint32_t> openHandles() const;

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
    std::map<std::string, Key> keys_;         // lower-case "root\subkey"
    std::map<uint32_t, std::string> handles_; // open handle -> key path
    uint32_t nextHandle_ = 0x100;
};

} // namespace ch::test
