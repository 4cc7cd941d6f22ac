#include "tests/support/test_code_page.h"

#include <cstdint>

namespace ch::test {

bool TestCodePage::ansiFromUtf8(const std::string& utf8, std::string& ansi) const {
    ansi.clear();
    bool fits = true;
    for (size_t i = 0; i < utf8.size();) {
        const auto b = static_cast<unsigned char>(utf8[i]);
        const size_t n = b < 0x80         ? 1
                         : (b >> 5) == 6  ? 2
                         : (b >> 4) == 14 ? 3
                         : (b >> 3) == 30 ? 4
                                          : 0;
        uint32_t c = n == 1 ? b : n == 2 ? b & 0x1F : n == 3 ? b & 0x0F : b & 0x07;
        bool valid = n > 0 && i + n <= utf8.size();
        for (size_t k = 1; valid && k < n; ++k) {
            const auto t = static_cast<unsigned char>(utf8[i + k]);
            valid = (t >> 6) == 2;
            c = (c << 6) | (t & 0x3F);
        }
        const bool latin1 = leadByte_ == isNeverLeadByte && c >= 0xA0 && c <= 0xFF;
        if (valid && (c < 0x80 || latin1)) {
            ansi += static_cast<char>(c);
        } else {
            ansi += '?';
            fits = false;
        }
        i += valid ? n : 1;
    }
    return fits;
}

std::string TestCodePage::caseFolded(const std::string& name) const {
    std::string folded = name;
    for (size_t i = 0; i < folded.size(); ++i) {
        const auto b = static_cast<unsigned char>(folded[i]);
        if (leadByte_(b) && i + 1 < folded.size())
            ++i;
        else if ((b >= 'a' && b <= 'z') ||
                 (leadByte_ == isNeverLeadByte && b >= 0xE0 && b <= 0xFE && b != 0xF7))
            folded[i] = static_cast<char>(b - 0x20);
    }
    return folded;
}

} // namespace ch::test
