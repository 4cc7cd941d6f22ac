#include "backup/leftovers.h"

#include <functional>
#include <vector>

#include "azip32/temporary_name.h"
#include "platform/runtime_error.h"
#include "selection/folder_detection.h"

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

void settleStagingClaims(FileSystem& fs, const std::string& destination,
                         const std::string& programFolder, const std::string& stagingDrive) {
    const std::string stagingFolder = stagingFolderOf(stagingDrive);
    if (equalNoCase(destination, stagingFolder))
        removeInterruptedStaging(fs, listFilePathOf(programFolder), stagingFolder);
}

std::vector<std::string> removeInterruptedStaging(FileSystem& fs, const std::string& listPath,
                                                  const std::string& stagingFolder) {
    std::string list;
    try {
        list = fs.readAll(listPath);
    } catch (const RuntimeError&) {
        return {}; // no list file: the last run finished, or never wrote one
    }
    const std::string folder = stagingFolder + "\\";
    std::vector<std::string> stillThere;
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
        if (name.empty() || name.find_first_of("\\/:") != std::string::npos ||
            !patternListMatch(kDatabasePatterns, name))
            continue;
        try {
            fs.deleteFile(line);
        } catch (const RuntimeError& e) {
            if (e.number() != errFileNotFound)
                stillThere.push_back(line);
        }
    }
    // A copy that will not go yet (a scanner still reading it) keeps the list for a later run.
    if (stillThere.empty())
        bestEffort([&] { fs.deleteFile(listPath); });
    return stillThere;
}

} // namespace ch
