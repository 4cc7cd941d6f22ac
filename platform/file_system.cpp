#include "platform/file_system.h"

#include <algorithm>
#include <cctype>

namespace ch {
namespace {

// Plain * and ? matching, case-insensitive; iterative with one backtrack point.
bool plainMatch(const std::string& pattern, const std::string& name) {
    size_t p = 0, n = 0, starP = std::string::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (p < pattern.size() &&
                   (pattern[p] == '?' || lowerCase(pattern[p]) == lowerCase(name[n]))) {
            ++p;
            ++n;
        } else if (starP != std::string::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

} // namespace

// Lower-case folding, as the classic runtime's case-insensitive compare does ("_" sorts
// before letters).
char lowerCase(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string lowerCase(std::string text) {
    for (char& c : text)
        c = lowerCase(c);
    return text;
}

bool wildcardMatch(const std::string& pattern, const std::string& name) {
    if (pattern.empty())
        return false;
    if (plainMatch(pattern, name))
        return true;
    const bool nameHasDot = name.find('.') != std::string::npos;
    // Win32 lets "x.*" match a name without extension (so "*.*" matches every name) and "x."
    // match only names without one.
    if (pattern.size() >= 2 && pattern.compare(pattern.size() - 2, 2, ".*") == 0 && !nameHasDot)
        return plainMatch(pattern.substr(0, pattern.size() - 2), name);
    if (pattern.back() == '.' && !nameHasDot)
        return plainMatch(pattern.substr(0, pattern.size() - 1), name);
    return false;
}

bool patternListMatch(const std::string& patterns, const std::string& name) {
    size_t start = 0;
    while (start <= patterns.size()) {
        size_t end = patterns.find(';', start);
        if (end == std::string::npos)
            end = patterns.size();
        std::string one = patterns.substr(start, end - start);
        const auto first = one.find_first_not_of(' ');
        const auto last = one.find_last_not_of(' ');
        if (first != std::string::npos && wildcardMatch(one.substr(first, last - first + 1), name))
            return true;
        start = end + 1;
    }
    return false;
}

bool lessNoCase(const std::string& a, const std::string& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [](char x, char y) { return lowerCase(x) < lowerCase(y); });
}

bool equalNoCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return lowerCase(x) == lowerCase(y);
           });
}

bool startsWithNoCase(const std::string& text, const std::string& start) {
    return text.size() >= start.size() && equalNoCase(text.substr(0, start.size()), start);
}

std::string copyTemporaryName(unsigned long processId, unsigned n) {
    return kCopyTempPrefix + std::to_string(processId) + "-" + std::to_string(n) + ".tmp";
}

bool isCopyTemporaryName(const std::string& name) {
    // "~chathoard-", digits, "-", digits, ".tmp"
    const std::string start = kCopyTempPrefix;
    auto digitsFrom = [&](size_t pos) {
        size_t end = pos;
        while (end < name.size() && name[end] >= '0' && name[end] <= '9')
            ++end;
        return end;
    };
    if (!startsWithNoCase(name, start))
        return false;
    size_t pos = digitsFrom(start.size());
    if (pos == start.size() || pos >= name.size() || name[pos] != '-')
        return false;
    const size_t end = digitsFrom(pos + 1);
    return end > pos + 1 && equalNoCase(name.substr(end), ".tmp");
}

} // namespace ch
