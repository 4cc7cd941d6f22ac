#include "azip32/block_compressor.h"

#include <algorithm>
#include <zlib.h>

namespace ch::azip {
namespace {

// One worker's deflate state, reset for every block.
class Deflater {
  public:
    Deflater() {
        ok_ = deflateInit2(&stream_, kDeflateLevel, Z_DEFLATED, -MAX_WBITS, kDeflateMemLevel,
                           Z_DEFAULT_STRATEGY) == Z_OK;
    }
    ~Deflater() {
        if (ok_)
            deflateEnd(&stream_);
    }
    Deflater(const Deflater&) = delete;
    Deflater& operator=(const Deflater&) = delete;

    void compress(Block& b) {
        b.crc = static_cast<uint32_t>(crc32(0L, b.input.get(), static_cast<uInt>(b.inputSize)));
        b.failed = !ok_ || deflateReset(&stream_) != Z_OK;
        if (!b.failed && b.dictionarySize > 0)
            b.failed = deflateSetDictionary(&stream_, b.dictionary.get(),
                                            static_cast<uInt>(b.dictionarySize)) != Z_OK;
        if (b.failed)
            return;
        stream_.next_in = b.input.get();
        stream_.avail_in = static_cast<uInt>(b.inputSize);
        stream_.next_out = b.output.get();
        stream_.avail_out = static_cast<uInt>(BlockCompressor::outputCapacity());
        const int result = deflate(&stream_, b.last ? Z_FINISH : Z_SYNC_FLUSH);
        const int expected = b.last ? Z_STREAM_END : Z_OK;
        b.failed = result != expected || stream_.avail_in != 0 || stream_.avail_out == 0;
        b.outputSize = BlockCompressor::outputCapacity() - stream_.avail_out;
    }

  private:
    z_stream stream_{};
    bool ok_ = false;
};

} // namespace

BlockCompressor::BlockCompressor(unsigned threads, size_t slots) {
    // Buffers are allocated uninitialised: pages that a small archive never touches cost
    // no memory.
    for (size_t i = 0; i < slots; ++i) {
        auto b = std::make_unique<Block>();
        b->input.reset(new unsigned char[kBlockSize]);
        b->dictionary.reset(new unsigned char[kDictionarySize]);
        b->output.reset(new unsigned char[outputCapacity()]);
        blocks_.push_back(std::move(b));
    }
    for (unsigned i = 0; i < std::max(threads, 1u); ++i)
        workers_.emplace_back([this] { work(); });
}

BlockCompressor::~BlockCompressor() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    queued_.notify_all();
    for (auto& w : workers_)
        w.join();
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
    // deflateBound's stored-block worst case, plus the sync flush marker and some slack.
    return kBlockSize + kBlockSize / 1000 * 5 + 64 * 1024;
}

unsigned BlockCompressor::defaultThreadCount() {
    const unsigned cores = std::thread::hardware_concurrency();
    return std::clamp(cores, 1u, 4u);
}

void BlockCompressor::work() {
    Deflater deflater;
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
        deflater.compress(*block);
        {
            std::lock_guard lock(mutex_);
            block->state = Block::State::Done;
        }
        done_.notify_all();
    }
}

} // namespace ch::azip
