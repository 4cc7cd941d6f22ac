#include "azip32/deflate_encoder.h"

#include <algorithm>
#include <bit>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "azip32/deflate_blocks.h"

namespace ch::azip {
namespace {

// Word loads and trailing-zero counts below read bytes in memory order.
static_assert(std::endian::native == std::endian::little);

constexpr int kHash4Bits = 16;
constexpr int kHash3Bits = 15;
constexpr int32_t kChainMask = 32 * 1024 - 1;
// One less than deflate allows, so a chain entry is never overwritten while reachable.
constexpr int32_t kMaxDistance = 32 * 1024 - 1;
// A three-byte match saves little; far away it costs more bits than three literals.
constexpr int32_t kMaxDistance3 = 8192;
constexpr int kMaxMatch = 258;
constexpr int32_t kNowhere = INT32_MIN / 2;
// After this many positions in a row without a match the search skips positions, one more for
// every 32 further misses, at most kMaxSkip.
constexpr int kDenseMisses = 128;
constexpr int kMaxSkip = 31;
// Matches up to this long are priced against their bytes as literals.
constexpr int kShortMatch = 8;
// Zero bytes after the data, so reads of sixteen bytes near its end stay inside the buffer.
constexpr size_t kPadding = 32;

inline uint32_t load32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

inline uint32_t hash4(uint32_t v) {
    return (v * 0x9E3779B1u) >> (32 - kHash4Bits);
}
// The first three bytes in memory order are the low 24 bits on a little-endian machine.
inline uint32_t hash3(uint32_t v) {
    return ((v << 8) * 0x9E3779B1u) >> (32 - kHash3Bits);
}
inline bool same3(uint32_t a, uint32_t b) {
    return ((a ^ b) & 0xFFFFFF) == 0;
}

// How far a and b agree, from `from` up to limit: sixteen bytes a step where SSE2 compares
// them (every processor the 32-bit program runs on, and every x86-64 one), else a word at a
// time. Both give the same lengths, so the archive's bytes do not depend on the build.
#if defined(__SSE2__)
inline int matchLength(const uint8_t* a, const uint8_t* b, int from, int limit) {
    for (int length = from; length < limit; length += 16) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + length));
        const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + length));
        const auto differ =
            static_cast<uint32_t>(~_mm_movemask_epi8(_mm_cmpeq_epi8(x, y))) & 0xFFFFu;
        if (differ != 0)
            return std::min(length + __builtin_ctz(differ), limit);
    }
    return limit;
}
#else
inline int matchLength(const uint8_t* a, const uint8_t* b, int from, int limit) {
    for (int length = from; length < limit; length += 4) {
        const uint32_t diff = load32(a + length) ^ load32(b + length);
        if (diff != 0)
            return std::min(length + (__builtin_ctz(diff) >> 3), limit);
    }
    return limit;
}
#endif

} // namespace

DeflateEncoder::DeflateEncoder(DeflateSettings settings)
    : settings_(settings), head4_(size_t{1} << kHash4Bits), head3_(size_t{1} << kHash3Bits),
      chain_(kChainMask + 1) {}

void DeflateEncoder::insertUpTo(int32_t pos) {
    const uint8_t* w = window_.data();
    for (int32_t p = inserted_; p < pos; ++p) {
        const uint32_t v = load32(w + p);
        int32_t& head = head4_[hash4(v)];
        chain_[p & kChainMask] = head;
        head = p;
        head3_[hash3(v)] = p;
    }
    inserted_ = std::max(inserted_, pos);
}

// Inserts pos and returns the longest match there that is longer than `longerThan` (and
// sets distance), or 0 when there is none. Of two matches found, the longer and farther
// one is kept only when the block's prices say it saves more: in a table of fixed-size
// records a few bytes more at a rare distance cost more than they save, and the record's
// own distance becomes cheaper the more it is used.
int DeflateEncoder::findMatch(int32_t pos, int32_t end, int longerThan, int chain,
                              int32_t& distance) {
    const uint8_t* w = window_.data();
    const uint8_t* here = w + pos;
    const uint32_t first = load32(here);
    int32_t& head = head4_[hash4(first)];
    int32_t candidate = head;
    chain_[pos & kChainMask] = candidate;
    head = pos;
    int32_t& head3 = head3_[hash3(first)];
    const int32_t candidate3 = head3;
    head3 = pos;
    inserted_ = pos + 1;

    const int limit = std::min(kMaxMatch, static_cast<int>(end - pos));
    int best = longerThan;
    if (limit <= best || limit < 4)
        return 0;
    if (best < 3 && pos - candidate3 <= kMaxDistance3 && same3(load32(w + candidate3), first)) {
        best = 3;
        distance = pos - candidate3;
    }
    const int32_t oldest = pos - kMaxDistance;
    for (; candidate >= oldest && chain-- > 0; candidate = chain_[candidate & kChainMask]) {
        const uint8_t* there = w + candidate;
        // The word ending at the current best length rules most candidates out at once.
        const int probe = std::max(best - 3, 0);
        if (load32(there + probe) != load32(here + probe) || load32(there) != first)
            continue;
        const int length = matchLength(there, here, 4, limit);
        if (length > best &&
            (best == longerThan ||
             blocks_.savesMore(static_cast<unsigned>(length),
                               static_cast<unsigned>(pos - candidate), static_cast<unsigned>(best),
                               static_cast<unsigned>(distance)))) {
            best = length;
            distance = pos - candidate;
            if (length >= settings_.niceLength || length == limit)
                break;
        }
    }
    return best > longerThan ? best : 0;
}

