// The product's cryptography: Windows' own CNG (bcrypt.dll).
#include "azip32/crypto.h"

#include <string>
#include <windows.h>

#include <bcrypt.h>

namespace ch::crypto {
namespace {

void check(NTSTATUS status, const char* what) {
    if (status < 0) {
        char code[16];
        wsprintfA(code, "0x%08lX", static_cast<unsigned long>(status));
        throw CryptoError(std::string("the system's cryptography failed (") + what + ", " + code +
                          ")");
    }
}

// Providers are opened once per process and shared; CNG allows their use from any thread.
class Provider {
  public:
    Provider(const wchar_t* algorithm, ULONG flags) {
        status_ = BCryptOpenAlgorithmProvider(&handle_, algorithm, nullptr, flags);
    }
    ~Provider() {
        if (status_ >= 0)
            BCryptCloseAlgorithmProvider(handle_, 0);
    }
    BCRYPT_ALG_HANDLE get(const char* what) const {
        check(status_, what);
        return handle_;
    }

  private:
    BCRYPT_ALG_HANDLE handle_ = nullptr;
    NTSTATUS status_ = 0;
};

BCRYPT_ALG_HANDLE hmacSha1Provider() {
    static const Provider provider(BCRYPT_SHA1_ALGORITHM, BCRYPT_ALG_HANDLE_HMAC_FLAG);
    return provider.get("opening HMAC-SHA1");
}

BCRYPT_ALG_HANDLE aesEcbProvider() {
    struct Ecb : Provider {
        Ecb() : Provider(BCRYPT_AES_ALGORITHM, 0) {
            BCRYPT_ALG_HANDLE h = get("opening AES");
            check(BCryptSetProperty(
                      h, BCRYPT_CHAINING_MODE,
                      reinterpret_cast<PUCHAR>(const_cast<wchar_t*>(BCRYPT_CHAIN_MODE_ECB)),
                      sizeof BCRYPT_CHAIN_MODE_ECB, 0),
                  "choosing AES-ECB");
        }
    };
    static const Ecb provider;
    return provider.get("opening AES");
}

ULONG ulong(size_t size) {
    if (size > 0xFFFFFFFFu)
        throw CryptoError("too much data for one call of the system's cryptography");
    return static_cast<ULONG>(size);
}

} // namespace

void pbkdf2HmacSha1(const void* password, size_t passwordSize, const uint8_t* salt, size_t saltSize,
                    unsigned iterations, uint8_t* key, size_t keySize) {
    if (iterations == 0)
        throw CryptoError("PBKDF2 needs at least one iteration");
    check(BCryptDeriveKeyPBKDF2(hmacSha1Provider(),
                                static_cast<PUCHAR>(const_cast<void*>(password)),
                                ulong(passwordSize), const_cast<PUCHAR>(salt), ulong(saltSize),
                                iterations, key, ulong(keySize), 0),
          "deriving a key");
}

void randomBytes(uint8_t* out, size_t size) {
    check(BCryptGenRandom(nullptr, out, ulong(size), BCRYPT_USE_SYSTEM_PREFERRED_RNG),
          "making random bytes");
}

void wipe(void* data, size_t size) {
    SecureZeroMemory(data, size);
}

struct Aes256::State {
    BCRYPT_KEY_HANDLE key = nullptr;
};

Aes256::Aes256(const uint8_t (&key)[kAes256KeySize]) : state_(std::make_unique<State>()) {
    check(BCryptGenerateSymmetricKey(aesEcbProvider(), &state_->key, nullptr, 0,
                                     const_cast<PUCHAR>(key), kAes256KeySize, 0),
          "making an AES key");
}

Aes256::~Aes256() {
    BCryptDestroyKey(state_->key);
}

void Aes256::encryptBlocks(const uint8_t* in, uint8_t* out, size_t blockCount) {
    const ULONG size = ulong(blockCount * kAesBlockSize);
    ULONG written = 0;
    check(BCryptEncrypt(state_->key, const_cast<PUCHAR>(in), size, nullptr, nullptr, 0, out, size,
                        &written, 0),
          "encrypting");
    if (written != size)
        throw CryptoError("the system's AES encrypted fewer bytes than asked");
}

struct HmacSha1::State {
    BCRYPT_HASH_HANDLE hash = nullptr;
};

HmacSha1::HmacSha1(const uint8_t* key, size_t keySize) : state_(std::make_unique<State>()) {
    check(BCryptCreateHash(hmacSha1Provider(), &state_->hash, nullptr, 0, const_cast<PUCHAR>(key),
                           ulong(keySize), 0),
          "starting HMAC-SHA1");
}

HmacSha1::~HmacSha1() {
    BCryptDestroyHash(state_->hash);
}

void HmacSha1::update(const uint8_t* data, size_t size) {
    check(BCryptHashData(state_->hash, const_cast<PUCHAR>(data), ulong(size), 0),
          "computing HMAC-SHA1");
}

void HmacSha1::finish(uint8_t (&digest)[kSha1Size]) {
    check(BCryptFinishHash(state_->hash, digest, kSha1Size, 0), "finishing HMAC-SHA1");
}

} // namespace ch::crypto
