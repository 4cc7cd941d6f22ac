#include "backup/zip_backup.h"

#include <algorithm>
#include <optional>
#include <unordered_map>
#include <vector>

#include "azip32/azip32.h"
#include "backup/leftovers.h"
#include "platform/runtime_error.h"
#include "platform/sequential_file.h"
#include "selection/folder_detection.h"

namespace ch {
namespace {

// A failure inside the staging, copy or list-file steps. The run's one catch absorbs the
// first failure of a run; a later one stops the run with text as its error box.
struct RegionFailure {
    std::string text;
    bool databaseInUse = false; // a database file held open by another program
    std::optional<BackupCause> cause;
};

// Stops the run at once; text is the error box.
struct StopRun {
    std::string text;
    bool databaseInUse = false;
    std::optional<BackupCause> cause;
};

class ZipRun {
  public:
    ZipRun(const BackupJob& job, const BackupTools& tools)
        : job_(job), names_(job.databaseFiles), fs_(tools.fs), codePage_(tools.codePage),
          archiver_(tools.archiver), stagingFolder_(stagingFolderOf(job.stagingDrive)),
          settingsPath_(settingsFilePath(job.programFolder)),
          listPath_(listFilePathOf(job.programFolder)), archiveName_(job.archiveName),
          archivePath_(job.destination + "\\" + job.archiveName), meter_(job.control) {}

    BackupResult run();

  private:
    int count() const { return static_cast<int>(names_.size()); }
    std::string sourceOf(int i) const { return databaseFile(job_.messengerFolder, names_[i]); }
    std::string stagedCopyOf(int i) const { return stagingFolder_ + "\\" + names_[i]; }
    std::string markPath() const { return stagingFolder_ + "\\" + kStagingFolderMark; }
    bool spendCatch();
    std::optional<std::string> clearInterruptedRun();
    std::optional<std::string> stagedNamesInTheWay();
    void makeStagingFolder();
    void copyStep();
    void writeListFile();
    void buildArchive();
    std::string archiveResultReason(int32_t result);
    bool packingProgress(int32_t stage, uint32_t doneKiB, uint32_t totalKiB);
    std::optional<std::string> cleanUp();
    std::string notWritten() const { return "The archive " + archivePath_ + " was not written."; }
    std::string shownStagingFolder() const;

    const BackupJob& job_;
    const std::vector<std::string>& names_;
    FileSystem& fs_;
    const CodePage& codePage_;
    Archiver& archiver_;
    const std::string stagingFolder_;
    const std::string settingsPath_;
    const std::string listPath_;
    const std::string archiveName_;
    const std::string archivePath_;

    bool catchAvailable_ = true;
    bool stagingOurs_ = false; // made by this program, so it may be removed when empty
    bool listFileMade_ = false;
    // Made by this run, with their size and time once made; the only files it deletes.
    std::vector<StagingClaim> stagedCopies_;
    // Where each staged copy is in stagedCopies_, by its path as the system folds case: a copy
    // made again on the second pass is found without a walk through every copy made before it.
    std::unordered_map<std::string, size_t> stagedIndex_;

