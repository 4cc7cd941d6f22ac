#include "azip32/deflate_blocks.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <utility>

namespace ch::azip {
namespace {

constexpr int kEndOfBlock = 256;
constexpr int kMaxCodeBits = 15;
constexpr int kMaxPrecodeBits = 7;
constexpr unsigned kBytePriceShare = 7, kBytePriceShareOf = 4;

// The fixed tables of deflate's length and distance codes, and the fixed Huffman code.
struct Tables {
    uint16_t lengthBase[29];
    uint8_t lengthExtra[29];
    uint8_t lengthSymbol[259]; // match length -> length code 0..28
    uint16_t distanceBase[30];
    uint8_t distanceExtra[30];
    uint8_t distanceNear[256]; // distance - 1 -> code, for distances up to 256
    uint8_t distanceFar[256];  // (distance - 1) >> 7 -> code, for longer distances
    uint8_t fixedLitLengths[288];
    uint16_t fixedLitCodes[288];
    uint8_t fixedDistLengths[30];
    uint16_t fixedDistCodes[30];

    Tables() {
        static const uint8_t lenExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                             2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
        int base = 3;
        for (int s = 0; s < 29; ++s) {
            lengthExtra[s] = lenExtra[s];
            lengthBase[s] = static_cast<uint16_t>(s == 28 ? 258 : base);
            for (int l = base; l < base + (1 << lenExtra[s]) && l <= 258; ++l)
                lengthSymbol[l] = static_cast<uint8_t>(s);
            base += 1 << lenExtra[s];
        }
        lengthSymbol[258] = 28;
        int dist = 1;
        for (int d = 0; d < 30; ++d) {
            distanceExtra[d] = static_cast<uint8_t>(d < 4 ? 0 : d / 2 - 1);
            distanceBase[d] = static_cast<uint16_t>(dist);
            for (int v = dist; v < dist + (1 << distanceExtra[d]); ++v) {
                if (v <= 256)
                    distanceNear[v - 1] = static_cast<uint8_t>(d);
                else
                    distanceFar[(v - 1) >> 7] = static_cast<uint8_t>(d);
            }
            dist += 1 << distanceExtra[d];
        }
        for (int s = 0; s < 288; ++s)
            fixedLitLengths[s] = s < 144 ? 8 : s < 256 ? 9 : s < 280 ? 7 : 8;
        assignCodes(fixedLitLengths, 288, fixedLitCodes);
        std::fill(std::begin(fixedDistLengths), std::end(fixedDistLengths), uint8_t{5});
        assignCodes(fixedDistLengths, 30, fixedDistCodes);
    }

    int distanceCode(unsigned distance) const {
        return distance <= 256 ? distanceNear[distance - 1] : distanceFar[(distance - 1) >> 7];
    }
};

// Built when the library loads, so the hot paths need no first-use check.
const Tables kTables;

// The order in which the code-length code's lengths are sent.
constexpr uint8_t kPrecodeOrder[19] = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                       11, 4,  12, 3, 13, 2, 14, 1, 15};

// A dynamic block's header: the literal/length and distance code lengths, run-length coded
// with the code-length code.
struct DynamicHeader {
    int litCount, distCount, precodeCount;
    uint8_t symbols[286 + 30];
    uint8_t extras[286 + 30];
    int symbolCount = 0;
    uint8_t precodeLengths[19];
    uint16_t precodeCodes[19];
    uint64_t bits = 0;

    DynamicHeader(const uint8_t* litLengths, const uint8_t* distLengths) {
        litCount = 286;
        while (litCount > 257 && litLengths[litCount - 1] == 0)
            --litCount;
        distCount = 30;
        while (distCount > 1 && distLengths[distCount - 1] == 0)
            --distCount;
        uint8_t all[286 + 30];
        std::copy(litLengths, litLengths + litCount, all);
        std::copy(distLengths, distLengths + distCount, all + litCount);
        runLengthCode(all, litCount + distCount);

        uint32_t freq[19] = {};
        for (int i = 0; i < symbolCount; ++i)
            ++freq[symbols[i]];
        buildCodeLengths(freq, 19, kMaxPrecodeBits, precodeLengths);
        assignCodes(precodeLengths, 19, precodeCodes);
        precodeCount = 19;
        while (precodeCount > 4 && precodeLengths[kPrecodeOrder[precodeCount - 1]] == 0)
            --precodeCount;

        bits = 5 + 5 + 4 + 3 * precodeCount;
        static const uint8_t extraBits[19] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                              0, 0, 0, 0, 0, 0, 2, 3, 7};
        for (int s = 0; s < 19; ++s)
            bits += uint64_t{freq[s]} * (precodeLengths[s] + extraBits[s]);
    }

