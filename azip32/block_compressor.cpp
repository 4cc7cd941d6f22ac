#include "azip32/block_compressor.h"

#include <algorithm>
#include <optional>
#include <zlib.h>

#include "azip32/caller_priority.h"
#include "azip32/deflate_encoder.h"
#include "azip32/fault_points.h"

namespace ch::azip {
namespace {

// One worker's deflate state, reused for every block.
class Deflater {
  public:
    explicit Deflater(DeflateSettings settings) : encoder_(settings) {}

    void compress(Block& b) {
        b.crc = static_cast<uint32_t>(crc32(0L, b.input.get(), static_cast<uInt>(b.inputSize)));
        b.outputSize =
            encoder_.compress(b.dictionary.get(), b.dictionarySize, b.input.get(), b.inputSize,
                              b.last, b.output.get(), BlockCompressor::outputCapacity());
        b.failed = b.outputSize == 0;
    }

  private:
    DeflateEncoder encoder_;
};

} // namespace

BlockCompressor::BlockCompressor(unsigned threads, size_t slots, DeflateSettings settings)
    : settings_(settings) {
    // Buffers are allocated uninitialised: pages that a small archive never touches cost
    // no memory.
    for (size_t i = 0; i < slots; ++i) {
        auto b = std::make_unique<Block>();
        b->input.reset(new unsigned char[kBlockSize]);
        b->dictionary.reset(new unsigned char[kDictionarySize]);
        b->output.reset(new unsigned char[outputCapacity()]);
        blocks_.push_back(std::move(b));
    }
    // A thread that cannot be started must not leave the ones before it running unjoined,
    // which would end the whole program.
    try {
        for (unsigned i = 0; i < std::max(threads, 1u); ++i) {
            faultPoint(FaultPoint::ThreadStart);
            workers_.emplace_back([this, caller = CallerPriority()] {
                caller.applyToThisThread();
                work();
            });
        }
    } catch (...) {
        stop();
        throw;
    }
}

BlockCompressor::~BlockCompressor() {
    stop();
}

void BlockCompressor::stop() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    queued_.notify_all();
    for (auto& w : workers_)
        w.join();
    workers_.clear();
}

void BlockCompressor::submit(Block& block) {
    {
        std::lock_guard lock(mutex_);
        block.state = Block::State::Queued;
        queue_.push_back(&block);
    }
    queued_.notify_one();
}

void BlockCompressor::wait(Block& block) {
    std::unique_lock lock(mutex_);
    done_.wait(lock, [&] { return block.state == Block::State::Done; });
    block.state = Block::State::Idle;
}

size_t BlockCompressor::outputCapacity() {
    return DeflateEncoder::maxOutputSize(kBlockSize);
}

unsigned BlockCompressor::defaultThreadCount() {
    const unsigned cores = std::thread::hardware_concurrency();
    return std::clamp(cores, 1u, 4u);
}

void BlockCompressor::work() {
    // Made on the first block, so that running out of memory for it fails that block.
    std::optional<Deflater> deflater;
    for (;;) {
        Block* block;
        {
            std::unique_lock lock(mutex_);
            queued_.wait(lock, [&] { return stopping_ || !queue_.empty(); });
            if (queue_.empty())
                return;
            block = queue_.front();
            queue_.pop_front();
        }
        // An exception must not leave the thread: it would end the program. The block is
        // marked failed instead, and the writer gives up with the internal error.
        try {
            faultPoint(FaultPoint::WorkerTask);
            if (!deflater)
                deflater.emplace(settings_);
            deflater->compress(*block);
        } catch (...) {
            block->failed = true;
        }
        {
            std::lock_guard lock(mutex_);
            block->state = Block::State::Done;
        }
        done_.notify_all();
    }
}

} // namespace ch::azip
