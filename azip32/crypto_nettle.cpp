// The native build's cryptography: Debian's nettle, and the kernel's random generator.
#include "azip32/crypto.h"

#include <nettle/aes.h>
#include <nettle/hmac.h>
#include <nettle/pbkdf2.h>
#include <string.h>
#include <sys/random.h>

namespace ch::crypto {

void pbkdf2HmacSha1(const void* password, size_t passwordSize, const uint8_t* salt, size_t saltSize,
                    unsigned iterations, uint8_t* key, size_t keySize) {
    if (iterations == 0)
        throw CryptoError("PBKDF2 needs at least one iteration");
    ::pbkdf2_hmac_sha1(passwordSize, static_cast<const uint8_t*>(password), iterations, saltSize,
                       salt, keySize, key);
}

void randomBytes(uint8_t* out, size_t size) {
    while (size > 0) {
        const ssize_t n = getrandom(out, size, 0);
        if (n < 0)
            throw CryptoError("the system's random generator failed");
        out += n;
        size -= static_cast<size_t>(n);
    }
}

void wipe(void* data, size_t size) {
    explicit_bzero(data, size);
}

struct Aes256::State {
    aes256_ctx context;
};

Aes256::Aes256(const uint8_t (&key)[kAes256KeySize]) : state_(std::make_unique<State>()) {
    aes256_set_encrypt_key(&state_->context, key);
}

Aes256::~Aes256() {
    wipe(&state_->context, sizeof state_->context);
}

void Aes256::encryptBlocks(const uint8_t* in, uint8_t* out, size_t blockCount) {
    aes256_encrypt(&state_->context, blockCount * kAesBlockSize, out, in);
}

struct HmacSha1::State {
    hmac_sha1_ctx context;
};

HmacSha1::HmacSha1(const uint8_t* key, size_t keySize) : state_(std::make_unique<State>()) {
    hmac_sha1_set_key(&state_->context, keySize, key);
}

HmacSha1::~HmacSha1() {
    wipe(&state_->context, sizeof state_->context);
}

void HmacSha1::update(const uint8_t* data, size_t size) {
    hmac_sha1_update(&state_->context, size, data);
}

void HmacSha1::finish(uint8_t (&digest)[kSha1Size]) {
    hmac_sha1_digest(&state_->context, kSha1Size, digest);
}

} // namespace ch::crypto