    void runLengthCode(const uint8_t* lengths, int count) {
        for (int i = 0; i < count;) {
            const uint8_t value = lengths[i];
            int run = 1;
            while (i + run < count && lengths[i + run] == value)
                ++run;
            i += run;
            if (value == 0) {
                for (; run >= 11; run -= std::min(run, 138))
                    add(18, static_cast<uint8_t>(std::min(run, 138) - 11));
                if (run >= 3) {
                    add(17, static_cast<uint8_t>(run - 3));
                    run = 0;
                }
            } else {
                add(value, 0);
                for (--run; run >= 3; run -= std::min(run, 6))
                    add(16, static_cast<uint8_t>(std::min(run, 6) - 3));
            }
            for (; run > 0; --run)
                add(value, 0);
        }
    }

    void add(uint8_t symbol, uint8_t extra) {
        symbols[symbolCount] = symbol;
        extras[symbolCount++] = extra;
    }

    void write(BitWriter& out) const {
        out.put(static_cast<uint32_t>(litCount - 257), 5);
        out.put(static_cast<uint32_t>(distCount - 1), 5);
        out.put(static_cast<uint32_t>(precodeCount - 4), 4);
        for (int i = 0; i < precodeCount; ++i)
            out.put(precodeLengths[kPrecodeOrder[i]], 3);
        for (int i = 0; i < symbolCount; ++i) {
            const uint8_t s = symbols[i];
            out.put(precodeCodes[s], precodeLengths[s]);
            if (s >= 16)
                out.put(extras[i], s == 16 ? 2 : s == 17 ? 3 : 7);
        }
    }
};

uint16_t reverseBits(unsigned code, int length) {
    unsigned r = 0;
    for (int i = 0; i < length; ++i, code >>= 1)
        r = (r << 1) | (code & 1);
    return static_cast<uint16_t>(r);
}

} // namespace

void BitWriter::align() {
    while (count_ > 0) {
        if (next_ < end_)
            *next_ = static_cast<uint8_t>(buffer_);
        else
            overflow_ = true;
        ++next_;
        buffer_ >>= 8;
        count_ = count_ > 8 ? count_ - 8 : 0;
    }
    buffer_ = 0;
}

void BitWriter::bytes(const uint8_t* data, size_t size) {
    if (static_cast<size_t>(end_ - next_) < size || next_ > end_) {
        overflow_ = true;
        next_ += size;
        return;
    }
    std::memcpy(next_, data, size);
    next_ += size;
}

void buildCodeLengths(const uint32_t* freq, int count, int maxBits, uint8_t* lengths) {
    std::fill(lengths, lengths + count, uint8_t{0});
    std::pair<uint32_t, int> used[288];
    int n = 0;
    for (int s = 0; s < count; ++s)
        if (freq[s] > 0)
            used[n++] = {freq[s], s};
    if (n < 2) {
        // A code needs two symbols to be complete; give an unused one the other half.
        const int one = n == 1 ? used[0].second : 0;
        lengths[one] = 1;
        lengths[one == 0 ? 1 : 0] = 1;
        return;
    }
    std::sort(used, used + n);

    // Huffman's algorithm with two queues: the sorted leaves, and the internal nodes,
    // which are made in order of weight.
    uint32_t weight[2 * 288];
    int parent[2 * 288];
    for (int i = 0; i < n; ++i)
        weight[i] = used[i].first;
    int leaf = 0, node = n, next = n;
    auto smallest = [&] {
        if (leaf < n && (node >= next || weight[leaf] <= weight[node]))
            return leaf++;
        return node++;
    };
    for (; next < 2 * n - 1; ++next) {
        const int a = smallest();
        const int b = smallest();
        weight[next] = weight[a] + weight[b];
        parent[a] = parent[b] = next;
    }
    int depth[2 * 288];
    depth[2 * n - 2] = 0;
    int lengthCount[kMaxCodeBits + 1] = {};
    for (int i = 2 * n - 3; i >= 0; --i) {
        depth[i] = depth[parent[i]] + 1;
        if (i < n)
            ++lengthCount[std::min(depth[i], maxBits)];
    }

    // Codes cut to maxBits overfill the code space; lengthen shorter codes until it fits.
    uint32_t total = 0;
    for (int len = 1; len <= maxBits; ++len)
        total += static_cast<uint32_t>(lengthCount[len]) << (maxBits - len);
    for (; total > (1u << maxBits); --total) {
        --lengthCount[maxBits];
        for (int len = maxBits - 1; len > 0; --len) {
            if (lengthCount[len] > 0) {
                --lengthCount[len];
                lengthCount[len + 1] += 2;
                break;
            }
        }
    }
    // The rarest symbols get the longest codes.
    int i = 0;
    for (int len = maxBits; len > 0; --len)
        for (int k = 0; k < lengthCount[len]; ++k)
            lengths[used[i++].second] = static_cast<uint8_t>(len);
}

