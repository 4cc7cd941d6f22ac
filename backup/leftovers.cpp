#include "backup/leftovers.h"

#include <cstdlib>
#include <functional>
#include <optional>
#include <vector>

#include "azip32/temporary_name.h"
#include "backup/database_detection.h"
#include "platform/runtime_error.h"

namespace ch {
namespace {

// Clearing leftovers is a courtesy to the disk: a file that will not go stays for a later run
// (bestEffort).
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
    return isCopyTemporaryName(name);
}

bool isInterruptedArchiveName(const std::string& name, const std::string& archiveName) {
    const std::string madeFrom = azip::archiveNameOfTemporary(name);
    return !madeFrom.empty() && equalNoCase(madeFrom, archiveName);
}

void removeInterruptedCopies(FileSystem& fs, const std::string& folder) {
    deleteMatching(fs, folder, kCopyTempPattern, isInterruptedCopyName);
}

void removeInterruptedArchives(FileSystem& fs, const std::string& folder,
                               const std::string& archiveName) {
    deleteMatching(
        fs, folder, azip::temporaryArchivePattern(archiveName),
        [&](const std::string& name) { return isInterruptedArchiveName(name, archiveName); });
}

std::string stagingFolderOf(const std::string& stagingDrive) {
    return stagingDrive + ":\\chathoard";
}

std::string listFilePathOf(const std::string& programFolder) {
    return programFolder + "\\icqtemp.dat";
}

std::vector<std::string> settleStagingClaims(FileSystem& fs, const std::string& destination,
                                             const std::string& programFolder,
                                             const std::string& stagingDrive) {
    const std::string stagingFolder = stagingFolderOf(stagingDrive);
    if (!equalNoCase(destination, stagingFolder))
        return {};
    return removeInterruptedStaging(fs, listFilePathOf(programFolder), stagingFolder);
}

StagingClaim claimOf(FileSystem& fs, const std::string& path) {
    StagingClaim claim{path};
    bestEffort([&] {
        const FileStatus now = fs.status(path);
        if (!now.folder)
            claim = StagingClaim{path, true, now.size, now.modified};
    });
    return claim;
}

// A line of the list: the path alone, as the archiving library reads it, or the path, a tab,
// the size and a tab and the time (a tab is never part of a Windows path).
void writeStagingClaims(FileSystem& fs, const std::string& listPath,
                        const std::vector<StagingClaim>& claims) {
    if (claims.empty()) {
        try {
            fs.deleteFile(listPath);
        } catch (const RuntimeError& e) {
            if (e.number() != errFileNotFound)
                throw;
        }
        return;
    }
    std::string text;
    for (const StagingClaim& claim : claims) {
        text += claim.path;
        if (claim.identified) {
            // Appended piece by piece: "\t" + std::to_string(...) trips a false -Wrestrict in
            // the 32-bit compiler.
            text += '\t';
            text += std::to_string(claim.size);
            text += '\t';
            text += std::to_string(claim.modified);
        }
        text += "\r\n";
    }
    fs.writeAll(listPath, text);
}

namespace {

// Reads a line of the list; nothing when its identity part is not as writeStagingClaims writes
// it, for such a claim cannot be matched to a file.
std::optional<StagingClaim> claimOfLine(const std::string& line) {
    const size_t tab = line.find('\t');
    if (tab == std::string::npos)
        return StagingClaim{line};
    const size_t second = line.find('\t', tab + 1);
    if (second == std::string::npos)
        return std::nullopt;
    StagingClaim claim{line.substr(0, tab), true};
    const std::string size = line.substr(tab + 1, second - tab - 1);
    const std::string modified = line.substr(second + 1);
    char* end = nullptr;
    claim.size = std::strtoull(size.c_str(), &end, 10);
    if (size.empty() || *end != '\0' || size.find('-') != std::string::npos)
        return std::nullopt;
    claim.modified = std::strtoll(modified.c_str(), &end, 10);
    if (modified.empty() || *end != '\0')
        return std::nullopt;
    return claim;
}

} // namespace

std::vector<std::string> removeInterruptedStaging(FileSystem& fs, const std::string& listPath,
                                                  const std::string& stagingFolder) {
    std::string list;
    try {
        list = fs.readAll(listPath);
    } catch (const RuntimeError&) {
        return {}; // no list file: the last run finished, or never wrote one
    }
    const std::string folder = stagingFolder + "\\";
    std::vector<StagingClaim> standing;
    size_t start = 0;
    while (start < list.size()) {
        size_t end = list.find('\n', start);
        if (end == std::string::npos)
            end = list.size();
        std::string line = list.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const std::optional<StagingClaim> claim = claimOfLine(line);
        if (!claim || !startsWithNoCase(claim->path, folder))
            continue;
        const std::string name = claim->path.substr(folder.size());
        if (name.empty() || name.find_first_of("\\/:") != std::string::npos ||
            !patternListMatch(kDatabasePatterns, name))
            continue;
        const StagingClaim now = claimOf(fs, claim->path);
        // Another file under the copy's name (a Normal Backup made since, say) is not ours.
        if (claim->identified &&
            (!now.identified || now.size != claim->size || now.modified != claim->modified))
            continue;
        try {
            fs.deleteFile(claim->path);
        } catch (const RuntimeError& e) {
            if (e.number() == errFileNotFound)
                continue;
            // A copy that will not go yet (a scanner still reading it) keeps its claim for a
            // later run, identified from now on.
            standing.push_back(claim->identified ? *claim : now);
        }
    }
    std::vector<std::string> stillThere;
    for (const StagingClaim& claim : standing)
        stillThere.push_back(claim.path);
    // The list keeps only what still stands: a claim already settled must not outlive the copy
    // it was made for, nor be applied to a file that takes its name later.
    bestEffort([&] { writeStagingClaims(fs, listPath, standing); });
    return stillThere;
}

} // namespace ch
