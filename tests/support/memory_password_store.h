#pragma once
// A PasswordStore in memory; loading can be made to fail as DPAPI does for another user.
#include "platform/password_store.h"
#include "platform/runtime_error.h"

namespace ch::test {

class MemoryPasswordStore : public PasswordStore {
  public:
    std::optional<std::string> password;
    bool unreadable = false;

    bool stored() override { return password.has_value(); }
    std::optional<std::string> load() override {
        if (unreadable && password)
            throw RuntimeError(errPermissionDenied, "the stored password cannot be unprotected");
        return password;
    }
    void save(const std::string& p) override { password = p; }
    void remove() override { password.reset(); }
};

} // namespace ch::test