void assignCodes(const uint8_t* lengths, int count, uint16_t* codes) {
    int lengthCount[kMaxCodeBits + 1] = {};
    for (int s = 0; s < count; ++s)
        ++lengthCount[lengths[s]];
    lengthCount[0] = 0;
    unsigned nextCode[kMaxCodeBits + 1] = {};
    unsigned code = 0;
    for (int len = 1; len <= kMaxCodeBits; ++len) {
        code = (code + lengthCount[len - 1]) << 1;
        nextCode[len] = code;
    }
    for (int s = 0; s < count; ++s)
        codes[s] = lengths[s] ? reverseBits(nextCode[lengths[s]]++, lengths[s]) : 0;
}

void BlockWriter::Frequencies::clear() {
    std::fill(std::begin(lit), std::end(lit), 0u);
    std::fill(std::begin(dist), std::end(dist), 0u);
}

void BlockWriter::Frequencies::add(const Frequencies& other) {
    for (int s = 0; s < 286; ++s)
        lit[s] += other.lit[s];
    for (int d = 0; d < 30; ++d)
        dist[d] += other.dist[d];
}

namespace {

// Rough costs of a dynamic block's header, for deciding where blocks end.
constexpr float kHeaderBits = 100;
constexpr float kHeaderBitsPerSymbol = 3;

// log2 of x to about four decimal places, from a table: no floating-point library call.
class Log2Table {
  public:
    Log2Table() {
        for (int i = 1; i < kSize; ++i)
            table_[i] = static_cast<float>(std::log2(i));
    }
    float operator()(uint32_t x) const {
        if (x < kSize)
            return table_[x];
        const int shift = (31 - __builtin_clz(x)) - (kBits - 1);
        return table_[x >> shift] + static_cast<float>(shift);
    }

  private:
    static constexpr int kBits = 12;
    static constexpr int kSize = 1 << kBits;
    float table_[kSize] = {};
};

const Log2Table kLog2Table;

// The entropy of one alphabet's symbols in bits, with a rough price for sending the code
// length of each symbol used.
float alphabetBits(const uint32_t* a, const uint32_t* b, int count) {
    const Log2Table& log2 = kLog2Table;
    uint32_t n = 0;
    float sum = 0;
    int used = 0;
    for (int s = 0; s < count; ++s) {
        const uint32_t f = a[s] + (b ? b[s] : 0);
        if (f == 0)
            continue;
        n += f;
        sum += static_cast<float>(f) * log2(f);
        ++used;
    }
    return n > 0 ? static_cast<float>(n) * log2(n) - sum + kHeaderBitsPerSymbol * used + kHeaderBits
                 : 0;
}

} // namespace

float BlockWriter::Frequencies::bits(const Frequencies* other) const {
    return alphabetBits(lit, other ? other->lit : nullptr, 286) +
           alphabetBits(dist, other ? other->dist : nullptr, 30);
}

BlockWriter::BlockWriter() {
    items_.reserve(kMaxItems + kChunkItems);
    start(nullptr, 0);
}

void BlockWriter::start(const uint8_t* window, int32_t rawStart) {
    window_ = window;
    rawStart_ = chunkRawStart_ = rawStart;
    items_.clear();
    chunkStart_ = 0;
    block_.clear();
    chunk_.clear();
    priced_ = false;
}

