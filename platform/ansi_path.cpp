#include "platform/ansi_path.h"

#include <cctype>
#include <vector>

#include "platform/file_system.h"

namespace ch {

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

std::string normalFolderPath(const std::string& base, const std::string& spec,
                             LeadByteTest isLeadByte) {
    std::string text = spec;
    for (char& c : text)
        if (c == '/')
            c = '\\';
    const bool absolute = text.size() >= 2 && text[1] == ':';
    if (!absolute)
        text = base + "\\" + text;
    std::string drive{static_cast<char>(std::toupper(static_cast<unsigned char>(text[0]))), ':'};
    std::vector<std::string> parts;
    size_t pos = 2;
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
    std::string path = drive + "\\";
    for (size_t i = 0; i < parts.size(); ++i)
        path += (i ? "\\" : "") + parts[i];
    return path;
}

} // namespace ch
