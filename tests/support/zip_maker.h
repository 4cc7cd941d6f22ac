#pragma once
// A minimal ZIP writer of the tests' own, standing for "any ZIP tool": local headers, central
// directory and end record, with flags, extra fields and data descriptors as asked; no ZIP64.
#include <cstdint>
#include <optional>
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

// One entry as a tool may write it. The name is stored as given; flags and extra fields go
// into both headers; with a descriptor the sizes and CRC-32 follow the data (with its
// signature) and the local header holds zeros.
struct ZipItem {
    ZipItem(std::string n, std::string d) : name(std::move(n)), data(std::move(d)) {}
    ZipItem& store() { return stored = true, *this; }
    ZipItem& withFlags(uint16_t f) { return flags = f, *this; }
    ZipItem& withExtra(std::string e) { return extra = std::move(e), *this; }
    ZipItem& withDescriptor() { return descriptor = true, *this; }
    // The local header's extra fields, in place of those of withExtra.
    ZipItem& withLocalExtra(std::string e) { return localExtra = std::move(e), *this; }

    std::string name;
    std::string data;
    bool stored = false;
    uint16_t flags = 0;
    std::string extra;
    std::optional<std::string> localExtra;
    bool descriptor = false;
};

inline std::string makeZipItems(const std::vector<ZipItem>& entries) {
    using namespace zip_maker_detail;
    std::string out, central;
    for (const ZipItem& e : entries) {
        const std::string packed = e.stored ? e.data : rawDeflate(e.data);
        const uint32_t crc = static_cast<uint32_t>(crc32(
            0, reinterpret_cast<const Bytef*>(e.data.data()), static_cast<uInt>(e.data.size())));
        auto header = [&](bool local) {
            const bool zeros = local && e.descriptor;
            std::string h;
            put32(h, local ? 0x04034b50 : 0x02014b50);
            if (!local)
                put16(h, 20);
            put16(h, 20);
            put16(h, e.flags | (e.descriptor ? 8 : 0));
            put16(h, e.stored ? 0 : 8);
            put16(h, 0);
            put16(h, 0x21);
            put32(h, zeros ? 0 : crc);
            put32(h, zeros ? 0 : static_cast<uint32_t>(packed.size()));
            put32(h, zeros ? 0 : static_cast<uint32_t>(e.data.size()));
            put16(h, static_cast<uint32_t>(e.name.size()));
            const std::string extra = local && e.localExtra ? *e.localExtra : e.extra;
            put16(h, static_cast<uint32_t>(extra.size()));
            if (!local) {
                put16(h, 0);
                put16(h, 0);
                put16(h, 0);
                put32(h, 0);
                put32(h, static_cast<uint32_t>(out.size()));
            }
            return h + e.name + extra;
        };
        central += header(false);
        out += header(true) + packed;
        if (e.descriptor) {
            put32(out, 0x08074b50);
            put32(out, crc);
            put32(out, static_cast<uint32_t>(packed.size()));
            put32(out, static_cast<uint32_t>(e.data.size()));
        }
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

// Entries are deflated, except names ending in "!" (stored, the "!" dropped).
inline std::string makeZip(const std::vector<std::pair<std::string, std::string>>& entries) {
    std::vector<ZipItem> items;
    for (auto [name, data] : entries) {
        const bool stored = name.back() == '!';
        if (stored)
            name.pop_back();
        items.push_back(ZipItem(name, data));
        items.back().stored = stored;
    }
    return makeZipItems(items);
}

} // namespace ch::test
