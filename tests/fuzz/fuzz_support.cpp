#include "tests/fuzz/fuzz_support.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace ch::fuzz {

void fail(const char* what, const char* file, int line) {
    std::fprintf(stderr, "%s:%d: property broken: %s\n", file, line, what);
    std::abort();
}

uint32_t Input::number(uint32_t max) {
    uint32_t value = 0;
    for (uint64_t span = max; span > 0 && !empty(); span >>= 8)
        value = (value << 8) | byte();
    return max == UINT32_MAX ? value : value % (max + 1);
}

std::string Input::bytes(size_t count) {
    count = std::min(count, size_ - std::min(pos_, size_));
    std::string out(reinterpret_cast<const char*>(data_ + pos_), count);
    pos_ += count;
    return out;
}

} // namespace ch::fuzz
