#pragma once
// The temporary file the library writes an archive into, beside it, before renaming it over
// the archive: "<archive name>.azip<attempt>.tmp". One left behind is an archive a crash
// interrupted; callers that clear such leftovers ask here, so the two cannot drift apart.
#include <string>

namespace ch::azip {

inline std::string temporaryArchivePath(const std::string& archivePath, int attempt) {
    return archivePath + ".azip" + std::to_string(attempt) + ".tmp";
}

// A wildcard that lists the temporary files of archiveName (itself a name or a wildcard),
// among others.
inline std::string temporaryArchivePattern(const std::string& archiveName) {
    return archiveName + ".azip*.tmp";
}

// The archive name a temporary file name was made from (ASCII case ignored in the added
// parts), or "" when name is not one.
inline std::string archiveNameOfTemporary(const std::string& name) {
    auto endsWithNoCase = [](const std::string& text, size_t end, const char* tail) {
        const std::string t = tail;
        if (end < t.size())
            return false;
        for (size_t i = 0; i < t.size(); ++i) {
            char c = text[end - t.size() + i];
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c - 'A' + 'a');
            if (c != t[i])
                return false;
        }
        return true;
    };
    if (!endsWithNoCase(name, name.size(), ".tmp"))
        return {};
    const size_t digitsEnd = name.size() - 4;
    size_t digitsStart = digitsEnd;
    while (digitsStart > 0 && name[digitsStart - 1] >= '0' && name[digitsStart - 1] <= '9')
        --digitsStart;
    if (digitsStart == digitsEnd || !endsWithNoCase(name, digitsStart, ".azip"))
        return {};
    return name.substr(0, digitsStart - 5);
}

} // namespace ch::azip