void DeflateEncoder::parse(int32_t start, int32_t end, bool last, BitWriter& out) {
    const uint8_t* w = window_.data();
    blocks_.start(w, start);
    int32_t pos = start;
    // Positions searched in a row without a match.
    int misses = 0;
    while (pos < end) {
        if (blocks_.chunkFull())
            blocks_.endChunk(out, pos);
        int32_t distance = 0;
        int length = findMatch(pos, end, 2, settings_.maxChain, distance);
        if (length == 0) {
            blocks_.literal(w[pos++]);
            // Data that has shown no repeat for a long stretch (pictures or archives kept in
            // the database) is searched ever more sparsely, up to every 32nd position, until
            // a match is found. Text and tables find one every few bytes and never get here.
            if (++misses > kDenseMisses) {
                int skip = std::min((misses - kDenseMisses) >> 5, kMaxSkip);
                while (skip-- > 0 && pos < end && !blocks_.chunkFull())
                    blocks_.literal(w[pos++]);
            }
            continue;
        }
        misses = 0;
        // A longer match one byte on is worth a literal.
        while (length < settings_.maxLazy && pos + 1 < end) {
            const int chain =
                length >= settings_.goodLength ? settings_.maxChain / 4 : settings_.maxChain;
            int32_t nextDistance = 0;
            const int next = findMatch(pos + 1, end, length, chain, nextDistance);
            if (next == 0 || !blocks_.literalFirstPays(w[pos], static_cast<unsigned>(length),
                                                       static_cast<unsigned>(distance),
                                                       static_cast<unsigned>(next),
                                                       static_cast<unsigned>(nextDistance)))
                break;
            blocks_.literal(w[pos++]);
            if (blocks_.chunkFull())
                blocks_.endChunk(out, pos);
            length = next;
            distance = nextDistance;
        }
        if (length <= kShortMatch && !blocks_.matchPays(w + pos, static_cast<unsigned>(length),
                                                        static_cast<unsigned>(distance))) {
            // Cheaper as literals. The positions it covers are not searched again: the
            // look-ahead has searched the next one already.
            for (const int32_t to = pos + length; pos < to; ++pos) {
                if (blocks_.chunkFull())
                    blocks_.endChunk(out, pos);
                blocks_.literal(w[pos]);
            }
            insertUpTo(pos);
            continue;
        }
        blocks_.match(static_cast<unsigned>(length), static_cast<unsigned>(distance));
        insertUpTo(pos + length);
        pos += length;
    }
    blocks_.finish(out, end, last);
}

size_t DeflateEncoder::compress(const uint8_t* dictionary, size_t dictionarySize,
                                const uint8_t* input, size_t inputSize, bool last, uint8_t* output,
                                size_t outputCapacity) {
    if (dictionarySize > static_cast<size_t>(kMaxDistance)) {
        dictionary += dictionarySize - kMaxDistance;
        dictionarySize = kMaxDistance;
    }
    window_.resize(dictionarySize + inputSize + kPadding);
    if (dictionarySize > 0)
        std::memcpy(window_.data(), dictionary, dictionarySize);
    if (inputSize > 0)
        std::memcpy(window_.data() + dictionarySize, input, inputSize);
    std::memset(window_.data() + dictionarySize + inputSize, 0, kPadding);
    std::fill(head4_.begin(), head4_.end(), kNowhere);
    std::fill(head3_.begin(), head3_.end(), kNowhere);
    inserted_ = 0;
    insertUpTo(static_cast<int32_t>(dictionarySize));

    BitWriter out(output, outputCapacity);
    parse(static_cast<int32_t>(dictionarySize), static_cast<int32_t>(dictionarySize + inputSize),
          last, out);
    if (!last) {
        // An empty stored block: the stream goes on, from a byte boundary.
        static const uint8_t kSyncMarker[4] = {0, 0, 0xFF, 0xFF};
        out.put(0, 3);
        out.align();
        out.bytes(kSyncMarker, 4);
    }
    out.align();
    return out.overflowed() ? 0 : static_cast<size_t>(out.position() - output);
}

} // namespace ch::azip
