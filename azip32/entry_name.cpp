#include "azip32/entry_name.h"

#include <cstdint>

namespace ch::azip {
namespace {

// Length of the UTF-8 sequence starting at text[i], or 0 if it is not valid UTF-8
// (overlong forms, surrogates and values past U+10FFFF are refused).
size_t utf8SequenceLength(std::string_view text, size_t i) {
    const auto byte = [&](size_t k) { return static_cast<uint8_t>(text[k]); };
    const uint8_t lead = byte(i);
    size_t length;
    uint32_t value;
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        value = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        value = lead & 0x0Fu;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        value = lead & 0x07u;
    } else {
        return 0;
    }
    if (i + length > text.size())
        return 0;
    for (size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80)
            return 0;
        value = (value << 6) | (byte(i + k) & 0x3Fu);
    }
    const uint32_t minimum = length == 3 ? 0x800 : length == 4 ? 0x10000 : 0x80;
    if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return 0;
    return length;
}

bool isValidUtf8(std::string_view text) {
    for (size_t i = 0; i < text.size();) {
        const size_t n = utf8SequenceLength(text, i);
        if (n == 0)
            return false;
        i += n;
    }
    return true;
}

} // namespace

std::string bareName(std::string_view path, LeadByteTest isLeadByte) {
    size_t start = 0;
    for (size_t i = 0; i < path.size(); ++i) {
        if (isLeadByte(static_cast<uint8_t>(path[i])) && i + 1 < path.size())
            ++i; // the trail byte belongs to this character
        else if (path[i] == '\\' || path[i] == '/')
            start = i + 1;
    }
    return std::string(path.substr(start));
}

bool isPlainAscii(std::string_view text) {
    for (const char c : text)
        if (static_cast<uint8_t>(c) >= 0x80)
            return false;
    return true;
}

std::string latin1OrUtf8ToUtf8(std::string_view text) {
    if (isValidUtf8(text))
        return std::string(text);
    std::string out;
    out.reserve(text.size() * 2);
    for (const char c : text) {
        const auto b = static_cast<uint8_t>(c);
        if (b < 0x80) {
            out += c;
        } else {
            out += static_cast<char>(0xC0 | (b >> 6));
            out += static_cast<char>(0x80 | (b & 0x3F));
        }
    }
    return out;
}

} // namespace ch::azip
