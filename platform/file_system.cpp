#include "platform/file_system.h"

#include <algorithm>
#include <cctype>
#include <deque>
#include <utility>

#include "platform/runtime_error.h"

namespace ch {
namespace {

// Makes each copy on the caller's thread when it is taken.
class CopiesWhenTaken final : public CopiesAhead {
  public:
    explicit CopiesWhenTaken(FileSystem& fs) : fs_(fs) {}
    void add(const std::string& source, const std::string& destination) override {
        asked_.emplace_back(source, destination);
    }
    std::unique_ptr<OpenCopy> take(const CopyProgress& progress) override {
        const auto [source, destination] = std::move(asked_.front());
        asked_.pop_front();
        return fs_.copyToNew(source, destination, progress);
    }
    std::vector<std::unique_ptr<OpenCopy>> stop() noexcept override {
        std::vector<std::unique_ptr<OpenCopy>> untaken(asked_.size());
        asked_.clear();
        return untaken;
    }

  private:
    FileSystem& fs_;
    std::deque<std::pair<std::string, std::string>> asked_;
};

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

// --- FileSystem conveniences ---------------------------------------------------------------

namespace {

// Splits "C:\x\*.dat" into "C:\x\" and "*.dat".
std::pair<std::string, std::string> splitPattern(const std::string& pattern,
                                                 LeadByteTest isLeadByte) {
    const size_t cut = lastSeparator(pattern, "\\/:", isLeadByte);
    if (cut == std::string::npos)
        return {"", pattern};
    return {pattern.substr(0, cut + 1), pattern.substr(cut + 1)};
}

// Ordinary files: what the classic file list and a search with attribute mask 0 show.
bool isOrdinaryFile(const FolderEntry& e) {
    return !e.folder && !e.hidden && !e.system;
}

} // namespace

void FileSystem::copyFile(const std::string& source, const std::string& destination,
                          CopyFlush flush, const CopyProgress& progress) {
    const std::string temporary = copyToTemporary(source, destination, flush, progress);
    try {
        moveOver(temporary, destination);
    } catch (const RuntimeError&) {
        try {
            deleteFile(temporary);
        } catch (const RuntimeError&) {
            // A temporary file left behind is cleared by the next run; the rename's failure
            // is the one to report.
        }
        throw;
    }
}

void FileSystem::deleteByPattern(const std::string& pattern) {
    const auto [folder, namePattern] = splitPattern(pattern, codePage_.leadByteTest());
    std::vector<std::string> names;
    try {
        for (const FolderEntry& e : listEntries(folder))
            if (isOrdinaryFile(e) && wildcardMatch(namePattern, e.name))
                names.push_back(e.name);
    } catch (const RuntimeError& e) {
        if (e.number() != errPathNotFound)
            throw;
        throw RuntimeError(errPathNotFound, "Path not found: " + pattern, e.systemError());
    }
    if (names.empty())
        throw RuntimeError(errFileNotFound, "File not found: " + pattern,
                           2); // ERROR_FILE_NOT_FOUND
    for (const std::string& name : names)
        deleteFile(folder + name);
}

std::string FileSystem::findFirstFile(const std::string& pattern) {
    const auto [folder, namePattern] = splitPattern(pattern, codePage_.leadByteTest());
    try {
        for (const FolderEntry& e : listEntries(folder))
            if (isOrdinaryFile(e) && wildcardMatch(namePattern, e.name))
                return e.name;
    } catch (const RuntimeError& e) {
        if (e.number() != errPathNotFound)
            throw;
    }
    return "";
}

bool FileSystem::folderExists(const std::string& path) {
    try {
        return status(path).folder;
    } catch (const RuntimeError&) {
        return false;
    }
}

void FileSystem::makeFolderAndParents(const std::string& path) {
    if (folderExists(path))
        return;
    const size_t cut = lastSeparator(path, "\\", codePage_.leadByteTest());
    // A drive's root ("D:\") and a network share ("\\server\share") are never made.
    if (cut != std::string::npos && cut >= pathRootLength(path, codePage_.leadByteTest()))
        makeFolderAndParents(path.substr(0, cut));
    makeFolder(path);
}

bool FileSystem::fileExists(const std::string& path) {
    try {
        return !status(path).folder;
    } catch (const RuntimeError&) {
        return false;
    }
}

uint64_t FileSystem::fileSize(const std::string& path) {
    const FileStatus s = status(path);
    if (s.folder)
        throw RuntimeError(errPathFileAccess, "This is a folder, not a file: " + path,
                           5); // ERROR_ACCESS_DENIED, as opening it would give
    return s.size;
}

int64_t FileSystem::modifiedTime(const std::string& path) {
    return status(path).modified;
}

bool FileSystem::fileInUse(const std::string& path) {
    try {
        checkOpen(path, OpenCheck::AsCopySource);
        return false;
    } catch (const RuntimeError& e) {
        return isSharingViolation(e);
    }
}

std::unique_ptr<CopiesAhead> FileSystem::copiesAhead() {
    return std::make_unique<CopiesWhenTaken>(*this);
}

std::optional<size_t> FileSystem::firstInUse(const std::vector<std::string>& files) {
    for (size_t i = 0; i < files.size(); ++i)
        if (fileInUse(files[i]))
            return i;
    return std::nullopt;
}

void FileSystem::checkNotInUse(const std::string& path) {
    checkOpen(path, OpenCheck::Alone);
}

void FileSystem::checkReadable(const std::string& path) {
    checkOpen(path, OpenCheck::AsArchiver);
}

// All but the system's own hidden+system folders ("System Volume Information",
// "$Recycle.Bin"): a hidden application data folder stays reachable, since a messenger may
// keep its database there.
std::vector<std::string> FileSystem::listFolders(const std::string& folder) {
    std::vector<std::string> names;
    for (const FolderEntry& e : listEntries(folder))
        if (e.folder && !(e.hidden && e.system))
            names.push_back(e.name);
    return names;
}

std::vector<std::string> FileSystem::listFiles(const std::string& folder,
                                               const std::string& patterns) {
    std::vector<std::string> names;
    for (const FolderEntry& e : listEntries(folder))
        if (isOrdinaryFile(e) && patternListMatch(patterns, e.name))
            names.push_back(e.name);
    return names;
}

std::string FileSystem::readAll(const std::string& path) {
    return readPart(path, 0, kWholeFile);
}

void FileSystem::writeAll(const std::string& path, const std::string& bytes) {
    writeFile(path, bytes, WriteMode::Replace);
}

void FileSystem::writeNewFile(const std::string& path, const std::string& bytes) {
    writeFile(path, bytes, WriteMode::New);
}

void FileSystem::appendText(const std::string& path, const std::string& bytes) {
    writeFile(path, bytes, WriteMode::Append);
}

} // namespace ch
