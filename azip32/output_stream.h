#pragma once
// Buffered sequential writing to the archive file, with the two moves back that the writer
// needs: completing a local header in place, and rewinding over an entry's data to store
// it instead. Small records (headers, the central directory) are gathered into large writes.
#include <cstdint>
#include <string_view>
#include <vector>

#include "azip32/file_io.h"

namespace ch::azip {

class OutputStream {
  public:
    explicit OutputStream(File& file, size_t bufferSize = 1 << 20);

    uint64_t position() const { return bufferStart_ + buffer_.size(); }
    void write(const void* data, size_t size);
    void write(std::string_view data) { write(data.data(), data.size()); }
    // Overwrites bytes already written, anywhere before position().
    void patch(uint64_t offset, std::string_view data);
    // Drops everything from offset on; later writes continue there.
    void rewind(uint64_t offset);
    // Writes out the buffer and cuts the file at position().
    void finish();

  private:
    void flushBuffer();

    File& file_;
    std::vector<char> buffer_;
    size_t capacity_;
    uint64_t bufferStart_ = 0;
};

} // namespace ch::azip
