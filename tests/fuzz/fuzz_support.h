#pragma once
// What every fuzz target shares: a check that stops the run when a property breaks (libFuzzer
// then keeps the input as a crash; the corpus replay fails), and a reader that takes the
// fuzzer's bytes piece by piece.
#include <cstddef>
#include <cstdint>
#include <string>

#define FUZZ_CHECK(cond) ((cond) ? void(0) : ::ch::fuzz::fail(#cond, __FILE__, __LINE__))

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace ch::fuzz {

[[noreturn]] void fail(const char* what, const char* file, int line);

// Past the end of the input every read gives zeros or empty text, so any input is usable.
class Input {
  public:
    Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    bool empty() const { return pos_ >= size_; }
    uint8_t byte() { return empty() ? 0 : data_[pos_++]; }
    // A number from 0 to max, from as few bytes as max needs.
    uint32_t number(uint32_t max);
    // Up to count bytes, fewer at the end of the input.
    std::string bytes(size_t count);
    // A length byte (0 to max) followed by that many bytes.
    std::string shortText(size_t max) { return bytes(byte() % (max + 1)); }
    std::string rest() { return bytes(size_ - pos_); }

  private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

// Inflates a raw deflate stream that must end exactly at its end and give exactly size bytes.
std::string inflateExactly(const std::string& stream, size_t size);

} // namespace ch::fuzz
