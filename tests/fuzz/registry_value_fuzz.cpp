// The registry value conversion: GetKeyValue over a registry that answers with fuzzed
// statuses, types and bytes (including more than an honest registry gives), and dwordText.
#include <cstdio>
#include <string>

#include "about/sys_info.h"
#include "platform/runtime_error.h"
#include "tests/fuzz/fuzz_support.h"

namespace ch::fuzz {
namespace {

class FuzzedRegistry : public Registry {
  public:
    explicit FuzzedRegistry(Input& in) : in_(in) {}

    RegistryValue readString(uint32_t, const std::string&, const std::string&) override {
        RegistryValue value;
        const uint8_t mode = in_.byte();
        if (mode % 5 == 0) {
            value.status = 2; // not found
            return value;
        }
        if (mode % 7 == 0) {
            value.status = 234; // more data than the limit
            return value;
        }
        value.type = mode & 0x80 ? in_.number(UINT32_MAX) : mode % 5;
        // Mostly the truth; sometimes more than the limit, as a faulty registry might give.
        value.bytes = in_.shortText(255) + in_.bytes(mode & 0x40 ? 1200 : 0);
        delivered = value.bytes;
        deliveredType = value.type;
        return value;
    }

    std::string delivered;
    uint32_t deliveredType = 0;

  private:
    Input& in_;
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
        // Only a value of no bytes, or more than the limit, is refused this way.
        FUZZ_CHECK(e.number() == errInvalidProcedureCall);
        FUZZ_CHECK(registry.delivered.empty() || registry.delivered.size() > 1024);
        return;
    }
    if (!result) {
        FUZZ_CHECK(value.empty());
        return;
    }
    const std::string& raw = registry.delivered;
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
