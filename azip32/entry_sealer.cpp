#include "azip32/entry_sealer.h"

#include "azip32/azip32.h"
#include "azip32/failure.h"

namespace ch::azip {

EntrySealer::~EntrySealer() {
    crypto::wipe(password_.data(), password_.size());
}

std::string EntrySealer::begin() {
    uint8_t salt[aes::kSaltSize];
    try {
        crypto::randomBytes(salt, sizeof salt);
        cipher_.reset();
        cipher_.emplace(password_, salt);
    } catch (const crypto::CryptoError& e) {
        throw Failure(AZIP_ERR_INTERNAL, e.what());
    }
    std::string header(reinterpret_cast<const char*>(salt), sizeof salt);
    header.append(reinterpret_cast<const char*>(cipher_->verifier()), aes::kVerifierSize);
    return header;
}

std::string EntrySealer::end() {
    uint8_t tag[aes::kTagSize];
    cipher_->tag(tag);
    cipher_.reset();
    return std::string(reinterpret_cast<const char*>(tag), sizeof tag);
}

} // namespace ch::azip
