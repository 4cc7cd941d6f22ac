#include "azip32/winzip_aes.h"

#include <algorithm>
#include <cstring>

namespace ch::azip::aes {
namespace {

constexpr unsigned kIterations = 1000;

} // namespace

std::string extraField(uint16_t realMethod) {
    const char field[] = {static_cast<char>(kExtraId & 0xFF),
                          static_cast<char>(kExtraId >> 8),
                          7,
                          0, // size of what follows
                          static_cast<char>(kVersionAe2),
                          0,
                          'A',
                          'E',
                          static_cast<char>(kStrength256),
                          static_cast<char>(realMethod & 0xFF),
                          static_cast<char>(realMethod >> 8)};
    return std::string(field, sizeof field);
}

EntryCipher::EntryCipher(std::string_view password, const uint8_t* salt) {
    // The AES key, the HMAC key and the password check, one after the other.
    uint8_t keys[2 * crypto::kAes256KeySize + kVerifierSize];
    uint8_t aesKey[crypto::kAes256KeySize];
    crypto::pbkdf2HmacSha1(password.data(), password.size(), salt, kSaltSize, kIterations, keys,
                           sizeof keys);
    std::memcpy(aesKey, keys, sizeof aesKey);
    std::memcpy(macKey_, keys + crypto::kAes256KeySize, sizeof macKey_);
    std::memcpy(verifier_, keys + 2 * crypto::kAes256KeySize, kVerifierSize);
    crypto::wipe(keys, sizeof keys);
    try {
        aes_ = std::make_unique<crypto::Aes256>(aesKey);
    } catch (...) {
        crypto::wipe(aesKey, sizeof aesKey);
        crypto::wipe(macKey_, sizeof macKey_);
        throw;
    }
    crypto::wipe(aesKey, sizeof aesKey);
    restart();
}

EntryCipher::~EntryCipher() {
    crypto::wipe(macKey_, sizeof macKey_);
    crypto::wipe(keystream_, sizeof keystream_);
}

void EntryCipher::restart() {
    mac_ = std::make_unique<crypto::HmacSha1>(macKey_, sizeof macKey_);
    std::memset(counter_, 0, sizeof counter_);
    keystreamUsed_ = sizeof keystream_;
}

void EntryCipher::applyKeystream(uint8_t* data, size_t size) {
    while (size > 0) {
        if (keystreamUsed_ == sizeof keystream_) {
            for (size_t b = 0; b < kKeystreamBlocks; ++b) {
                // The counter counts up from 1, least significant byte first.
                for (size_t i = 0; i < sizeof counter_ && ++counter_[i] == 0; ++i) {
                }
                std::memcpy(keystream_ + b * crypto::kAesBlockSize, counter_, sizeof counter_);
            }
            aes_->encryptBlocks(keystream_, keystream_, kKeystreamBlocks);
            keystreamUsed_ = 0;
        }
        const size_t n = std::min(size, sizeof keystream_ - keystreamUsed_);
        const uint8_t* k = keystream_ + keystreamUsed_;
        for (size_t i = 0; i < n; ++i)
            data[i] ^= k[i];
        keystreamUsed_ += n;
        data += n;
        size -= n;
    }
}

void EntryCipher::encrypt(uint8_t* data, size_t size) {
    applyKeystream(data, size);
    mac_->update(data, size);
}

void EntryCipher::decrypt(uint8_t* data, size_t size) {
    mac_->update(data, size);
    applyKeystream(data, size);
}

void EntryCipher::tag(uint8_t (&out)[kTagSize]) {
    uint8_t digest[crypto::kSha1Size];
    mac_->finish(digest);
    std::memcpy(out, digest, kTagSize);
    crypto::wipe(digest, sizeof digest);
}

} // namespace ch::azip::aes
