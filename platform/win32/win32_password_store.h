#pragma once
// The ZIP Backups' password, protected with DPAPI for the current Windows user
// (CryptProtectData) in "Chathoard\password.bin" of the user's roaming application data.
#include <string>

#include "platform/password_store.h"

namespace ch {

class Win32PasswordStore : public PasswordStore {
  public:
    // folder: where the file is kept; empty for the user's application data.
    explicit Win32PasswordStore(std::wstring folder = {}) : folder_(std::move(folder)) {}

    bool stored() override;
    std::optional<std::string> load() override;
    void save(const std::string& password) override;
    void remove() override;

  private:
    std::wstring folder();
    std::wstring file() { return folder() + L"\\password.bin"; }

    std::wstring folder_;
};

} // namespace ch
