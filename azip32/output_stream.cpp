#include "azip32/output_stream.h"

#include <algorithm>
#include <cstring>

namespace ch::azip {

OutputStream::OutputStream(File& file, size_t bufferSize) : file_(file), capacity_(bufferSize) {
    buffer_.reserve(capacity_);
}

void OutputStream::write(const void* data, size_t size) {
    const auto* p = static_cast<const char*>(data);
    if (buffer_.size() + size > capacity_)
        flushBuffer();
    if (size >= capacity_) {
        file_.writeAt(bufferStart_, p, size);
        bufferStart_ += size;
        return;
    }
    buffer_.insert(buffer_.end(), p, p + size);
}

void OutputStream::patch(uint64_t offset, std::string_view data) {
    // The part before the buffer is on disk already; the rest is still in the buffer.
    const uint64_t end = offset + data.size();
    if (offset < bufferStart_) {
        const auto onDisk = static_cast<size_t>(std::min(end, bufferStart_) - offset);
        file_.writeAt(offset, data.data(), onDisk);
        data.remove_prefix(onDisk);
        offset += onDisk;
    }
    if (!data.empty())
        std::memcpy(buffer_.data() + (offset - bufferStart_), data.data(), data.size());
}

void OutputStream::rewind(uint64_t offset) {
    if (offset >= bufferStart_) {
        buffer_.resize(static_cast<size_t>(offset - bufferStart_));
        return;
    }
    buffer_.clear();
    bufferStart_ = offset;
}

void OutputStream::finish() {
    flushBuffer();
    file_.truncate(bufferStart_);
}

void OutputStream::flushBuffer() {
    if (buffer_.empty())
        return;
    file_.writeAt(bufferStart_, buffer_.data(), buffer_.size());
    bufferStart_ += buffer_.size();
    buffer_.clear();
}

} // namespace ch::azip
