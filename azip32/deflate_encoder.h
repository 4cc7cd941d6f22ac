#pragma once
// Our own deflate encoder (RFC 1951), built for the archive's blocks: it compresses one
// piece of a file that may continue from up to 32 KiB of the data before it, and ends
// either the whole stream or on a byte boundary with an empty stored block, so the pieces
// of a file compressed on different threads join into one stream.
//
// It finds matches with hash chains of four-byte prefixes (plus the last position of
// each three-byte prefix for short, near matches), compares candidates a word at a time,
// looks one position ahead before taking a match, and writes each block as
// dynamic Huffman, fixed Huffman or stored, whichever is smallest. It does the work of zlib's
// level 6 in well under half zlib's time on messenger data, with archives no larger.
//
// Its choices are priced by the block's statistics so far (once a chunk of it has been
// counted; before that by rules of thumb): a short match is taken only when it costs fewer
// bits than its bytes as literals, and the literal before a longer match one position on
// only when the two cost less than the match here and the further bytes the longer one
// covers.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "azip32/deflate_blocks.h"

namespace ch::azip {

struct DeflateSettings {
    int maxChain = 32;    // candidates tried per position
    int niceLength = 128; // a match this long is taken without looking further
    int maxLazy = 16;     // no look-ahead after a match this long
    int goodLength = 8;   // look-ahead after a match this long tries a quarter of the chain
};

class DeflateEncoder {
  public:
    explicit DeflateEncoder(DeflateSettings settings = {});

    // Compresses input (inputSize bytes) preceded by dictionary (dictionarySize bytes, at
    // most 32 KiB) into output. last ends the stream (BFINAL); otherwise the output ends
    // with an empty stored block. Returns the bytes written, or 0 when output is too small:
    // maxOutputSize(inputSize) is always enough.
    size_t compress(const uint8_t* dictionary, size_t dictionarySize, const uint8_t* input,
                    size_t inputSize, bool last, uint8_t* output, size_t outputCapacity);

    // Every block is at least 1 KiB of input or the piece's last, and costs at most its
    // input stored plus a 6-byte header.
    static constexpr size_t maxOutputSize(size_t inputSize) {
        return inputSize + inputSize / 128 + 64;
    }

  private:
    int findMatch(int32_t pos, int32_t end, int bestLength, int chain, int32_t& distance);
    void insertUpTo(int32_t pos);
    void parse(int32_t start, int32_t end, bool last, BitWriter& out);

    DeflateSettings settings_;
    std::vector<uint8_t> window_;
    std::vector<int32_t> head4_;
    std::vector<int32_t> head3_;
    std::vector<int32_t> chain_;
    BlockWriter blocks_;
    int32_t inserted_ = 0; // positions below this are in the hash tables
};

} // namespace ch::azip
