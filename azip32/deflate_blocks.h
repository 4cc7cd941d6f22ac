#pragma once
// The output half of the deflate encoder: collects literals and matches, and writes them
// as one deflate block in whichever form is smallest (dynamic Huffman, fixed Huffman or
// stored), with length-limited canonical Huffman codes.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace ch::azip {

// Writes bits least significant first, as deflate wants them.
class BitWriter {
  public:
    BitWriter(uint8_t* out, size_t capacity) : next_(out), end_(out + capacity) {}

    // count is at most 16. A 32-bit buffer keeps this cheap on 32-bit processors.
    void put(uint32_t bits, unsigned count) {
        buffer_ |= bits << count_;
        count_ += count;
        if (count_ >= 16) {
            if (end_ - next_ >= 2) {
                next_[0] = static_cast<uint8_t>(buffer_);
                next_[1] = static_cast<uint8_t>(buffer_ >> 8);
            } else {
                overflow_ = true;
            }
            next_ += 2;
            buffer_ >>= 16;
            count_ -= 16;
        }
    }
    // Pads with zero bits to the next byte boundary.
    void align();
    // Raw bytes; the writer must be aligned.
    void bytes(const uint8_t* data, size_t size);

    bool overflowed() const { return overflow_ || next_ > end_; }
    uint8_t* position() const { return next_; }

  private:
    uint8_t* next_;
    uint8_t* end_;
    uint32_t buffer_ = 0;
    unsigned count_ = 0;
    bool overflow_ = false;
};

// Block boundaries are chosen as the data changes: items are gathered in chunks, and a
// chunk whose statistics differ enough from its block's starts a new block, when the
// estimated saving is larger than the cost of another block header.
class BlockWriter {
  public:
    static constexpr size_t kChunkItems = 1024;
    static constexpr size_t kMaxItems = 32 * 1024;

    BlockWriter();
    // Starts a block whose raw bytes begin at window + rawStart.
    void start(const uint8_t* window, int32_t rawStart);

    void literal(uint8_t c) {
        items_.push_back(c);
        ++chunk_.lit[c];
    }
    void match(unsigned length, unsigned distance);
    bool chunkFull() const { return items_.size() - chunkStart_ >= kChunkItems; }
    // Ends the chunk at the raw position rawEnd: it joins the block or starts the next.
    void endChunk(BitWriter& out, int32_t rawEnd);
    // Writes what is left, up to the raw position rawEnd.
    void finish(BitWriter& out, int32_t rawEnd, bool final);
    // Whether a short match saves bits over its bytes as literals, priced by the block's
    // statistics so far. Until a chunk has been counted every match is taken.
    bool matchPays(const uint8_t* bytes, unsigned length, unsigned distance) const {
        if (!priced_)
            return true;
        unsigned literals = 0;
        for (unsigned k = 0; k < length; ++k)
            literals += litPrice_[bytes[k]];
        return matchPrice(length, distance) < literals;
    }
    // What a match costs by the prices so far, in sixteenths of a bit.
    unsigned matchPrice(unsigned length, unsigned distance) const {
        return lengthPrice_[length] +
               (distance <= 256 ? nearPrice_[distance - 1] : farPrice_[(distance - 1) >> 7]);
    }
    // Whether the match (length, distance) saves more bits than the shorter match
    // (shorter, nearer), by the prices so far; while there are none, the longer does.
    bool savesMore(unsigned length, unsigned distance, unsigned shorter, unsigned nearer) const {
        return !priced_ || kByteWorth * (length - shorter) + matchPrice(shorter, nearer) >
                               matchPrice(length, distance);
    }
    // Whether a literal and then the match (next, nextDistance) one byte on cost less than
    // the match (length, distance) here. Priced: against this match and, for the bytes the
    // later match covers beyond it, what a byte of the block costs.
    bool literalFirstPays(uint8_t literal, unsigned length, unsigned distance, unsigned next,
                          unsigned nextDistance) const {
        if (!priced_)
            return literalFirstPaysUnpriced(length, distance, next, nextDistance);
        return litPrice_[literal] + matchPrice(next, nextDistance) <
               matchPrice(length, distance) + (next + 1 - length) * bytePrice_;
    }

  private:
    struct Frequencies {
        uint32_t lit[286];
        uint32_t dist[30];
        void clear();
        void add(const Frequencies& other);
        // Estimated size in bits, of these alone or joined with other.
        float bits(const Frequencies* other) const;
    };
    // Joins the chunk to the block, or writes the block and makes the chunk the next one.
    void joinChunk(BitWriter& out);
    // Writes items [0, count), counted in block_, as one block covering the raw bytes up
    // to rawEnd; the rest start the next block, whose counts begin empty.
    void write(BitWriter& out, size_t count, int32_t rawEnd, bool final);
    void writeItems(BitWriter& out, size_t count, const uint8_t* litLengths,
                    const uint16_t* litCodes, const uint8_t* distLengths,
                    const uint16_t* distCodes);
    void writeStored(BitWriter& out, int32_t rawEnd, bool final);

    const uint8_t* window_ = nullptr;
    int32_t rawStart_ = 0;
    // A literal is its byte; a match is length | distance << 9.
    std::vector<uint32_t> items_;
    size_t chunkStart_ = 0; // items_ from here are the chunk not yet joined to the block
    int32_t chunkRawStart_ = 0;
    Frequencies block_;
    Frequencies chunk_;
    // What a byte a match covers saves, in sixteenths of a bit, when two matches are
    // weighed: about a literal's price in the family of test data.
    static constexpr unsigned kByteWorth = 16 * 7;
    // What each symbol costs in the block so far, in sixteenths of a bit (see setPrices).
    bool priced_ = false;
    uint16_t litPrice_[286];
    // Whole prices, extra bits included: of a match length, and of a distance up to 256
    // by distance - 1 and beyond by (distance - 1) >> 7, as deflate's distance codes go.
    uint16_t lengthPrice_[259];
    uint16_t nearPrice_[256];
    uint16_t farPrice_[256];
    unsigned bytePrice_ = 128;
    void setPrices(int32_t rawBytes);
    bool literalFirstPaysUnpriced(unsigned length, unsigned distance, unsigned next,
                                  unsigned nextDistance) const;
};

// Code lengths of at most maxBits for the symbols' frequencies, optimal under that limit
// or close to it. Always gives at least two symbols a length, so the code is complete.
void buildCodeLengths(const uint32_t* freq, int count, int maxBits, uint8_t* lengths);
// Canonical codes for the lengths, bit-reversed for the least-significant-first writer.
void assignCodes(const uint8_t* lengths, int count, uint16_t* codes);

} // namespace ch::azip
