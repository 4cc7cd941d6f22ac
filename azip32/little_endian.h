#pragma once
// ZIP numbers are little-endian whatever the machine.
#include <cstdint>
#include <string>

namespace ch::azip {

inline void put16(std::string& out, uint32_t v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>((v >> 8) & 0xFF);
}
inline void put32(std::string& out, uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}
inline void put64(std::string& out, uint64_t v) {
    put32(out, static_cast<uint32_t>(v));
    put32(out, static_cast<uint32_t>(v >> 32));
}

inline uint16_t get16(const unsigned char* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
inline uint32_t get32(const unsigned char* p) {
    return get16(p) | (static_cast<uint32_t>(get16(p + 2)) << 16);
}
inline uint64_t get64(const unsigned char* p) {
    return get32(p) | (static_cast<uint64_t>(get32(p + 4)) << 32);
}

} // namespace ch::azip