void BlockWriter::match(unsigned length, unsigned distance) {
    items_.push_back(length | distance << 9);
    ++chunk_.lit[257 + kTables.lengthSymbol[length]];
    ++chunk_.dist[kTables.distanceCode(distance)];
}

void BlockWriter::joinChunk(BitWriter& out) {
    if (chunkStart_ > 0 && block_.bits(&chunk_) > block_.bits(nullptr) + chunk_.bits(nullptr)) {
        write(out, chunkStart_, chunkRawStart_, false);
        block_ = chunk_;
    } else {
        block_.add(chunk_);
    }
    chunk_.clear();
    chunkStart_ = items_.size();
}

// 16 * log2(x) for x >= 1, in integers: the archive's bytes must not depend on how a build
// rounds floating point (the 32-bit build's x87 and SSE2 round differently). The fraction
// comes from the six bits after the leading one.
unsigned log2Sixteenths(uint64_t x) {
    // 16 * log2(1 + m / 64), rounded.
    static constexpr uint8_t kFraction[64] = {
        0,  0,  1,  1,  1,  2,  2,  2,  3,  3,  3,  4,  4,  4,  5,  5,  5,  5,  6,  6,  6,  7,
        7,  7,  7,  8,  8,  8,  8,  9,  9,  9,  9,  10, 10, 10, 10, 11, 11, 11, 11, 11, 12, 12,
        12, 12, 13, 13, 13, 13, 13, 14, 14, 14, 14, 14, 15, 15, 15, 15, 15, 15, 16, 16,
    };
    const int top = std::bit_width(x) - 1;
    const uint64_t mantissa = top >= 6 ? (x >> (top - 6)) & 63 : (x << (6 - top)) & 63;
    return 16u * static_cast<unsigned>(top) + kFraction[mantissa];
}

// A symbol's cost is about log2(n / f) bits for f of the n symbols counted; one more of each
// keeps a symbol not seen yet from looking free or endless. A byte's cost is the block's
// bits over its bytes so far, with a margin the family of test data chose.
void BlockWriter::setPrices(int32_t rawBytes) {
    uint64_t bits = 0;
    auto price = [&bits](const uint32_t* f, int count, uint16_t* out) {
        uint64_t n = 0;
        for (int s = 0; s < count; ++s)
            n += f[s] + 1;
        const unsigned all = log2Sixteenths(n);
        for (int s = 0; s < count; ++s) {
            out[s] = static_cast<uint16_t>(std::min(all - log2Sixteenths(f[s] + 1), 16u * 15));
            bits += uint64_t{f[s]} * out[s];
        }
    };
    uint16_t distPrice[30];
    price(block_.lit, 286, litPrice_);
    price(block_.dist, 30, distPrice);
    const Tables& t = kTables;
    for (unsigned length = 3; length <= 258; ++length) {
        const int symbol = t.lengthSymbol[length];
        lengthPrice_[length] =
            static_cast<uint16_t>(litPrice_[257 + symbol] + 16u * t.lengthExtra[symbol]);
    }
    auto distancePrice = [&](unsigned distance) {
        const int code = t.distanceCode(distance);
        return static_cast<uint16_t>(distPrice[code] + 16u * t.distanceExtra[code]);
    };
    for (unsigned d = 1; d <= 256; ++d)
        nearPrice_[d - 1] = distancePrice(d);
    for (unsigned k = 2; k < 256; ++k)
        farPrice_[k] = distancePrice(k << 7 | 1);
    bytePrice_ = static_cast<unsigned>(bits * kBytePriceShare / kBytePriceShareOf /
                                       static_cast<uint64_t>(std::max(rawBytes, 1)));
    priced_ = true;
}

// Before any prices: each byte a match covers saves about a literal's eight bits, and a
// farther distance costs its extra bits.
bool BlockWriter::literalFirstPaysUnpriced(unsigned length, unsigned distance, unsigned next,
                                           unsigned nextDistance) const {
    const Tables& t = kTables;
    return 8 * (static_cast<int>(next) - static_cast<int>(length)) >
           t.distanceExtra[t.distanceCode(nextDistance)] -
               t.distanceExtra[t.distanceCode(distance)];
}

void BlockWriter::endChunk(BitWriter& out, int32_t rawEnd) {
    joinChunk(out);
    chunkRawStart_ = rawEnd;
    setPrices(rawEnd - rawStart_);
    if (items_.size() >= kMaxItems)
        write(out, items_.size(), rawEnd, false);
}

