#include "platform/ansi_path.h"

#include <algorithm>
#include <cctype>
#include <vector>

namespace ch {

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

size_t lastSeparator(std::string_view path, std::string_view separators, LeadByteTest isLeadByte) {
    size_t last = std::string_view::npos;
    for (size_t i = 0; i < path.size(); ++i) {
        const auto byte = static_cast<unsigned char>(path[i]);
        if (isLeadByte(byte) && i + 1 < path.size())
            ++i; // the trail byte is part of this character
        else if (separators.find(path[i]) != std::string_view::npos)
            last = i;
    }
    return last;
}

size_t nextSeparator(std::string_view path, size_t from, char separator, LeadByteTest isLeadByte) {
    for (size_t i = from; i < path.size(); ++i) {
        if (isLeadByte(static_cast<unsigned char>(path[i])) && i + 1 < path.size())
            ++i;
        else if (path[i] == separator)
            return i;
    }
    return std::string_view::npos;
}

bool equalNoCase(std::string_view a, std::string_view b, LeadByteTest isLeadByte) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        const auto x = static_cast<unsigned char>(a[i]);
        const auto y = static_cast<unsigned char>(b[i]);
        if (isLeadByte(x) && i + 1 < a.size()) {
            if (x != y || a[i + 1] != b[i + 1])
                return false;
            ++i;
        } else if (lowerCase(a[i]) != lowerCase(b[i])) {
            return false;
        }
    }
    return true;
}

namespace {

constexpr std::string_view kLongPrefix = "\\\\?\\";
constexpr std::string_view kLongUncPrefix = "\\\\?\\UNC\\";

bool startsWith(std::string_view text, std::string_view start) {
    return text.substr(0, start.size()) == start;
}

bool neverLeadByte(unsigned char) {
    return false;
}

bool isLongUnc(std::string_view path) {
    return path.size() >= kLongUncPrefix.size() &&
           equalNoCase(path.substr(0, kLongUncPrefix.size()), kLongUncPrefix, neverLeadByte);
}

bool isDriveAt(std::string_view path, size_t at) {
    return path.size() >= at + 2 && std::isalpha(static_cast<unsigned char>(path[at])) &&
           path[at + 1] == ':';
}

// The end of "server\share\" starting at from: just after the backslash that ends the share,
// or the end of the path.
size_t shareRootEnd(std::string_view path, size_t from, LeadByteTest isLeadByte) {
    const size_t server = nextSeparator(path, from, '\\', isLeadByte);
    if (server == std::string_view::npos)
        return path.size();
    const size_t share = nextSeparator(path, server + 1, '\\', isLeadByte);
    return share == std::string_view::npos ? path.size() : share + 1;
}

} // namespace

size_t pathRootLength(std::string_view path, LeadByteTest isLeadByte) {
    if (startsWith(path, kLongPrefix)) {
        if (isLongUnc(path))
            return shareRootEnd(path, kLongUncPrefix.size(), isLeadByte);
        if (isDriveAt(path, kLongPrefix.size()))
            return path.size() > 6 && path[6] == '\\' ? 7 : 6;
        return 0;
    }
    if (startsWith(path, "\\\\"))
        return shareRootEnd(path, 2, isLeadByte);
    if (isDriveAt(path, 0))
        return path.size() > 2 && path[2] == '\\' ? 3 : 2;
    return 0;
}

bool isNetworkPath(std::string_view path) {
    return isLongUnc(path) || (startsWith(path, "\\\\") && !startsWith(path, kLongPrefix));
}

std::string withoutLongPrefix(const std::string& path) {
    if (isLongUnc(path))
        return "\\\\" + path.substr(kLongUncPrefix.size());
    if (startsWith(path, kLongPrefix))
        return path.substr(kLongPrefix.size());
    return path;
}

std::string parentFolderOf(const std::string& path, LeadByteTest isLeadByte) {
    const size_t root = pathRootLength(path, isLeadByte);
    const size_t cut = lastSeparator(path, "\\", isLeadByte);
    if (cut == std::string::npos || path.size() <= root)
        return path;
    if (cut >= root)
        return path.substr(0, cut);
    std::string rootText = path.substr(0, root);
    if (isNetworkPath(rootText) && rootText.back() == '\\')
        rootText.pop_back();
    return rootText;
}

std::string normalFolderPath(const std::string& base, const std::string& spec,
                             LeadByteTest isLeadByte) {
    std::string text = spec;
    for (char& c : text)
        if (c == '/')
            c = '\\';
    // "C:x" counts as absolute here: the folder lists never keep a drive-relative path.
    if (pathRootLength(text, isLeadByte) == 0)
        text = base + "\\" + text;
    const size_t root = pathRootLength(text, isLeadByte);
    if (root == 0)
        return text;
    std::string path;
    size_t pos = root;
    const bool network = isNetworkPath(text);
    if (network) {
        path = text.substr(0, root);
        while (path.size() > 2 && path.back() == '\\')
            path.pop_back();
    } else {
        const size_t letter = startsWith(text, kLongPrefix) ? kLongPrefix.size() : 0;
        path = text.substr(0, letter) +
               static_cast<char>(std::toupper(static_cast<unsigned char>(text[letter]))) + ":\\";
        pos = letter + 2;
    }
    std::vector<std::string> parts;
    while (pos <= text.size()) {
        size_t end = nextSeparator(text, pos, '\\', isLeadByte);
        if (end == std::string::npos)
            end = text.size();
        std::string part = text.substr(pos, end - pos);
        pos = end + 1;
        if (part.empty() || part == ".")
            continue;
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
        } else {
            parts.push_back(part);
        }
    }
    for (size_t i = 0; i < parts.size(); ++i)
        path += (network || i ? "\\" : "") + parts[i];
    return path;
}

} // namespace ch
