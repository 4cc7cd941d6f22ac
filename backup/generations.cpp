#include "backup/generations.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <vector>

#include "azip32/temporary_name.h"
#include "backup/database_detection.h"
#include "backup/leftovers.h"
#include "backup/normal_backup.h"
#include "backup/zip_backup.h"
#include "platform/ansi_path.h"
#include "platform/runtime_error.h"

namespace ch {
namespace {

const char* const kArchivePrefix = "chathoard-";
const char* const kArchiveSuffix = ".zip";
const char* const kIncompleteSuffix = ".incomplete";

// "YYYY-MM-DD-HHMMSS": '9' stands for a digit.
bool matchesForm(const std::string& text, const std::string& form) {
    if (text.size() != form.size())
        return false;
    for (size_t i = 0; i < form.size(); ++i) {
        const bool digit = std::isdigit(static_cast<unsigned char>(text[i])) != 0;
        if (form[i] == '9' ? !digit : text[i] != form[i])
            return false;
    }
    return true;
}

bool hasAffixes(const std::string& name, const std::string& prefix, const std::string& suffix) {
    return name.size() > prefix.size() + suffix.size() && startsWithNoCase(name, prefix) &&
           equalNoCase(name.substr(name.size() - suffix.size()), suffix);
}

std::string between(const std::string& name, const std::string& prefix, const std::string& suffix) {
    return name.substr(prefix.size(), name.size() - prefix.size() - suffix.size());
}

std::string joined(const std::string& folder, const std::string& name) {
    return folder + "\\" + name;
}

bool written(BackupOutcome outcome) {
    return outcome == BackupOutcome::Done || outcome == BackupOutcome::CleanUpIncomplete;
}

// The generations in destination older than the one just written, oldest first, beyond the
// keep - 1 newest of them.
std::vector<std::string> surplus(std::vector<std::string> names, const std::string& newName,
                                 int keep) {
    std::erase_if(names, [&](const std::string& n) { return equalNoCase(n, newName); });
    std::sort(names.begin(), names.end(), lessNoCase);
    const size_t others = static_cast<size_t>(keep - 1);
    if (names.size() <= others)
        return {};
    names.resize(names.size() - others);
    return names;
}

// What pruning did, and its first failure.
struct Pruned : Pruning {
    std::optional<BackupCause> failure;