void BlockWriter::finish(BitWriter& out, int32_t rawEnd, bool final) {
    joinChunk(out);
    write(out, items_.size(), rawEnd, final);
    chunkRawStart_ = rawEnd;
}

void BlockWriter::write(BitWriter& out, size_t count, int32_t rawEnd, bool final) {
    const Tables& t = kTables;
    Frequencies f = block_;
    f.lit[kEndOfBlock] = 1;
    uint8_t litLengths[286], distLengths[30];
    buildCodeLengths(f.lit, 286, kMaxCodeBits, litLengths);
    buildCodeLengths(f.dist, 30, kMaxCodeBits, distLengths);
    const DynamicHeader header(litLengths, distLengths);

    uint64_t extraBits = 0, dynamicBits = 3 + header.bits, fixedBits = 3;
    for (int s = 0; s < 286; ++s) {
        dynamicBits += uint64_t{f.lit[s]} * litLengths[s];
        fixedBits += uint64_t{f.lit[s]} * t.fixedLitLengths[s];
        if (s > kEndOfBlock)
            extraBits += uint64_t{f.lit[s]} * t.lengthExtra[s - 257];
    }
    for (int d = 0; d < 30; ++d) {
        dynamicBits += uint64_t{f.dist[d]} * distLengths[d];
        fixedBits += uint64_t{f.dist[d]} * 5;
        extraBits += uint64_t{f.dist[d]} * t.distanceExtra[d];
    }
    dynamicBits += extraBits;
    fixedBits += extraBits;
    const uint64_t rawSize = static_cast<uint64_t>(rawEnd - rawStart_);
    const uint64_t storedBits = (rawSize / 65535 + 1) * (3 + 7 + 32) + 8 * rawSize;

    if (storedBits < std::min(dynamicBits, fixedBits)) {
        writeStored(out, rawEnd, final);
    } else if (fixedBits <= dynamicBits) {
        out.put(final ? 3 : 2, 3);
        writeItems(out, count, t.fixedLitLengths, t.fixedLitCodes, t.fixedDistLengths,
                   t.fixedDistCodes);
    } else {
        uint16_t litCodes[286], distCodes[30];
        assignCodes(litLengths, 286, litCodes);
        assignCodes(distLengths, 30, distCodes);
        out.put(final ? 5 : 4, 3);
        header.write(out);
        writeItems(out, count, litLengths, litCodes, distLengths, distCodes);
    }
    items_.erase(items_.begin(), items_.begin() + static_cast<ptrdiff_t>(count));
    chunkStart_ -= std::min(chunkStart_, count);
    rawStart_ = rawEnd;
    block_.clear();
}

void BlockWriter::writeItems(BitWriter& out, size_t count, const uint8_t* litLengths,
                             const uint16_t* litCodes, const uint8_t* distLengths,
                             const uint16_t* distCodes) {
    const Tables& t = kTables;
    for (size_t i = 0; i < count; ++i) {
        const uint32_t item = items_[i];
        if (item < 256) {
            out.put(litCodes[item], litLengths[item]);
            continue;
        }
        const unsigned length = item & 511, distance = item >> 9;
        const int ls = t.lengthSymbol[length];
        out.put(litCodes[257 + ls], litLengths[257 + ls]);
        out.put(length - t.lengthBase[ls], t.lengthExtra[ls]);
        const int d = t.distanceCode(distance);
        out.put(distCodes[d], distLengths[d]);
        out.put(distance - t.distanceBase[d], t.distanceExtra[d]);
    }
    out.put(litCodes[kEndOfBlock], litLengths[kEndOfBlock]);
}

void BlockWriter::writeStored(BitWriter& out, int32_t rawEnd, bool final) {
    const uint8_t* data = window_ + rawStart_;
    size_t left = static_cast<size_t>(rawEnd - rawStart_);
    do {
        const size_t size = std::min<size_t>(left, 65535);
        left -= size;
        out.put(final && left == 0 ? 1 : 0, 3);
        out.align();
        const uint8_t header[4] = {static_cast<uint8_t>(size), static_cast<uint8_t>(size >> 8),
                                   static_cast<uint8_t>(~size), static_cast<uint8_t>(~size >> 8)};
        out.bytes(header, 4);
        out.bytes(data, size);
        data += size;
    } while (left > 0);
}

} // namespace ch::azip
