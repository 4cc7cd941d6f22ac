#pragma once
// The writer's last stage when a password is set: each entry's packed data is encrypted as
// it goes out, with a salt of its own (WinZip AES, AE-2, AES-256).
#include <optional>
#include <string>

#include "azip32/winzip_aes.h"

namespace ch::azip {

class EntrySealer {
  public:
    explicit EntrySealer(const std::string& password) : password_(password) {}
    ~EntrySealer();
    EntrySealer(const EntrySealer&) = delete;
    EntrySealer& operator=(const EntrySealer&) = delete;

    // Starts an entry with fresh keys; returns the salt and password check that go before
    // its data.
    std::string begin();
    void seal(unsigned char* data, size_t size) { cipher_->encrypt(data, size); }
    // The entry's data is written again from its start.
    void restart() { cipher_->restart(); }
    // The tag that goes after the entry's data.
    std::string end();

  private:
    std::string password_;
    std::optional<aes::EntryCipher> cipher_;
};

} // namespace ch::azip
