#pragma once
// Deflates blocks of input on worker threads. Consecutive blocks of one file are deflated
// independently, each primed with the last 32 KiB of the block before it and ended on a
// byte boundary (a sync flush), so their outputs joined in order form one deflate stream,
// almost as small as deflating the file in one go. Blocks of different files run side by
// side the same way, so small files use every core too.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <thread>
#include <vector>

#include "azip32/deflate_encoder.h"
#include "azip32/sync.h"

namespace ch::azip {

constexpr size_t kBlockSize = 512 * 1024;
constexpr size_t kDictionarySize = 32 * 1024;

struct Block {
    enum class State { Idle, Queued, Done };

    // Filled by the reader before the block is queued.
    std::unique_ptr<unsigned char[]> input;
    size_t inputSize = 0;
    std::unique_ptr<unsigned char[]> dictionary;
    size_t dictionarySize = 0;
    bool last = false; // ends the file: finish the deflate stream

    // Filled by a worker.
    std::unique_ptr<unsigned char[]> output;
    size_t outputSize = 0;
    uint32_t crc = 0;
    bool failed = false;

    State state = State::Idle;
};

class BlockCompressor {
  public:
    // slots blocks can be in flight at once; threads workers deflate them.
    BlockCompressor(unsigned threads, size_t slots, DeflateSettings settings = {});
    ~BlockCompressor();
    BlockCompressor(const BlockCompressor&) = delete;
    BlockCompressor& operator=(const BlockCompressor&) = delete;

    size_t slotCount() const { return blocks_.size(); }
    Block& slot(size_t i) { return *blocks_[i]; }
    void submit(Block& block);
    // Waits until the block is deflated; it is Idle again afterwards.
    void wait(Block& block);

    // The output space a block of kBlockSize needs in the worst case.
    static size_t outputCapacity();
    static unsigned defaultThreadCount();

  private:
    void work();
    // Stops and joins every worker started.
    void stop();

    DeflateSettings settings_;

    std::vector<std::unique_ptr<Block>> blocks_;
    Lock mutex_;
    Condition queued_;
    Condition done_;
    std::deque<Block*> queue_;
    bool stopping_ = false;
    std::vector<std::thread> workers_;
};

} // namespace ch::azip
