#pragma once
// WinZip's AES encryption of ZIP entries (AE-2, AES-256): compression method 99, the real
// method in extra field 0x9901, and before each entry's data a random salt and a two-byte
// password check, after it a ten-byte HMAC-SHA1 tag. The keys come from the password by
// PBKDF2-HMAC-SHA1; the data is AES in counter mode with a little-endian counter from 1.
// Used by the archiving library to write such entries and by the program to read them.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "azip32/crypto.h"

namespace ch::azip::aes {

constexpr uint16_t kMethodAes = 99;
constexpr uint16_t kExtraId = 0x9901;
constexpr uint16_t kVersionAe2 = 2;
constexpr uint8_t kStrength256 = 3;
constexpr uint16_t kFlagEncrypted = 1;
constexpr size_t kSaltSize = 16;
constexpr size_t kVerifierSize = 2;
constexpr size_t kTagSize = 10;
constexpr size_t kHeaderSize = kSaltSize + kVerifierSize;
// What encryption adds to an entry's data.
constexpr size_t kOverhead = kHeaderSize + kTagSize;

// The 0x9901 extra field of an AE-2, AES-256 entry whose data is packed with realMethod.
std::string extraField(uint16_t realMethod);

// The keys of one entry. encrypt and decrypt go on where the last call stopped.
class EntryCipher {
  public:
    EntryCipher(std::string_view password, const uint8_t* salt);
    ~EntryCipher();
    EntryCipher(const EntryCipher&) = delete;
    EntryCipher& operator=(const EntryCipher&) = delete;

    // The two bytes stored after the salt; another password gives others (mostly).
    const uint8_t* verifier() const { return verifier_; }
    void encrypt(uint8_t* data, size_t size);
    void decrypt(uint8_t* data, size_t size);
    // The tag of everything encrypted or decrypted since the start; once.
    void tag(uint8_t (&out)[kTagSize]);
    // Back to the start of the data, for writing it again.
    void restart();

  private:
    void applyKeystream(uint8_t* data, size_t size);

    uint8_t macKey_[crypto::kAes256KeySize];
    uint8_t verifier_[kVerifierSize];
    std::unique_ptr<crypto::Aes256> aes_;
    std::unique_ptr<crypto::HmacSha1> mac_;
    uint8_t counter_[crypto::kAesBlockSize];
    static constexpr size_t kKeystreamBlocks = 1024;
    uint8_t keystream_[kKeystreamBlocks * crypto::kAesBlockSize];
    size_t keystreamUsed_ = sizeof keystream_;
};

} // namespace ch::azip::aes
