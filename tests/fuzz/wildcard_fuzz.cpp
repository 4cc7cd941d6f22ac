// The wildcard matcher against a plain table-driven matcher, plus the rules a user relies on
// whatever the pattern: a name matches itself in any case, "*" and "*.*" match everything,
// and a pattern list matches when one of its patterns does.
#include <cctype>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "tests/fuzz/fuzz_support.h"

namespace ch::fuzz {
namespace {

char fold(char c) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

// Classic glob by dynamic programming: * any run, ? one character, letters in any case.
bool tableMatch(const std::string& p, const std::string& n) {
    std::vector<std::vector<bool>> m(p.size() + 1, std::vector<bool>(n.size() + 1, false));
    m[p.size()][n.size()] = true;
    for (size_t i = p.size(); i-- > 0;) {
        for (size_t j = n.size() + 1; j-- > 0;) {
            if (p[i] == '*')
                m[i][j] = m[i + 1][j] || (j < n.size() && m[i][j + 1]);
            else if (j < n.size() && (p[i] == '?' || fold(p[i]) == fold(n[j])))
                m[i][j] = m[i + 1][j + 1];
        }
    }
    return m[0][0];
}

// Win32's extras on top: "x.*" also matches a name without a dot as "x" would, and "x."
// matches a name without a dot as "x" would.
bool referenceMatch(const std::string& p, const std::string& n) {
    if (p.empty())
        return false;
    if (tableMatch(p, n))
        return true;
    if (n.find('.') != std::string::npos)
        return false;
    if (p.size() >= 2 && p.compare(p.size() - 2, 2, ".*") == 0)
        return tableMatch(p.substr(0, p.size() - 2), n);
    return p.back() == '.' && tableMatch(p.substr(0, p.size() - 1), n);
}

std::string swapCase(std::string s) {
    for (char& c : s) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x80)
            c = static_cast<char>(std::islower(u) ? std::toupper(u) : std::tolower(u));
    }
    return s;
}

std::string trimmed(const std::string& s) {
    const auto first = s.find_first_not_of(' ');
    return first == std::string::npos ? "" : s.substr(first, s.find_last_not_of(' ') - first + 1);
}

} // namespace
} // namespace ch::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace ch::fuzz;
    Input in(data, size);
    const std::string patterns = in.shortText(120);
    const std::string name = in.shortText(120);

    std::vector<std::string> parts{""};
    for (char c : patterns) {
        if (c == ';')
            parts.emplace_back();
        else
            parts.back() += c;
    }
    bool anyPart = false;
    for (const std::string& part : parts) {
        const std::string one = trimmed(part);
        const bool matches = ch::wildcardMatch(one, name);
        FUZZ_CHECK(matches == referenceMatch(one, name));
        FUZZ_CHECK(matches == ch::wildcardMatch(swapCase(one), name));
        if (tableMatch(one, name))
            FUZZ_CHECK(ch::wildcardMatch("*" + one + "*", name));
        anyPart = anyPart || (!one.empty() && matches);
    }
    FUZZ_CHECK(ch::patternListMatch(patterns, name) == anyPart);

    FUZZ_CHECK(ch::wildcardMatch("*", name));
    FUZZ_CHECK(ch::wildcardMatch("*.*", name));
    if (!name.empty() && name.find_first_of("*?") == std::string::npos) {
        FUZZ_CHECK(ch::wildcardMatch(name, name));
        FUZZ_CHECK(ch::wildcardMatch(swapCase(name), name));
    }
    return 0;
}
