#pragma once
// A minimal ZIP writer of the tests' own, standing for "any ZIP tool": local headers, central
// directory and end record, without data descriptors, extra fields or ZIP64.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include <zlib.h>

#include "azip32/little_endian.h"

namespace ch::test {

namespace zip_maker_detail {
using azip::put16;
using azip::put32;

inline std::string rawDeflate(const std::string& data) {
    z_stream s{};
    deflateInit2(&s, 6, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&s, static_cast<uLong>(data.size())), '\0');
    s.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    s.avail_in = static_cast<uInt>(data.size());
    s.next_out = reinterpret_cast<Bytef*>(out.data());
    s.avail_out = static_cast<uInt>(out.size());
    deflate(&s, Z_FINISH);
    out.resize(s.total_out);
    deflateEnd(&s);
    return out;
}

} // namespace zip_maker_detail

// Entries are deflated, except names ending in "!" (stored, the "!" dropped).
inline std::string makeZip(const std::vector<std::pair<std::string, std::string>>& entries) {
    using namespace zip_maker_detail;
    std::string out, central;
    for (auto [name, data] : entries) {
        const bool stored = name.back() == '!';
        if (stored)
            name.pop_back();
        const std::string packed = stored ? data : rawDeflate(data);
        const uint32_t crc = static_cast<uint32_t>(
            crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
        auto header = [&](bool local) {
            std::string h;
            put32(h, local ? 0x04034b50 : 0x02014b50);
            if (!local)
                put16(h, 20);
            put16(h, 20);
            put16(h, 0);
            put16(h, stored ? 0 : 8);
            put16(h, 0);
            put16(h, 0x21);
            put32(h, crc);
            put32(h, static_cast<uint32_t>(packed.size()));
            put32(h, static_cast<uint32_t>(data.size()));
            put16(h, static_cast<uint32_t>(name.size()));
            put16(h, 0);
            if (!local) {
                put16(h, 0);
                put16(h, 0);
                put16(h, 0);
                put32(h, 0);
                put32(h, static_cast<uint32_t>(out.size()));
            }
            return h + name;
        };
        central += header(false);
        out += header(true) + packed;
    }
    std::string end;
    put32(end, 0x06054b50);
    put32(end, 0);
    put16(end, static_cast<uint32_t>(entries.size()));
    put16(end, static_cast<uint32_t>(entries.size()));
    put32(end, static_cast<uint32_t>(central.size()));
    put32(end, static_cast<uint32_t>(out.size()));
    put16(end, 0);
    return out + central + end;
}

} // namespace ch::test
