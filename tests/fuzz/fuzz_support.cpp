#include "tests/fuzz/fuzz_support.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <zlib.h>

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

std::string inflateExactly(const std::string& stream, size_t size) {
    std::string out(size, '\0');
    z_stream z{};
    FUZZ_CHECK(inflateInit2(&z, -MAX_WBITS) == Z_OK);
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(stream.data()));
    z.avail_in = static_cast<uInt>(stream.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    const int rc = inflate(&z, Z_FINISH);
    inflateEnd(&z);
    FUZZ_CHECK(rc == Z_STREAM_END && z.avail_in == 0 && z.avail_out == 0);
    return out;
}

} // namespace ch::fuzz
