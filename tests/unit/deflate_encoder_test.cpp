// The deflate encoder judged by zlib's inflate, which shares no code with it: every stream
// must inflate to exactly its input, whether written in one piece or in pieces joined with
// dictionaries, and the Huffman codes must be complete and within deflate's limits.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>
#include <zlib.h>

#include <gtest/gtest.h>

#include "azip32/deflate_blocks.h"
#include "azip32/deflate_encoder.h"
#include "tests/unit/azip32_test_files.h"

namespace ch::azip {
namespace {

using test::chat;
using test::noise;

constexpr size_t kPiece = 512 * 1024;
constexpr size_t kDictionary = 32 * 1024;

size_t capacityFor(size_t size) {
    return size + size / 65535 * 5 + 64;
}

const uint8_t* bytes(const std::string& s) {
    return reinterpret_cast<const uint8_t*>(s.data());
}

// Compresses data in pieces of pieceSize, each primed with the 32 KiB before it, joined.
std::string compress(const std::string& data, size_t pieceSize = kPiece,
                     DeflateSettings settings = {}) {
    DeflateEncoder encoder(settings);
    std::string stream;
    size_t pos = 0;
    do {
        const size_t size = std::min(pieceSize, data.size() - pos);
        const size_t dict = std::min(pos, kDictionary);
        std::vector<uint8_t> out(capacityFor(size));
        const size_t got = encoder.compress(bytes(data) + pos - dict, dict, bytes(data) + pos, size,
                                            pos + size == data.size(), out.data(), out.size());
        EXPECT_GT(got, 0u);
        stream.append(reinterpret_cast<const char*>(out.data()), got);
        pos += size;
    } while (pos < data.size());
    return stream;
}

// Inflates a raw deflate stream; fails the test unless it ends exactly at its end.
std::string inflateAll(const std::string& stream, size_t expectedSize) {
    z_stream s{};
    EXPECT_EQ(inflateInit2(&s, -MAX_WBITS), Z_OK);
    std::string out(expectedSize + 1, '\0');
    s.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(stream.data()));
    s.avail_in = static_cast<uInt>(stream.size());
    s.next_out = reinterpret_cast<Bytef*>(out.data());
    s.avail_out = static_cast<uInt>(out.size());
    const int result = inflate(&s, Z_FINISH);
    EXPECT_EQ(result, Z_STREAM_END);
    EXPECT_EQ(s.avail_in, 0u) << "bytes after the end of the stream";
    out.resize(out.size() - s.avail_out);
    inflateEnd(&s);
    return out;
}

void expectRoundTrip(const std::string& data, size_t pieceSize = kPiece) {
    const std::string stream = compress(data, pieceSize);
    const std::string back = inflateAll(stream, data.size());
    ASSERT_EQ(back.size(), data.size());
    EXPECT_TRUE(back == data) << "first difference at "
                              << std::mismatch(back.begin(), back.end(), data.begin()).first -
                                     back.begin();
}

// Text, then noise, then binary records: blocks of every kind in one stream.
std::string mixed(size_t size, uint32_t seed) {
    std::string out;
    for (uint32_t i = 0; out.size() < size; ++i) {
        if (i % 3 == 0)
            out += chat(40000, seed + i);
        else if (i % 3 == 1)
            out += noise(9000, seed + i);
        else
            for (uint32_t r = 0; r < 500; ++r)
                out += std::string("\x96\0\0\0", 4) + std::to_string(r * 7919 % 1000) + '\0';
    }
    out.resize(size);
    return out;
}

TEST(DeflateEncoder, SmallAndEdgeInputsInflateToThemselves) {
    for (const std::string& data :
         {std::string(), std::string("a"), std::string("ab"), std::string("abc"),
          std::string("abcd"), std::string("aaaaaaaa"), std::string(300, '\0'),
          std::string(259, 'x') + "y", chat(1000, 1), noise(100, 2)})
        expectRoundTrip(data);
}

TEST(DeflateEncoder, LargeInputsInflateToThemselvesWholeAndInPieces) {
    const std::string inputs[] = {std::string(3 * kPiece + 17, '\0'), chat(2 * kPiece + 5, 3),
                                  noise(kPiece + 1, 4), mixed(3 * kPiece, 5)};
    for (const std::string& data : inputs) {
        expectRoundTrip(data);                  // the archive's pieces
        expectRoundTrip(data, data.size() + 1); // one piece
        expectRoundTrip(data, 70000);           // pieces not a multiple of anything
    }
}

TEST(DeflateEncoder, MatchesReachTheWholeWindowButNoFurther) {
    // A random stretch repeated at distances around deflate's 32 KiB limit.
    const std::string a = noise(4000, 6);
    for (size_t gap : {32767 - 4000, 32768 - 4000, 32769 - 4000, 40000}) {
        const std::string data = a + noise(gap, 7) + a;
        expectRoundTrip(data);
        expectRoundTrip(data, a.size() + gap / 2); // the repeat reached through a dictionary
    }
    const std::string near = a + noise(32767 - 8000, 8) + a;
    EXPECT_LT(compress(near).size(), near.size() - 3000) << "the repeat was not found";
}

TEST(DeflateEncoder, MatchesEndAtEveryByteOfAComparisonStep) {
    // A repeat that breaks off, or reaches the end of the input, at each offset within and
    // across the steps in which match lengths are compared: a length counted too far
    // inflates to wrong data.
    const std::string a = noise(300, 9);
    for (size_t cut = 1; cut <= 40; ++cut) {
        std::string changed = a;
        changed[cut + 20] = static_cast<char>(changed[cut + 20] ^ 0x5A);
        expectRoundTrip(a + changed);
        expectRoundTrip(a + a.substr(0, cut + 20));
    }
}

TEST(DeflateEncoder, FindsRepeatsAndUsesTheDictionary) {
    const std::string text = chat(200000, 9);
    EXPECT_LT(compress(text).size(), text.size() / 4);
    EXPECT_LT(compress(std::string(kPiece, 'z')).size(), 2500u);

    // A piece that repeats the end of the piece before it costs almost nothing when that
    // end is its dictionary.
    const std::string before = noise(kDictionary - 1, 10);
    DeflateEncoder encoder;
    std::vector<uint8_t> out(capacityFor(before.size()));
    const size_t primed = encoder.compress(bytes(before), before.size(), bytes(before),
                                           before.size(), true, out.data(), out.size());
    const size_t unprimed =
        encoder.compress(nullptr, 0, bytes(before), before.size(), true, out.data(), out.size());
    EXPECT_LT(primed, 1000u);
    EXPECT_GT(unprimed, before.size());

    // Past a long stretch without repeats the search thins out, yet a repeat still is found.
    const std::string said = chat(6000, 12);
    const std::string noisy = noise(20000, 13);
    const std::string once = compress(said + noisy), twice = compress(said + noisy + said);
    EXPECT_LT(twice.size() - once.size(), compress(said).size() / 4);
    EXPECT_EQ(inflateAll(twice, said.size() * 2 + noisy.size()), said + noisy + said);
}

TEST(DeflateEncoder, IncompressibleDataIsStoredWithLittleOverhead) {
    const std::string data = noise(kPiece, 11);
    const std::string stream = compress(data);
    EXPECT_LE(stream.size(), data.size() + data.size() / 1000);
}

TEST(DeflateEncoder, TooSmallAnOutputGivesZeroAndWritesNothingPastIt) {
    const std::string data = mixed(100000, 12);
    DeflateEncoder encoder;
    std::vector<uint8_t> out(data.size() + 64, 0xA5);
    const size_t limit = 1000;
    EXPECT_EQ(encoder.compress(nullptr, 0, bytes(data), data.size(), true, out.data(), limit), 0u);
    EXPECT_TRUE(std::all_of(out.begin() + limit, out.end(), [](uint8_t b) { return b == 0xA5; }));
    // The encoder is usable again afterwards.
    expectRoundTrip(data);
}

// The Kraft sum of a code, in units of 2^-maxBits: exactly 2^maxBits for a complete code.
uint64_t kraft(const uint8_t* lengths, int count, int maxBits) {
    uint64_t sum = 0;
    for (int s = 0; s < count; ++s)
        if (lengths[s] > 0)
            sum += uint64_t{1} << (maxBits - lengths[s]);
    return sum;
}

// Chat text as UTF-16LE, from a vocabulary of Cyrillic words: two bytes a letter, so a
// four-byte prefix is only two letters and the search has many false starts.
std::string utf16Chat(size_t size, uint32_t seed) {
    std::vector<std::u16string> words;
    for (int w = 0; w < 2000; ++w) {
        std::u16string word;
        for (int letters = 2 + w % 7; letters > 0; --letters) {
            seed = seed * 1664525u + 1013904223u;
            word += static_cast<char16_t>(0x430 + (seed >> 16) % 32);
        }
        words.push_back(word + u" ");
    }
    std::string out;
    while (out.size() < size) {
        seed = seed * 1664525u + 1013904223u;
        const uint32_t r = (seed >> 8) % 10000;
        for (const char16_t c : words[r * r / 50000]) { // frequent words first
            out += static_cast<char>(c & 0xFF);
            out += static_cast<char>(c >> 8);
        }
    }
    out.resize(size);
    return out;
}

// An index table: record number, rising offset, time, small flags.
std::string indexTable(size_t size, uint32_t seed) {
    std::string out;
    uint32_t offset = 64, time = 1000000000;
    for (uint32_t id = 1; out.size() < size; ++id) {
        seed = seed * 1664525u + 1013904223u;
        offset += 46 + (seed >> 16) % 200;
        time += (seed >> 8) % 4 == 0 ? 600 : (seed >> 12) % 20;
        const uint32_t fields[] = {id, offset, time, (seed >> 4) % 3};
        out.append(reinterpret_cast<const char*>(fields), sizeof fields);
    }
    out.resize(size);
    return out;
}

size_t zlibSize(const std::string& data, int level) {
    z_stream s{};
    EXPECT_EQ(deflateInit2(&s, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY), Z_OK);
    std::string out(deflateBound(&s, static_cast<uLong>(data.size())), '\0');
    s.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    s.avail_in = static_cast<uInt>(data.size());
    s.next_out = reinterpret_cast<Bytef*>(out.data());
    s.avail_out = static_cast<uInt>(out.size());
    EXPECT_EQ(deflate(&s, Z_FINISH), Z_STREAM_END);
    deflateEnd(&s);
    return out.size() - s.avail_out;
}

// The promise the default settings are chosen for, on the kinds of data where a shorter
// search or a length-only look-ahead fell behind zlib's level 6. (Text of a dozen words
// repeated is still larger than zlib's; see docs/performance.md.)
TEST(DeflateEncoder, DefaultSettingsAreNoLargerThanZlibLevel6) {
    const std::string inputs[] = {utf16Chat(kPiece, 1), indexTable(kPiece, 2), mixed(kPiece, 4)};
    for (const std::string& data : inputs) {
        SCOPED_TRACE(&data - inputs);
        const std::string stream = compress(data, data.size() + 1);
        EXPECT_LE(stream.size(), zlibSize(data, 6));
        EXPECT_EQ(inflateAll(stream, data.size()), data);
    }
}

// On fixed-size records a greedy search of four candidates does better than the longest
// match: a few bytes more at a rare distance cost more than they save.
TEST(DeflateEncoder, TablesOfRecordsAreNoLargerThanZlibLevel1) {
    const std::string data = indexTable(4 * kPiece, 3);
    const std::string stream = compress(data, data.size() + 1);
    EXPECT_LE(stream.size(), zlibSize(data, 1));
    EXPECT_EQ(inflateAll(stream, data.size()), data);
}

// The library packs each piece on whichever encoder is free, so a piece's bytes must not
// depend on what that encoder packed before: no prices, hashes or block left over.
TEST(DeflateEncoder, APieceIsPackedTheSameWhateverTheEncoderPackedBefore) {
    const std::string before = indexTable(kPiece, 5), piece = utf16Chat(kPiece, 6);
    auto pack = [&](DeflateEncoder& encoder, const std::string& data) {
        std::vector<uint8_t> out(capacityFor(data.size()));
        out.resize(
            encoder.compress(nullptr, 0, bytes(data), data.size(), false, out.data(), out.size()));
        return out;
    };
    DeflateEncoder used, fresh;
    pack(used, before);
    EXPECT_EQ(pack(used, piece), pack(fresh, piece));
}

TEST(DeflateHuffman, CodesAreCompleteAndWithinTheLengthLimit) {
    // Fibonacci frequencies make Huffman's code as deep as the alphabet; the limit must cut
    // it and leave the code complete.
    for (int count : {19, 30, 286}) {
        for (int maxBits : {7, 15}) {
            std::vector<uint32_t> freq(static_cast<size_t>(count), 0);
            uint32_t a = 1, b = 1;
            for (int s = 0; s < count; ++s) {
                freq[static_cast<size_t>(s)] = a;
                const uint32_t next = std::min<uint32_t>(a + b, 1u << 20);
                a = b;
                b = next;
            }
            std::vector<uint8_t> lengths(static_cast<size_t>(count));
            buildCodeLengths(freq.data(), count, maxBits, lengths.data());
            EXPECT_EQ(*std::max_element(lengths.begin(), lengths.end()), maxBits);
            EXPECT_EQ(kraft(lengths.data(), count, maxBits), uint64_t{1} << maxBits);
            // A more frequent symbol never has a longer code.
            for (int s = 1; s < count; ++s)
                EXPECT_LE(lengths[static_cast<size_t>(s)], lengths[static_cast<size_t>(s - 1)]);
        }
    }
}

TEST(DeflateHuffman, AlphabetsWithFewSymbolsStillGetTwoCodes) {
    uint32_t none[30] = {};
    uint32_t one[30] = {};
    one[7] = 42;
    uint8_t lengths[30];
    buildCodeLengths(none, 30, 15, lengths);
    EXPECT_EQ(kraft(lengths, 30, 15), 1u << 15);
    buildCodeLengths(one, 30, 15, lengths);
    EXPECT_EQ(lengths[7], 1);
    EXPECT_EQ(kraft(lengths, 30, 15), 1u << 15);
}

TEST(DeflateHuffman, CanonicalCodesArePrefixFree) {
    const uint8_t lengths[8] = {3, 3, 3, 3, 3, 2, 4, 4};
    uint16_t codes[8];
    assignCodes(lengths, 8, codes);
    // RFC 1951's own example, bit-reversed: F=00, A..E=010..110, G=1110, H=1111.
    EXPECT_EQ(codes[5], 0u);
    EXPECT_EQ(codes[0], 0b010u);
    EXPECT_EQ(codes[4], 0b011u); // 110 reversed
    EXPECT_EQ(codes[6], 0b0111u);
    EXPECT_EQ(codes[7], 0b1111u);
}

} // namespace
} // namespace ch::azip
