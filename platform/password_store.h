#pragma once
// The password of encrypted ZIP Backups, kept for the Windows user who set it and nobody else
// (DPAPI in the product), in a file of that user's application data; never in plain text and
// never in defaultdrive.ini. One implementation on Win32, one in memory for the tests.
#include <optional>
#include <string>

namespace ch {

class PasswordStore {
  public:
    virtual ~PasswordStore() = default;
    // Whether a password is stored; quick, reads nothing but whether the file is there.
    virtual bool stored() = 0;
    // The stored password (UTF-8), nullopt when none is. Throws RuntimeError when it is there
    // but cannot be read or unprotected (set by another user, damaged).
    virtual std::optional<std::string> load() = 0;
    // Replaces the stored password with a complete new one, or leaves the old one; throws
    // RuntimeError.
    virtual void save(const std::string& password) = 0;
    // Removes it; nothing happens when none is stored. Throws RuntimeError.
    virtual void remove() = 0;
};

} // namespace ch
