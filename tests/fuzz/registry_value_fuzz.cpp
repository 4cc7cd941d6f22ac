// The registry value conversion: GetKeyValue over a registry that answers with fuzzed
// statuses, types, sizes and bytes (including sizes no honest registry gives), and dwordText.
#include <cstdio>
#include <cstring>
#include <map>
#include <string>

#include "about/sys_info.h"
#include "platform/runtime_error.h"
#include "tests/fuzz/fuzz_support.h"

namespace ch::fuzz {
namespace {

class FuzzedRegistry : public Registry {
  public:
    explicit FuzzedRegistry(Input& in) : in_(in) {}

    long openKey(uint32_t, const std::string&, uint32_t, uint32_t access, uint32_t& key) override {
        FUZZ_CHECK(access == KEY_READ_ACCESS);
        if (in_.byte() % 5 == 0) {
            key = 0;
            return 2; // not found
        }
        key = next_++;
        closes_[key] = 0;
        return 0;
    }

    long queryValue(uint32_t key, const std::string&, uint32_t& type, unsigned char* data,
                    uint32_t& size) override {
        FUZZ_CHECK(closes_.count(key) == 1 && closes_[key] == 0);
        const uint8_t mode = in_.byte();
        if (mode % 7 == 0)
            return 234; // more data than the buffer holds
        type = mode & 0x80 ? in_.number(UINT32_MAX) : mode % 5;
        std::string bytes = in_.shortText(255);
        bytes += in_.bytes(mode & 0x40 ? 1200 : 0);
        const uint32_t written = std::min<uint32_t>(bytes.size(), size);
        std::memcpy(data, bytes.data(), written);
        // Mostly the truth; sometimes a size past the buffer, as a faulty driver might claim.
        size = mode & 0x20 ? written : in_.number(UINT32_MAX);
        delivered = std::string(bytes, 0, written);
        deliveredSize = size;
        deliveredType = type;
        return 0;
    }

    long closeKey(uint32_t key) override {
        if (key != 0) {
            FUZZ_CHECK(closes_.count(key) == 1);
            ++closes_[key];
        }
        return 0;
    }

    bool everyKeyClosedOnce() const {
        for (const auto& [key, count] : closes_)
            if (count != 1)
                return false;
        return true;
    }

    std::string delivered;
    uint32_t deliveredSize = 0;
    uint32_t deliveredType = 0;

  private:
    Input& in_;
    uint32_t next_ = 0x100;
    std::map<uint32_t, int> closes_;
};

bool isHexDigits(const std::string& s) {
    return s.find_first_not_of("0123456789ABCDEF") == std::string::npos;
}

void getKeyValue(Input& in) {
    FuzzedRegistry registry(in);
    const std::string before = in.shortText(8);
    std::string value = before;
    bool result = false;
    try {
        result = GetKeyValue(registry, HKEY_LOCAL_MACHINE_ROOT, "SOFTWARE\\Key", "PATH", value);
    } catch (const RuntimeError& e) {
        // Only a value of no bytes, or a size the buffer cannot hold, is refused this way.
        FUZZ_CHECK(e.number() == errInvalidProcedureCall);
        FUZZ_CHECK(registry.deliveredSize == 0 || registry.deliveredSize > 1024);
        FUZZ_CHECK(registry.everyKeyClosedOnce());
        return;
    }
    FUZZ_CHECK(registry.everyKeyClosedOnce());
    if (!result) {
        FUZZ_CHECK(value.empty());
        return;
    }
    const std::string& raw = registry.delivered;
    if (registry.deliveredSize != raw.size())
        return; // a size that was a lie: surviving it is all that can be asked
    const std::string trimmed = raw.back() == '\0' ? raw.substr(0, raw.size() - 1) : raw;
    switch (registry.deliveredType) {
    case 1: // REG_SZ
        FUZZ_CHECK(value == trimmed);
        break;
    case 4: { // REG_DWORD: "&h", the incoming text, then hex digits
        FUZZ_CHECK(value.rfind("&h" + before, 0) == 0);
        const std::string digits = value.substr(2 + before.size());
        FUZZ_CHECK(isHexDigits(digits));
        FUZZ_CHECK(digits.size() >= trimmed.size() && digits.size() <= 2 * trimmed.size());
        break;
    }
    default:
        FUZZ_CHECK(value == before);
    }
}

// A DWORD whose bytes all have a high digit reads as the number in hexadecimal.
void dword(Input& in) {
    const std::string bytes = in.bytes(4);
    const std::string text = dwordText(bytes);
    FUZZ_CHECK(text.rfind("&h", 0) == 0 && isHexDigits(text.substr(2)));
    bool allHigh = bytes.size() == 4;
    uint32_t number = 0;
    for (size_t i = bytes.size(); i-- > 0;) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        allHigh = allHigh && b >= 16;
        number = number << 8 | b;
    }
    if (allHigh) {
        char expected[16];
        std::snprintf(expected, sizeof expected, "&h%X", number);
        FUZZ_CHECK(text == expected);
    }
}

} // namespace
} // namespace ch::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ch::fuzz::Input in(data, size);
    ch::fuzz::dword(in);
    ch::fuzz::getKeyValue(in);
    return 0;
}
