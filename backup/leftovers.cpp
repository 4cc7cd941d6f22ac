#include "backup/leftovers.h"

#include <cctype>
#include <functional>

#include "platform/runtime_error.h"

namespace ch {
namespace {

bool startsWithNoCase(const std::string& text, const std::string& start) {
    return text.size() >= start.size() && equalNoCase(text.substr(0, start.size()), start);
}

// Consumes a run of digits at pos; false when there is none.
bool skipDigits(const std::string& text, size_t& pos) {
    const size_t start = pos;
    while (pos < text.size() && std::isdigit(static_cast<unsigned char>(text[pos])))
        ++pos;
    return pos > start;
}

bool isRest(const std::string& text, size_t pos, const std::string& rest) {
    return equalNoCase(text.substr(pos), rest);
}

// Clearing leftovers is a courtesy to the disk: a file that will not go stays for a later run.
template <typename Action> void bestEffort(Action action) {
    try {
        action();
    } catch (const RuntimeError&) {
    }
}

void deleteMatching(FileSystem& fs, const std::string& folder, const std::string& pattern,
                    const std::function<bool(const std::string&)>& isOurs) {
    bestEffort([&] {
        for (const std::string& name : fs.listFiles(folder, pattern))
            if (isOurs(name))
                bestEffort([&] { fs.deleteFile(folder + "\\" + name); });
    });
}

} // namespace

const char* const kStagingFolderMark = "~chathoard-staging-folder.tmp";

bool isInterruptedCopyName(const std::string& name) {
    const std::string start = "~chathoard-";
    size_t pos = start.size();
    return startsWithNoCase(name, start) && skipDigits(name, pos) && pos < name.size() &&
           name[pos++] == '-' && skipDigits(name, pos) && isRest(name, pos, ".tmp");
}

bool isInterruptedArchiveName(const std::string& name, const std::string& archiveName) {
    const std::string start = archiveName + ".azip";
    size_t pos = start.size();
    return startsWithNoCase(name, start) && skipDigits(name, pos) && isRest(name, pos, ".tmp");
}

void removeInterruptedCopies(FileSystem& fs, const std::string& folder) {
    deleteMatching(fs, folder, "~chathoard-*.tmp", isInterruptedCopyName);
}

void removeInterruptedArchives(FileSystem& fs, const std::string& folder,
                               const std::string& archiveName) {
    deleteMatching(fs, folder, archiveName + ".azip*.tmp", [&](const std::string& name) {
        return isInterruptedArchiveName(name, archiveName);
    });
}

void removeInterruptedStaging(FileSystem& fs, const std::string& listPath,
                              const std::string& stagingFolder) {
    std::string list;
    try {
        list = fs.readAll(listPath);
    } catch (const RuntimeError&) {
        return; // no list file: the last run finished, or never wrote one
    }
    const std::string folder = stagingFolder + "\\";
    size_t start = 0;
    while (start < list.size()) {
        size_t end = list.find('\n', start);
        if (end == std::string::npos)
            end = list.size();
        std::string line = list.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!startsWithNoCase(line, folder))
            continue;
        const std::string name = line.substr(folder.size());
        if (!name.empty() && name.find_first_of("\\/:") == std::string::npos &&
            patternListMatch("*.dat;*.idx", name))
            bestEffort([&] { fs.deleteFile(line); });
    }
    bestEffort([&] { fs.deleteFile(listPath); });
}

} // namespace ch
