// Published test vectors for each primitive: RFC 6070 (PBKDF2-HMAC-SHA1), FIPS-197 (AES-256),
// RFC 2202 (HMAC-SHA1). The Windows tests compile this same file against CNG.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "azip32/crypto.h"

namespace ch::crypto {
namespace {

std::string hex(const uint8_t* p, size_t n) {
    static const char digits[] = "0123456789abcdef";
    std::string s;
    for (size_t i = 0; i < n; ++i) {
        s += digits[p[i] >> 4];
        s += digits[p[i] & 15];
    }
    return s;
}

std::vector<uint8_t> bytes(const std::string& s) {
    return {s.begin(), s.end()};
}

std::string pbkdf2(const std::string& password, const std::string& salt, unsigned iterations,
                   size_t size) {
    std::vector<uint8_t> key(size);
    const std::vector<uint8_t> s = bytes(salt);
    pbkdf2HmacSha1(password.data(), password.size(), s.data(), s.size(), iterations, key.data(),
                   size);
    return hex(key.data(), size);
}

TEST(CryptoKnownAnswerTest, Pbkdf2HmacSha1Rfc6070) {
    EXPECT_EQ(pbkdf2("password", "salt", 1, 20), "0c60c80f961f0e71f3a9b524af6012062fe037a6");
    EXPECT_EQ(pbkdf2("password", "salt", 2, 20), "ea6c014dc72d6f8ccd1ed92ace1d41f0d8de8957");
    EXPECT_EQ(pbkdf2("password", "salt", 4096, 20), "4b007901b765489abead49d926f721d065a429c1");
    EXPECT_EQ(pbkdf2("passwordPASSWORDpassword", "saltSALTsaltSALTsaltSALTsaltSALTsalt", 4096, 25),
              "3d2eec4fe41c849b80c8d83662c0e44a8b291a964cf2f07038");
    EXPECT_EQ(pbkdf2(std::string("pass\0word", 9), std::string("sa\0lt", 5), 4096, 16),
              "56fa6aa75548099dcc37d7f03425e0c3");
}

TEST(CryptoKnownAnswerTest, Aes256Fips197AppendixC3InPlaceAndOverSeveralBlocks) {
    uint8_t key[kAes256KeySize];
    for (uint8_t i = 0; i < kAes256KeySize; ++i)
        key[i] = i;
    uint8_t blocks[3 * kAesBlockSize];
    for (size_t b = 0; b < 3; ++b)
        for (uint8_t i = 0; i < kAesBlockSize; ++i)
            blocks[b * kAesBlockSize + i] = static_cast<uint8_t>(i * 0x11);
    Aes256 aes(key);
    aes.encryptBlocks(blocks, blocks, 3);
    for (size_t b = 0; b < 3; ++b)
        EXPECT_EQ(hex(blocks + b * kAesBlockSize, kAesBlockSize),
                  "8ea2b7ca516745bfeafc49904b496089");
}

std::string hmac(const std::vector<uint8_t>& key, const std::string& data, size_t split) {
    HmacSha1 mac(key.data(), key.size());
    const std::vector<uint8_t> d = bytes(data);
    mac.update(d.data(), split);
    mac.update(d.data() + split, d.size() - split);
    uint8_t digest[kSha1Size];
    mac.finish(digest);
    return hex(digest, kSha1Size);
}

TEST(CryptoKnownAnswerTest, HmacSha1Rfc2202GivenInPieces) {
    EXPECT_EQ(hmac(std::vector<uint8_t>(20, 0x0b), "Hi There", 3),
              "b617318655057264e28bc0b6fb378c8ef146be00");
    EXPECT_EQ(hmac(bytes("Jefe"), "what do ya want for nothing?", 0),
              "effcdf6ae5eb2fa2d27416d5f184df9c259a7c79");
    EXPECT_EQ(hmac(std::vector<uint8_t>(20, 0xaa), std::string(50, '\xdd'), 49),
              "125d7342b9ac11cd91a39af48aa17b4f63f175d3");
    EXPECT_EQ(hmac(std::vector<uint8_t>(80, 0xaa),
                   "Test Using Larger Than Block-Size Key - Hash Key First", 20),
              "aa4ae5e15272d00e95705637ce8a3b55ed402112");
}

TEST(CryptoKnownAnswerTest, RandomBytesDifferAndWipeClears) {
    uint8_t a[16] = {}, b[16] = {};
    randomBytes(a, sizeof a);
    randomBytes(b, sizeof b);
    EXPECT_NE(hex(a, 16), hex(b, 16));
    wipe(a, sizeof a);
    EXPECT_EQ(hex(a, 16), std::string(32, '0'));
}

} // namespace
} // namespace ch::crypto
