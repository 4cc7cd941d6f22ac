#pragma once
// The few cryptographic primitives that encrypted archives need, each from a maintained
// implementation: Windows' own CNG (bcrypt.dll) in the product, Debian's nettle in the native
// build. Nothing here is written by hand. The archiving library and the program both link
// this one interface, so the library stays a DLL of its own that needs nothing of the
// program's. Every failure of the system's provider throws CryptoError.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>

namespace ch::crypto {

class CryptoError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

constexpr size_t kAesBlockSize = 16;
constexpr size_t kAes256KeySize = 32;
constexpr size_t kSha1Size = 20;

// PBKDF2 with HMAC-SHA1 (RFC 8018), keySize bytes into key.
void pbkdf2HmacSha1(const void* password, size_t passwordSize, const uint8_t* salt, size_t saltSize,
                    unsigned iterations, uint8_t* key, size_t keySize);

// Bytes from the system's cryptographic random generator.
void randomBytes(uint8_t* out, size_t size);

// Clears memory in a way the compiler may not drop, for keys and passwords after use.
void wipe(void* data, size_t size);

// The AES-256 block function: whole blocks, each encrypted on its own (ECB). Modes are
// built on it by the caller.
class Aes256 {
  public:
    explicit Aes256(const uint8_t (&key)[kAes256KeySize]);
    ~Aes256();
    Aes256(const Aes256&) = delete;
    Aes256& operator=(const Aes256&) = delete;

    // in and out may be the same buffer.
    void encryptBlocks(const uint8_t* in, uint8_t* out, size_t blockCount);

  private:
    struct State;
    std::unique_ptr<State> state_;
};

// HMAC-SHA1 (RFC 2104) over data given in any number of pieces.
class HmacSha1 {
  public:
    HmacSha1(const uint8_t* key, size_t keySize);
    ~HmacSha1();
    HmacSha1(const HmacSha1&) = delete;
    HmacSha1& operator=(const HmacSha1&) = delete;

    void update(const uint8_t* data, size_t size);
    // Once, after the last update.
    void finish(uint8_t (&digest)[kSha1Size]);

  private:
    struct State;
    std::unique_ptr<State> state_;
};

} // namespace ch::crypto