    void fail(const std::string& path, const RuntimeError& e) {
        if (!failure)
            failure = causeOf(BackupStep::DeleteOlderBackups, path, e);
    }
};

// A clock that runs behind (a dead clock battery) names the new generation before real, newer
// ones, and pruning by name would delete those. A generation newer than the one just written,
// by its name or its file time, is returned, and then nothing is pruned.
std::optional<std::string> newerGeneration(FileSystem& fs, const std::string& destination,
                                           const std::vector<std::string>& names,
                                           const std::string& newName) {
    std::optional<int64_t> newTime;
    bestEffort([&] { newTime = fs.modifiedTime(joined(destination, newName)); });
    for (const std::string& name : names) {
        if (equalNoCase(name, newName))
            continue;
        bool newer = lessNoCase(newName, name);
        if (!newer && newTime)
            bestEffort([&] { newer = fs.modifiedTime(joined(destination, name)) > *newTime; });
        if (newer)
            return joined(destination, name);
    }
    return std::nullopt;
}

// Ends a generation's run: a pruning failure replaces the completion report, so the run does
// not say "Done !" while it has not done all it was asked.
BackupResult finish(BackupResult result, const Pruned& pruned, int keep) {
    if (pruned.failure) {
        BackupCause cause = *pruned.failure;
        cause.keep = keep;
        BackupResult failed = backupFailure(cause);
        failed.written = result.written;
        failed.archive = result.archive;
        return failed;
    }
    result.pruning = pruned;
    return result;
}

// --- ZIP generations ------------------------------------------------------------------------

void removeInterruptedGenerationArchives(FileSystem& fs, const std::string& destination) {
    bestEffort([&] {
        const std::string pattern =
            azip::temporaryArchivePattern(std::string(kArchivePrefix) + "*" + kArchiveSuffix);
        for (const std::string& name : fs.listFiles(destination, pattern)) {
            const std::string archiveName = azip::archiveNameOfTemporary(name);
            if (!archiveName.empty() && isGenerationArchiveName(archiveName))
                removeInterruptedArchives(fs, destination, archiveName);
        }
    });
}

Pruned pruneArchives(FileSystem& fs, const std::string& destination, const std::string& newName,
                     int keep) {
    Pruned pruned;
    std::vector<std::string> names;
    try {
        names = fs.listFiles(destination, "chathoard-*.zip");
    } catch (const RuntimeError& e) {
        pruned.fail(destination, e);
        return pruned;
    }
    std::erase_if(names, [](const std::string& n) { return !isGenerationArchiveName(n); });
    if ((pruned.newer = newerGeneration(fs, destination, names, newName)))
        return pruned;
    for (const std::string& name : surplus(names, newName, keep)) {
        const std::string path = joined(destination, name);
        try {
            fs.deleteFile(path);
            pruned.deleted.push_back(path);
        } catch (const RuntimeError& e) {
            pruned.fail(path, e);
        }
    }
    return pruned;
}

// --- Normal generations ---------------------------------------------------------------------

// Deletes the database copies (and interrupted copies) of an incomplete generation folder,
// then the folder; anything else in it keeps it.
void removeIncompleteFolder(FileSystem& fs, const std::string& folder) {
    bestEffort([&] {
        for (const std::string& name : fs.listFiles(folder, kDatabasePatterns))
            fs.deleteFile(joined(folder, name));
    });
    removeInterruptedCopies(fs, folder);
    bestEffort([&] { fs.removeFolder(folder); });
}

// Junctions and symbolic links are never followed: the files they lead to are not this
// program's, whatever their names.
void removeIncompleteGenerations(FileSystem& fs, const std::string& destination) {
    bestEffort([&] {
        for (const FolderEntry& entry : fs.listEntries(destination))
            if (entry.folder && !entry.reparsePoint &&
                hasAffixes(entry.name, "", kIncompleteSuffix) &&
                isGenerationFolderName(between(entry.name, "", kIncompleteSuffix)))
                removeIncompleteFolder(fs, joined(destination, entry.name));
    });
}

// Only a folder that holds nothing but database files is this program's to delete. Hidden and
// system files count: Explorer puts desktop.ini or Thumbs.db in folders it shows.
bool onlyDatabaseFiles(FileSystem& fs, const std::string& folder) {
    for (const FolderEntry& entry : fs.listEntries(folder))
        if (entry.folder || entry.reparsePoint || !patternListMatch(kDatabasePatterns, entry.name))
            return false;
    return true;
}

Pruned pruneFolders(FileSystem& fs, const std::string& destination, const std::string& newName,
                    int keep) {
    Pruned pruned;
    std::vector<std::string> names;
    std::vector<std::string> links;
    try {
        for (const FolderEntry& entry : fs.listEntries(destination)) {
            if (!entry.folder || !isGenerationFolderName(entry.name))
                continue;
            names.push_back(entry.name);
            if (entry.reparsePoint)
                links.push_back(entry.name);
        }
    } catch (const RuntimeError& e) {
        pruned.fail(destination, e);
        return pruned;
    }
    if ((pruned.newer = newerGeneration(fs, destination, names, newName)))
        return pruned;
    for (const std::string& name : surplus(names, newName, keep)) {
        const std::string path = joined(destination, name);
        try {
            if (std::find(links.begin(), links.end(), name) != links.end()) {
                pruned.kept.push_back({path, true});
                continue;
            }
            if (!onlyDatabaseFiles(fs, path)) {
                pruned.kept.push_back({path, false});
                continue;
            }
            // Renamed first, so that a deletion stopped part-way leaves a folder that says it
            // is incomplete (the next run clears it) rather than one that looks whole.
            const std::string doomed = joined(destination, name + kIncompleteSuffix);
            fs.rename(path, doomed);
            for (const FolderEntry& file : fs.listEntries(doomed))
                fs.deleteFile(joined(doomed, file.name));
            fs.removeFolder(doomed);
            pruned.deleted.push_back(path);
        } catch (const RuntimeError& e) {
            pruned.fail(path, e);
        }
    }
    return pruned;
}

} // namespace

std::string generationStamp(const std::string& localTime) {
    if (!matchesForm(localTime, "9999-99-99 99:99:99"))
        return {};
    return localTime.substr(0, 10) + "-" + localTime.substr(11, 2) + localTime.substr(14, 2) +
           localTime.substr(17, 2);
}

bool isGenerationFolderName(const std::string& name) {
    return matchesForm(name, "9999-99-99-999999");
}

bool isGenerationArchiveName(const std::string& name) {
    return hasAffixes(name, kArchivePrefix, kArchiveSuffix) &&
           isGenerationFolderName(between(name, kArchivePrefix, kArchiveSuffix));
}

std::string generationArchiveName(const std::string& stamp) {
    return kArchivePrefix + stamp + kArchiveSuffix;
}

std::string incompleteGenerationName(const std::string& stamp) {
    return stamp + kIncompleteSuffix;
}

std::string newGenerationStamp(FileSystem& fs, const std::string& destination, bool zip,
                               const std::function<std::string()>& localTime,
                               const std::function<void(int seconds)>& sleep) {
    auto taken = [&](const std::string& stamp) {
        return zip ? fs.fileExists(joined(destination, generationArchiveName(stamp)))
                   : fs.folderExists(joined(destination, stamp));
    };
    std::string stamp = generationStamp(localTime());
    for (int tries = 0; tries < 2 && taken(stamp); ++tries) {
        sleep(1);
        stamp = generationStamp(localTime());
    }
    return stamp;
}

// Pruning comes after the new generation is in place, past the point where Cancel can undo
// the run; it deletes a few files or folders, so it is finished rather than stopped part-way,
// and the run ends as done.
void tellPruning(const BackupJob& job, FileSystem& fs, uint64_t passes) {
    JobMeter meter(job.control);
    if (!meter.reporting())
        return;
    meter.setTotal(passes * databaseBytes(job, fs));
    meter.tell(WorkStage::Pruning, meter.totalBytes());
}

BackupResult zipGeneration(const BackupJob& job, const BackupTools& tools) {
    if (job.control.cancelled())
        return backupCancelled();
    const std::string name = generationArchiveName(job.stamp);
    removeInterruptedGenerationArchives(tools.fs, job.destination);
    BackupJob archive = job;
    archive.archiveName = name;
    BackupResult result = zipBackup(archive, tools);
    if (!written(result.outcome))
        return result;
    tellPruning(job, tools.fs, 3);
    return finish(std::move(result), pruneArchives(tools.fs, job.destination, name, *job.keep),
                  *job.keep);
}

BackupResult normalGeneration(const BackupJob& job, const BackupTools& tools) {
    FileSystem& fs = tools.fs;
    const std::string& destination = job.destination;
    const std::string incomplete = joined(destination, incompleteGenerationName(job.stamp));
    const std::string complete = joined(destination, job.stamp);
    if (job.control.cancelled())
        return backupCancelled();
    removeIncompleteGenerations(fs, destination);

    try {
        fs.makeFolder(incomplete);
    } catch (const RuntimeError& e) {
        return backupFailure(causeOf(BackupStep::MakeGenerationFolder, incomplete, e));
    }
    // The copies go where a folder list showing the new folder would put them.
    BackupJob copies = job;
    copies.destination = normalFolderPath("C:\\", incomplete, tools.codePage.leadByteTest());
    const BackupResult copied = normalBackup(copies, tools);
    // The rename below is the point of no return; until it, Cancel removes the new folder.
    if (copied.outcome != BackupOutcome::Done || job.control.cancelled()) {
        removeIncompleteFolder(fs, incomplete);
        const bool cancelled =
            copied.outcome == BackupOutcome::Done || copied.outcome == BackupOutcome::Cancelled;
        return cancelled ? backupCancelled() : copied;
    }
    try {
        fs.rename(incomplete, complete);
    } catch (const RuntimeError& e) {
        removeIncompleteFolder(fs, incomplete);
        return backupFailure(
            causeOf(BackupStep::RenameGeneration, incomplete, e, incomplete, complete));
    }
    tellPruning(job, fs, 1);
    return finish(backupDone(complete), pruneFolders(fs, destination, job.stamp, *job.keep),
                  *job.keep);
}

} // namespace ch