    // Progress over three passes of the database's bytes: copying them to the staging folder,
    // packing them, reading the archive back.
    JobMeter meter_;
    std::vector<uint64_t> sizes_;
    uint64_t databaseBytes_ = 0;
};

// A staging path on no drive, or not a path at all ("D::\chathoard"), reads as a missing file
// or folder to the system; say what it really means.
std::string stagingReason(const RuntimeError& e) {
    const int n = e.number();
    if (n == errFileNotFound || n == errPathNotFound || n == errBadFileNameOrNumber)
        return "there is no such drive, or the path is not valid";
    return plainReason(e);
}

// The staging folder as an error box can show it. Its drive part comes straight from
// defaultdrive.ini, which may hold anything: control characters (a NUL would end the box's
// text early) show as "?", and a setting too long to read is cut short, marked by "...".
std::string ZipRun::shownStagingFolder() const {
    constexpr size_t kShownLength = 40;
    const std::string suffix = ":\\chathoard";
    std::string drive = stagingFolder_.substr(0, stagingFolder_.size() - suffix.size());
    for (char& c : drive)
        if (static_cast<unsigned char>(c) < 0x20)
            c = '?';
    if (drive.size() > kShownLength)
        drive = drive.substr(0, kShownLength) + "...";
    return drive + suffix;
}

bool ZipRun::spendCatch() {
    const bool was = catchAvailable_;
    catchAvailable_ = false;
    return was;
}

// A run that was killed part-way leaves its list file, staged copies and temporary files; they
// go first, so that they neither take room on the staging drive nor stay there for good.
// Returns the error box when a copy an earlier run left cannot be deleted yet.
std::optional<std::string> ZipRun::clearInterruptedRun() {
    const std::vector<std::string> stillThere =
        removeInterruptedStaging(fs_, listPath_, stagingFolder_);
    removeInterruptedCopies(fs_, stagingFolder_);
    removeInterruptedArchives(fs_, job_.destination, archiveName_);
    stagingOurs_ = fs_.fileExists(markPath());
    if (stillThere.empty())
        return std::nullopt;
    std::string names;
    for (const std::string& path : stillThere)
        names += path + "\r\n";
    return "The staging folder " + shownStagingFolder() +
           " still holds copies an earlier backup made and could not delete:\r\n" + names +
           "\r\nAnother program still has them open (a virus scanner checking them, say), so "
           "this backup did not start. Try again in a while; the next backup deletes them "
           "first.\r\n\r\n" +
           notWritten();
}

// A file of the staging folder named like a database file is not this program's once the
// leftovers are gone (a Normal Backup made into the folder, say): staging would replace it and
// the clean-up delete it, so the run does not start.
std::optional<std::string> ZipRun::stagedNamesInTheWay() {
    std::string names;
    for (int i = 0; i < count(); ++i) {
        const std::string stagedCopy = stagedCopyOf(i);
        if (fs_.fileExists(stagedCopy) || fs_.folderExists(stagedCopy))
            names += stagedCopy + "\r\n";
    }
    if (names.empty())
        return std::nullopt;
    return "The staging folder " + shownStagingFolder() +
           " already holds files named like the database files:\r\n" + names +
           "\r\nThe backup would replace them and then delete them, so it did not start. Move "
           "them elsewhere, or set another staging drive in defaultdrive.ini in the program "
           "folder (" +
           settingsPath_ + "), then try again.\r\n\r\n" + notWritten();
}

void ZipRun::makeStagingFolder() {
    try {
        fs_.makeFolder(stagingFolder_);
    } catch (const RuntimeError& e) {
        // A folder left by an earlier run is used as it is, at the cost of the run's catch.
        if (!fs_.folderExists(stagingFolder_))
            throw StopRun{"The staging folder " + shownStagingFolder() +
                              " could not be created.\r\nReason: " + stagingReason(e) +
                              ".\r\n\r\nIts drive comes from defaultdrive.ini in the program "
                              "folder (" +
                              settingsPath_ +
                              "), which should hold one drive letter, such as C.\r\n\r\n" +
                              notWritten(),
                          false, BackupCause{stagingFolder_, stagingReason(e), e.number(), {}, {}}};
        spendCatch();
        return;
    }
    stagingOurs_ = true;
    // Marks the folder as made here, for the next run should this one be stopped part-way;
    // without the mark that run leaves the folder alone, which loses nothing.
    try {
        fs_.writeAll(markPath(), "");
    } catch (const RuntimeError&) {
    }
}

void ZipRun::copyStep() {
    uint64_t copied = 0;
    for (int i = 0; i < count(); ++i) {
        const std::string source = sourceOf(i);
        const std::string stagedCopy = stagedCopyOf(i);
        meter_.begin(WorkStage::Copying, copied, names_[i], i + 1, count());
        copied += sizes_.empty() ? 0 : sizes_[static_cast<size_t>(i)];
        try {
            fs_.copyFile(source, stagedCopy, CopyFlush::NotNeeded, meter_.copyHook());
        } catch (const RuntimeError& e) {
            throw RegionFailure{"The file " + names_[i] +
                                    " could not be copied to the staging folder.\r\n\r\nFrom: " +
                                    source + "\r\nTo: " + stagedCopy +
                                    "\r\nReason: " + plainReason(e) + ".\r\n\r\n" + notWritten(),
                                fs_.fileInUse(source), causeOf(names_[i], e, source, stagedCopy)};
        }
        const auto [at, added] =
            stagedIndex_.try_emplace(codePage_.caseFolded(stagedCopy), stagedCopies_.size());
        if (added)
            stagedCopies_.push_back(claimOf(fs_, stagedCopy));
        else
            stagedCopies_[at->second] = claimOf(fs_, stagedCopy);
    }
}

void ZipRun::writeListFile() {
    SequentialFile list(fs_);
    try {
        list.openForOutput(listPath_);
        listFileMade_ = true;
        for (int i = 0; i < count(); ++i)
            list.writeLine(stagedCopyOf(i));
        list.close();
    } catch (const RuntimeError& e) {
        throw RegionFailure{"The list file " + listPath_ + " could not be written.\r\nReason: " +
                                plainReason(e) + ".\r\n\r\n" + notWritten(),
                            false, causeOf(listPath_, e)};
    }
}

// addZIP's result in plain words; an undocumented code is shown as well. The library does not
// say which file it could not read: the staged copies are tried to name it.
std::string ZipRun::archiveResultReason(int32_t result) {
    if (result == AZIP_ERR_SOURCE_FILE) {
        for (const StagingClaim& staged : stagedCopies_) {
            const std::string& stagedCopy = staged.path;
            try {
                fs_.checkReadable(stagedCopy);
            } catch (const RuntimeError& e) {
                return "the staged copy " + stagedCopy + " could not be read: " + plainReason(e);
            }
        }
    }
    const bool documented = result >= AZIP_ERR_NOT_SET && result <= AZIP_ERR_INTERNAL;
    return std::string(azipResultText(result)) +
           (documented ? "" : " (code " + std::to_string(result) + ")");
}

// The library's word on how far it is, as the job's bytes: the packing counts the database's
// bytes a second time, the check a third. The library does not say which file it packs; the
// sizes tell.
bool ZipRun::packingProgress(int32_t stage, uint32_t doneKiB, uint32_t totalKiB) {
    const uint64_t part =
        totalKiB == 0 ? 0 : databaseBytes_ * std::min(doneKiB, totalKiB) / totalKiB;
    if (stage != AZIP_STAGE_PACKING)
        return meter_.tell(WorkStage::Checking, 2 * databaseBytes_ + part);
    int file = 0;
    for (uint64_t end = 0; file + 1 < count() && !sizes_.empty(); ++file)
        if ((end += sizes_[static_cast<size_t>(file)]) > part)
            break;
    return meter_.tell(WorkStage::Packing, databaseBytes_ + part,
                       names_.empty() ? "" : names_[file], file + 1, count());
}

// A library that cannot be bound, or that says it failed, will not do better on a second
// pass, so its failures stop the run whatever the catch. One that was asked to stop has left
// the earlier archive as it was.
void ZipRun::buildArchive() {
    meter_.begin(WorkStage::Packing, databaseBytes_, names_.empty() ? "" : names_[0], 1, count());
    const WorkControl& control = job_.control;
    ArchiveProgress progress;
    if (control.report || control.cancelRequested)
        progress = [this](int32_t stage, uint32_t done, uint32_t total) {
            return packingProgress(stage, done, total);
        };
    try {
        const int32_t result =
            archiver_.makeArchive({archivePath_, listPath_, job_.password}, progress);
        if (result == AZIP_ERR_CANCELLED && control.cancelled())
            throw WorkCancelled{};
        if (result == kArchiverCannotEncrypt) {
            const std::string reason = kCannotEncryptReason;
            throw StopRun{notWritten() + "\r\nReason: " + reason + ".", false,
                          BackupCause{archivePath_, reason, 0, {}, {}}};
        }
        if (result != 0) {
            const std::string reason = archiveResultReason(result);
            throw StopRun{notWritten() + "\r\nReason: " + reason + ".", false,
                          BackupCause{archivePath_, reason, result, {}, {}}};
        }
    } catch (const RuntimeError& e) {
        throw StopRun{notWritten() + "\r\nReason: " + plainReason(e) + ".", false,
                      causeOf(archivePath_, e)};
    }
}

// Removes this run's staged copies (never other files of the staging folder), then the staging
// folder if this program made it and that leaves it empty, then the list file. Goes on past a
// failure and returns what each one left behind. The copies that stay are what the list file
// then names, each with its size and time, so that the next run deletes them and nothing
// that takes their names later.
std::optional<std::string> ZipRun::cleanUp() {
    std::optional<std::string> leftOver;
    auto note = [&](const std::string& what, const RuntimeError& e) {
        leftOver = (leftOver ? *leftOver + "\r\n" : std::string()) + what +
                   " could not be deleted.\r\nReason: " + plainReason(e) + ".";
    };
    std::vector<StagingClaim> left;
    for (const StagingClaim& staged : stagedCopies_) {
        try {
            fs_.deleteFile(staged.path);
        } catch (const RuntimeError& e) {
            if (e.number() == errFileNotFound)
                continue;
            left.push_back(staged.identified ? staged : claimOf(fs_, staged.path));
            note("The staged copy " + staged.path, e);
        }
    }
    const bool copiesGone = left.empty();
    if (stagingOurs_ && copiesGone) {
        try {
            fs_.deleteFile(markPath());
        } catch (const RuntimeError&) {
            // A mark that stays keeps the folder, and the next run removes both.
        }
        try {
            fs_.removeFolder(stagingFolder_);
        } catch (const RuntimeError& e) {
            // 75: other files of the staging folder keep it; 76: it is already gone.
            if (e.number() != errPathFileAccess && e.number() != errPathNotFound)
                note("The staging folder " + stagingFolder_, e);
        }
    }
    if (listFileMade_) {
        try {
            writeStagingClaims(fs_, listPath_, left);
        } catch (const RuntimeError& e) {
            if (copiesGone)
                note("The list file " + listPath_, e);
            else
                leftOver = *leftOver + "\r\nThe list file " + listPath_ +
                           " could not be rewritten.\r\nReason: " + plainReason(e) + ".";
        }
    }
    if (!copiesGone)
        *leftOver += "\r\n\r\nThe next backup deletes what is left.";
    return leftOver;
}

BackupResult ZipRun::run() {
    if (job_.control.cancelled())
        return backupCancelled(job_);
    std::optional<std::string> inTheWay = clearInterruptedRun();
    if (!inTheWay)
        inTheWay = stagedNamesInTheWay();
    if (inTheWay)
        return backupFailure(*inTheWay);
    databaseBytes_ = databaseBytes(job_, fs_, &sizes_);
    meter_.setTotal(3 * databaseBytes_);
    try {
        makeStagingFolder();
        // The list goes first: while it exists it names the staged copies a run made, so that
        // the next run can clear them should this one be stopped part-way. A failure of the
        // list-file or copy step starts both again, once per run.
        for (;;) {
            try {
                writeListFile();
                copyStep();
                break;
            } catch (const RegionFailure& failure) {
                if (!spendCatch())
                    throw StopRun{failure.text, failure.databaseInUse, failure.cause};
            }
        }
        buildArchive();
    } catch (const WorkCancelled&) {
        // Until the library has put the archive in place, Cancel undoes the run as a failure
        // does: the staged copies, the list file and a staging folder it made go.
        return backupCancelled(job_, cleanUp());
    } catch (const StopRun& stop) {
        const std::optional<std::string> leftOver = cleanUp();
        return backupFailure(
            leftOver ? stop.text + "\r\n\r\n" + *leftOver : stop.text,
            stop.databaseInUse ? BackupOutcome::DatabaseInUse : BackupOutcome::Failed, stop.cause);
    }

    // The archive is written and in place: Cancel no longer undoes anything, and the clean-up
    // is quick. A temporary file that cannot be removed is reported instead of "Done !", once:
    // the next run deletes it first. The title must not call the backup failed: the archive
    // is complete and in place.
    meter_.tell(WorkStage::CleaningUp, meter_.totalBytes());
    if (const std::optional<std::string> leftOver = cleanUp()) {
        BackupResult result;
        result.outcome = BackupOutcome::CleanUpIncomplete;
        result.written = archivePath_;
        result.title = kCleanUpIncompleteTitle;
        result.text = "The archive " + archivePath_ +
                      " was written, but the backup's temporary files could not all be "
                      "removed.\r\n\r\n" +
                      *leftOver;
        result.warning = true;
        return result;
    }
    return backupDone(archivePath_,
                      kCompletionWords + archivePath_ +
                          "\r\n\r\nYou can unzip the files by using Winzip or pkunzip.exe");
}

} // namespace

const char* const kCannotEncryptReason =
    "the archiving library azip32.dll cannot encrypt (it is an older version, or it is missing), "
    "and no unencrypted archive was made in its place";

std::string settingsFilePath(const std::string& programFolder) {
    // Joined as is: at a drive root the path holds "\\" before the name.
    return programFolder + "\\defaultdrive.ini";
}

BackupResult zipBackup(const BackupJob& job, const BackupTools& tools) {
    return ZipRun(job, tools).run();
}

} // namespace ch
