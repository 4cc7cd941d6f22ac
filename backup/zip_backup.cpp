#include "backup/zip_backup.h"

#include <algorithm>
#include <deque>
#include <exception>
#include <memory>
#include <optional>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "azip32/azip32.h"
#include "backup/database_detection.h"
#include "backup/leftovers.h"
#include "platform/runtime_error.h"
#include "platform/sequential_file.h"

namespace ch {
namespace {

// A failure inside the staging, copy or list-file steps. The run's one catch absorbs the
// first failure of a run; a later one stops the run.
struct RegionFailure {
    BackupCause cause;
    bool databaseInUse = false; // a database file held open by another program
};

// Stops the run at once.
struct StopRun {
    BackupCause cause;
    bool databaseInUse = false;
};

class ZipRun {
  public:
    ZipRun(const BackupJob& job, const BackupTools& tools)
        : job_(job), names_(job.databaseFiles), fs_(tools.fs), codePage_(tools.codePage),
          archiver_(tools.archiver), stagingFolder_(stagingFolderOf(job.stagingDrive)),
          listPath_(listFilePathOf(job.programFolder)), archiveName_(job.archiveName),
          archivePath_(job.destination + "\\" + job.archiveName), meter_(job.control) {}

    BackupResult run();

  private:
    int count() const { return static_cast<int>(names_.size()); }
    std::string sourceOf(int i) const { return databaseFile(job_.messengerFolder, names_[i]); }
    std::string stagedCopyOf(int i) const { return stagingFolder_ + "\\" + names_[i]; }
    std::string markPath() const { return stagingFolder_ + "\\" + kStagingFolderMark; }
    bool spendCatch();
    std::optional<BackupCause> clearInterruptedRun();
    std::optional<BackupCause> stagedNamesInTheWay();
    void makeStagingFolder();
    size_t slotOf(int i);
    uint64_t sizeOf(int i) const { return sizes_.empty() ? 0 : sizes_[static_cast<size_t>(i)]; }
    void stageCopy(int i);
    RegionFailure stagingFailure(int i, const RuntimeError& e);
    bool readWhileCopied(int i) const;
    bool copyGoesOn(int i);
    void copyStep();
    void writeListFile();
    void buildArchive();
    bool onListedFile(ListedFile event, uint32_t index, intptr_t& opened);
    bool stillThere(int i) const;
    void copyAhead(int from);
    std::unique_ptr<OpenCopy> takeAhead(int i);
    void keepCopy(int i, std::unique_ptr<OpenCopy> copy);
    void endCopiesAhead() noexcept;
    void removePackedCopy(int i);
    BackupCause archiveFailure(int32_t result);
    BackupCause cannotEncrypt() const {
        BackupCause cause;
        cause.step = BackupStep::Encrypt;
        cause.file = archivePath_;
        return cause;
    }
    bool packingProgress(int32_t stage, uint32_t doneKiB, uint32_t totalKiB);
    std::vector<LeftOver> cleanUp();
    BackupResult ended(BackupResult result) const;

    const BackupJob& job_;
    const std::vector<std::string>& names_;
    FileSystem& fs_;
    const CodePage& codePage_;
    Archiver& archiver_;
    const std::string stagingFolder_;
    const std::string listPath_;
    const std::string archiveName_;
    const std::string archivePath_;

    bool catchAvailable_ = true;
    bool stagingOurs_ = false; // made by this program, so it may be removed when empty
    bool listFileMade_ = false;
    // Made by this run, with their size and time once made; the only files it deletes. gone_
    // tells, for each, whether it is already deleted (packed, on demand).
    std::vector<StagingClaim> stagedCopies_;
    std::vector<bool> gone_;
    // On demand, each copy not yet packed, held open by the copy that wrote it so that it goes
    // without a second open of its name.
    std::vector<std::unique_ptr<OpenCopy>> openCopies_;
    // Where each staged copy is in stagedCopies_ (see slotOf), and line i's copy as the
    // system folds case, folded once a run.
    std::unordered_map<std::string, size_t> stagedIndex_;
    std::vector<std::string> foldedCopies_;

    // On demand the library asks for each copy as it comes to it, a few files ahead of its
    // packing, and each copy goes as soon as it is packed (see onListedFile).
    bool onDemand_ = false;
    // Whether the library reads a copy while it is still being made (see readWhileCopied).
    bool growingCopies_ = false;
    // Whether line i is the last that names its copy: only then may a packed copy go.
    std::vector<bool> lastNaming_;
    // Whether line i is the only one that names its copy: only such a copy is made ahead.
    std::vector<bool> onlyNaming_;
    // On demand, the copies of the next few lines are made ahead while the library packs
    // (see copyAhead): the lines asked for and not yet taken, in order, with their bytes, and
    // the first line not yet looked at.
    std::unique_ptr<CopiesAhead> ahead_;
    std::deque<int> linesAhead_;
    uint64_t bytesAhead_ = 0;
    int nextAhead_ = 0;
    // Line i's copy, by its place in stagedCopies_, once made.
    std::vector<size_t> copyOfLine_;
    // What stopped the library from inside a file hook, thrown again once it has returned.
    std::exception_ptr hookFailure_;

    // Progress over three passes of the database's bytes: copying them to the staging folder,
    // packing them, reading the archive back.
    JobMeter meter_;
    std::vector<uint64_t> sizes_;
    uint64_t databaseBytes_ = 0;
    // Of this pass: bytes copied to the staging folder, and bytes the library has packed.
    uint64_t copiedBytes_ = 0;
    uint64_t packedBytes_ = 0;
};

// The result with the archive this run writes, whether it is written or not.
BackupResult ZipRun::ended(BackupResult result) const {
    result.archive = archivePath_;
    return result;
}

bool ZipRun::spendCatch() {
    const bool was = catchAvailable_;
    catchAvailable_ = false;
    return was;
}

// A run that was killed part-way leaves its list file, staged copies and temporary files; they
// go first, so that they neither take room on the staging drive nor stay there for good.
// Returns the cause when a copy an earlier run left cannot be deleted yet.
std::optional<BackupCause> ZipRun::clearInterruptedRun() {
    const std::vector<std::string> stillThere =
        removeInterruptedStaging(fs_, listPath_, stagingFolder_);
    removeInterruptedCopies(fs_, stagingFolder_);
    removeInterruptedArchives(fs_, job_.destination, archiveName_);
    stagingOurs_ = fs_.fileExists(markPath());
    if (stillThere.empty())
        return std::nullopt;
    BackupCause cause;
    cause.step = BackupStep::ClearStaging;
    cause.file = stagingFolder_;
    cause.files = stillThere;
    return cause;
}

// A file of the staging folder named like a database file is not this program's once the
// leftovers are gone (a Normal Backup made into the folder, say): staging would replace it and
// the clean-up delete it, so the run does not start.
std::optional<BackupCause> ZipRun::stagedNamesInTheWay() {
    BackupCause cause;
    cause.step = BackupStep::StagingNamesInTheWay;
    cause.file = stagingFolder_;
    // One read of the folder answers for every name; a folder that cannot be read is asked
    // name by name.
    std::optional<std::unordered_set<std::string>> present;
    try {
        present.emplace();
        for (const FolderEntry& e : fs_.listEntries(stagingFolder_))
            present->insert(codePage_.caseFolded(e.name));
    } catch (const RuntimeError& e) {
        if (e.number() == errPathNotFound)
            return std::nullopt; // no folder, nothing in it
        present.reset();
    }
    for (int i = 0; i < count(); ++i) {
        const std::string stagedCopy = stagedCopyOf(i);
        if (present ? present->count(codePage_.caseFolded(names_[i])) > 0
                    : fs_.fileExists(stagedCopy) || fs_.folderExists(stagedCopy))
            cause.files.push_back(stagedCopy);
    }
    if (cause.files.empty())
        return std::nullopt;
    return cause;
}

void ZipRun::makeStagingFolder() {
    try {
        fs_.makeFolder(stagingFolder_);
    } catch (const RuntimeError& e) {
        // A folder left by an earlier run is used as it is, at the cost of the run's catch.
        if (!fs_.folderExists(stagingFolder_))
            throw StopRun{causeOf(BackupStep::MakeStagingFolder, stagingFolder_, e)};
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

// Where a staged copy is in stagedCopies_, by its path as the system folds case: a copy made
// again on the second pass is found without a walk through every copy made before it. A copy
// new to the run is added, not made yet.
size_t ZipRun::slotOf(int i) {
    const auto [at, added] =
        stagedIndex_.try_emplace(foldedCopies_[static_cast<size_t>(i)], stagedCopies_.size());
    if (added) {
        stagedCopies_.emplace_back(stagedCopyOf(i));
        gone_.push_back(true);
        openCopies_.emplace_back();
    }
    return at->second;
}

void ZipRun::stageCopy(int i) {
    const std::string source = sourceOf(i);
    const std::string stagedCopy = stagedCopyOf(i);
    meter_.begin(WorkStage::Copying, copiedBytes_ + packedBytes_, names_[i], i + 1, count());
    copiedBytes_ += sizeOf(i);
    const size_t slot = slotOf(i);
    try {
        // On demand a copy not made yet (or already packed and gone) is written in place: the
        // temporary name and the rename cost two more reads of the folder under Wine, and the
        // list file names the copy for the next run should this one be cut short. The staging
        // folder had no file of that name when the run began. A copy made again replaces the
        // one there, which is closed first.
        openCopies_[slot].reset();
        std::unique_ptr<OpenCopy> made;
        if (onDemand_ && gone_[slot])
            made = takeAhead(i);
        if (made)
            openCopies_[slot] = std::move(made);
        else
            fs_.copyFile(source, stagedCopy, CopyFlush::NotNeeded, meter_.copyHook());
    } catch (const RuntimeError& e) {
        throw stagingFailure(i, e);
    }
    // Its size and time, should it have to be left for the next run; on demand the clean-up
    // reads them only for a copy that stays.
    stagedCopies_[slot] = onDemand_ ? StagingClaim{stagedCopy} : claimOf(fs_, stagedCopy);
    gone_[slot] = false;
    if (onDemand_)
        copyOfLine_[static_cast<size_t>(i)] = slot;
}

RegionFailure ZipRun::stagingFailure(int i, const RuntimeError& e) {
    const std::string source = sourceOf(i);
    return RegionFailure{
        causeOf(BackupStep::StageDatabaseFile, names_[i], e, source, stagedCopyOf(i)),
        fs_.fileInUse(source)};
}

// Whether the library packs line i's copy as it is made, instead of waiting for the whole of it:
// for a copy long enough to keep the packing waiting, and short enough for the library to take
// the copy's first size as the entry's (under 4 GiB).
bool ZipRun::readWhileCopied(int i) const {
    constexpr uint64_t kLongCopy = uint64_t{4} << 20;
    constexpr uint64_t kEntryWithoutZip64 = uint64_t{0xFFFFFFFF};
    return growingCopies_ && sizeOf(i) >= kLongCopy && sizeOf(i) < kEntryWithoutZip64;
}

// The library has read all of line i's copy that is there: whether more is to come. Only a copy
// taken while it was made (readWhileCopied) has more; its failure is the staging's.
bool ZipRun::copyGoesOn(int i) {
    const std::unique_ptr<OpenCopy>& held = openCopies_[copyOfLine_[static_cast<size_t>(i)]];
    try {
        return held && held->readOn();
    } catch (const RuntimeError& e) {
        throw stagingFailure(i, e);
    }
}

void ZipRun::copyStep() {
    copiedBytes_ = 0;
    for (int i = 0; i < count(); ++i)
        stageCopy(i);
}

// A copy the library has packed goes at once. Under Wine every new name costs a read of the
// whole staging folder, so a folder that holds only the few copies ahead of the packing keeps
// the cost of a copy the same however many files the database has. A copy that will not go
// yet is left to the clean-up.
void ZipRun::removePackedCopy(int i) {
    if (!lastNaming_[static_cast<size_t>(i)])
        return;
    const size_t at = copyOfLine_[static_cast<size_t>(i)];
    try {
        if (openCopies_[at])
            openCopies_[at]->remove();
        else
            fs_.deleteFile(stagedCopies_[at].path);
        gone_[at] = true;
    } catch (const RuntimeError&) {
    }
    openCopies_[at].reset();
}

bool ZipRun::stillThere(int i) const {
    const auto at = stagedIndex_.find(foldedCopies_[static_cast<size_t>(i)]);
    return at != stagedIndex_.end() && !gone_[at->second];
}

// Asks for the copies of the lines from `from` on, up to a few files and a few tens of
// mebibytes ahead of the packing, so that the next copies are made while the library packs
// the one before. Each goes as soon as it is packed, so the staging drive holds no more than
// that. Only copies that are new and that no other line names are made ahead: any other is
// made, as before, when the library asks for it.
void ZipRun::copyAhead(int from) {
    constexpr size_t kFilesAhead = 8;
    constexpr uint64_t kBytesAhead = uint64_t{64} << 20;
    nextAhead_ = std::max(nextAhead_, from);
    while (nextAhead_ < count() && linesAhead_.size() < kFilesAhead && bytesAhead_ < kBytesAhead) {
        const int i = nextAhead_++;
        if (!onlyNaming_[static_cast<size_t>(i)] || stillThere(i))
            continue;
        ahead_->add(sourceOf(i), stagedCopyOf(i));
        linesAhead_.push_back(i);
        bytesAhead_ += sizeOf(i);
    }
}

// Line i's new copy: made ahead when it was asked for, else now. Copies made ahead for lines
// the library passed by are kept for the clean-up.
std::unique_ptr<OpenCopy> ZipRun::takeAhead(int i) {
    while (!linesAhead_.empty() && linesAhead_.front() <= i) {
        const int line = linesAhead_.front();
        linesAhead_.pop_front();
        bytesAhead_ -= sizeOf(line);
        if (line == i)
            return readWhileCopied(i) ? ahead_->takeBegun() : ahead_->take(meter_.copyHook());
        try {
            keepCopy(line, ahead_->take());
        } catch (const RuntimeError&) {
        }
    }
    return fs_.copyToNew(sourceOf(i), stagedCopyOf(i), meter_.copyHook());
}

// Counts a copy made ahead and never taken among this run's copies, for the clean-up.
void ZipRun::keepCopy(int i, std::unique_ptr<OpenCopy> copy) {
    if (!copy)
        return;
    const size_t slot = slotOf(i);
    stagedCopies_[slot] = StagingClaim{stagedCopyOf(i)};
    gone_[slot] = false;
    openCopies_[slot] = std::move(copy);
}

// Stops the copies ahead, however the packing ended; those made and not taken stay this run's
// to clear.
void ZipRun::endCopiesAhead() noexcept {
    if (!ahead_)
        return;
    std::vector<std::unique_ptr<OpenCopy>> untaken = ahead_->stop();
    ahead_.reset();
    for (size_t k = 0; k < untaken.size() && k < linesAhead_.size(); ++k) {
        try {
            keepCopy(linesAhead_[k], std::move(untaken[k]));
        } catch (...) {
            // Without room to note it, the copy goes now.
            try {
                if (untaken[k])
                    untaken[k]->remove();
            } catch (...) {
            }
        }
    }
    linesAhead_.clear();
    bytesAhead_ = 0;
    nextAhead_ = 0;
}

// The library's file hook: nothing may unwind through it, so what stops the packing is kept
// and thrown again once the library has returned.
bool ZipRun::onListedFile(ListedFile event, uint32_t index, intptr_t& opened) {
    const int i = static_cast<int>(index);
    try {
        if (i >= count())
            return false;
        if (event == ListedFile::AtEnd) {
            opened = copyGoesOn(i) ? 1 : 0;
        } else if (event == ListedFile::Wanted) {
            // A copy the library reads as it is made is made ahead even when it is the next
            // one: on the copies' thread, beside the packing.
            if (readWhileCopied(i))
                copyAhead(i);
            stageCopy(i);
            copyAhead(i + 1);
            // The library reads the copy through the handle that wrote it (one of its own for a
            // copy still being made): under Wine another open of its name is three more
            // requests to the Wine server. Not a copy another line names later: that line
            // makes it again, closing the handle before this line is done with it.
            const std::unique_ptr<OpenCopy>& held = openCopies_[copyOfLine_[index]];
            if (held && lastNaming_[index])
                opened = held->readHandle();
        } else
            removePackedCopy(i);
        return true;
    } catch (...) {
        hookFailure_ = std::current_exception();
    }
    return false;
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
        throw RegionFailure{causeOf(BackupStep::WriteListFile, listPath_, e)};
    }
}

// What addZIP's failing result means. The library does not say which file it could not read:
// the staged copies are tried to name it.
BackupCause ZipRun::archiveFailure(int32_t result) {
    if (result == AZIP_ERR_SOURCE_FILE) {
        for (size_t at = 0; at < stagedCopies_.size(); ++at) {
            const StagingClaim& staged = stagedCopies_[at];
            if (gone_[at])
                continue;
            try {
                fs_.checkReadable(staged.path);
            } catch (const RuntimeError& e) {
                BackupCause cause = causeOf(BackupStep::PackArchive, archivePath_, e, staged.path);
                cause.errorNumber = result;
                return cause;
            }
        }
    }
    BackupCause cause;
    cause.step = BackupStep::PackArchive;
    cause.file = archivePath_;
    cause.errorNumber = result;
    return cause;
}

// The library's word on how far it is, as the job's bytes: the packing counts the database's
// bytes a second time, the check a third. The library does not say which file it packs; the
// sizes tell.
bool ZipRun::packingProgress(int32_t stage, uint32_t doneKiB, uint32_t totalKiB) {
    // On demand the packing's total is not known to the library: its KiB count as they are.
    const uint64_t part = totalKiB != 0 ? databaseBytes_ * std::min(doneKiB, totalKiB) / totalKiB
                          : onDemand_ && stage == AZIP_STAGE_PACKING
                              ? std::min<uint64_t>(uint64_t{doneKiB} * 1024, databaseBytes_)
                              : 0;
    if (stage != AZIP_STAGE_PACKING)
        return meter_.tell(WorkStage::Checking, 2 * databaseBytes_ + part);
    packedBytes_ = part;
    int file = 0;
    for (uint64_t end = 0; file + 1 < count() && !sizes_.empty(); ++file)
        if ((end += sizes_[static_cast<size_t>(file)]) > part)
            break;
    return meter_.tell(WorkStage::Packing, (onDemand_ ? copiedBytes_ : databaseBytes_) + part,
                       names_.empty() ? "" : names_[file], file + 1, count());
}

// A library that cannot be bound, or that says it failed, will not do better on a second
// pass, so its failures stop the run whatever the catch. One that was asked to stop has left
// the earlier archive as it was.
void ZipRun::buildArchive() {
    if (!onDemand_)
        meter_.begin(WorkStage::Packing, databaseBytes_, names_.empty() ? "" : names_[0], 1,
                     count());
    const WorkControl& control = job_.control;
    ArchiveProgress progress;
    if (control.report || control.cancelRequested)
        progress = [this](int32_t stage, uint32_t done, uint32_t total) {
            return packingProgress(stage, done, total);
        };
    ArchiveRequest request{archivePath_, listPath_, job_.password, {}};
    if (onDemand_) {
        copiedBytes_ = packedBytes_ = 0;
        request.files = [this](ListedFile event, uint32_t index, intptr_t& opened) {
            return onListedFile(event, index, opened);
        };
        ahead_ = fs_.copiesAhead();
    }
    int32_t result = 0;
    try {
        struct EndCopiesAhead {
            ZipRun& run;
            ~EndCopiesAhead() { run.endCopiesAhead(); }
        } endCopiesAhead{*this};
        result = archiver_.makeArchive(request, progress);
    } catch (const RuntimeError& e) {
        throw StopRun{causeOf(BackupStep::PackArchive, archivePath_, e)};
    }
    // A failed copy (RegionFailure) or a Cancel (WorkCancelled) inside the hook.
    if (hookFailure_)
        std::rethrow_exception(std::exchange(hookFailure_, nullptr));
    if (result == AZIP_ERR_CANCELLED && control.cancelled())
        throw WorkCancelled{};
    if (result == kArchiverCannotEncrypt)
        throw StopRun{cannotEncrypt()};
    if (result != 0)
        throw StopRun{archiveFailure(result)};
}

// Removes this run's staged copies (never other files of the staging folder), then the staging
// folder if this program made it and that leaves it empty, then the list file. Goes on past a
// failure and returns what each one left behind. The copies that stay are what the list file
// then names, each with its size and time, so that the next run deletes them and nothing
// that takes their names later.
std::vector<LeftOver> ZipRun::cleanUp() {
    // The copies still held open are closed, so that they can go by name like the others.
    openCopies_.clear();
    std::vector<LeftOver> leftOver;
    auto note = [&](LeftOver::Kind kind, const std::string& path, const RuntimeError& e) {
        leftOver.push_back({kind, path, e});
    };
    std::vector<StagingClaim> left;
    for (size_t at = 0; at < stagedCopies_.size(); ++at) {
        const StagingClaim& staged = stagedCopies_[at];
        if (gone_[at])
            continue;
        try {
            fs_.deleteFile(staged.path);
        } catch (const RuntimeError& e) {
            if (e.number() == errFileNotFound)
                continue;
            left.push_back(staged.identified ? staged : claimOf(fs_, staged.path));
            note(LeftOver::Kind::StagedCopy, staged.path, e);
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
                note(LeftOver::Kind::StagingFolder, stagingFolder_, e);
        }
    }
    if (listFileMade_) {
        try {
            writeStagingClaims(fs_, listPath_, left);
        } catch (const RuntimeError& e) {
            note(copiesGone ? LeftOver::Kind::ListFile : LeftOver::Kind::ListFileNotRewritten,
                 listPath_, e);
        }
    }
    return leftOver;
}

BackupResult ZipRun::run() {
    if (job_.control.cancelled())
        return ended(backupCancelled());
    std::optional<BackupCause> inTheWay = clearInterruptedRun();
    if (!inTheWay)
        inTheWay = stagedNamesInTheWay();
    if (inTheWay)
        return ended(backupFailure(*inTheWay));
    // A password that the library cannot use stops the run before anything is staged.
    if (!job_.password.empty() && !archiver_.canEncrypt())
        return ended(backupFailure(cannotEncrypt()));
    databaseBytes_ = databaseBytes(job_, fs_, &sizes_);
    meter_.setTotal(3 * databaseBytes_);
    onDemand_ = archiver_.canMakeOnDemand();
    growingCopies_ = onDemand_ && archiver_.canReadGrowingFiles();
    // The sizes tell which copies are packed as they are made (and how many are made ahead),
    // also in a run that does not report.
    if (growingCopies_ && sizes_.empty())
        sizes_ = databaseSizes(job_, fs_);
    foldedCopies_.resize(names_.size());
    for (int i = 0; i < count(); ++i)
        foldedCopies_[static_cast<size_t>(i)] = codePage_.caseFolded(stagedCopyOf(i));
    if (onDemand_) {
        lastNaming_.assign(names_.size(), false);
        onlyNaming_.assign(names_.size(), false);
        copyOfLine_.assign(names_.size(), 0);
        std::unordered_map<std::string, int> naming;
        for (int i = count() - 1; i >= 0; --i)
            lastNaming_[static_cast<size_t>(i)] =
                ++naming[foldedCopies_[static_cast<size_t>(i)]] == 1;
        for (size_t i = 0; i < names_.size(); ++i)
            onlyNaming_[i] = naming[foldedCopies_[i]] == 1;
    }
    try {
        makeStagingFolder();
        // The list goes first: while it exists it names the staged copies a run made, so that
        // the next run can clear them should this one be stopped part-way. A failure of the
        // list-file or copy step starts both again, once per run; on demand the copies are
        // made inside the packing, which starts again with them.
        for (;;) {
            try {
                writeListFile();
                if (onDemand_)
                    buildArchive();
                else
                    copyStep();
                break;
            } catch (const RegionFailure& failure) {
                if (!spendCatch())
                    throw StopRun{failure.cause, failure.databaseInUse};
            }
        }
        if (!onDemand_)
            buildArchive();
    } catch (const WorkCancelled&) {
        // Until the library has put the archive in place, Cancel undoes the run as a failure
        // does: the staged copies, the list file and a staging folder it made go.
        return ended(backupCancelled(cleanUp()));
    } catch (const StopRun& stop) {
        BackupResult failed = backupFailure(
            stop.cause, stop.databaseInUse ? BackupOutcome::DatabaseInUse : BackupOutcome::Failed);
        failed.leftOvers = cleanUp();
        return ended(failed);
    }

    // The archive is written and in place: Cancel no longer undoes anything, and the clean-up
    // is quick. A temporary file that cannot be removed is reported instead of "Done !", once:
    // the next run deletes it first. The title must not call the backup failed: the archive
    // is complete and in place.
    meter_.tell(WorkStage::CleaningUp, meter_.totalBytes());
    BackupResult result = ended(backupDone(archivePath_));
    result.leftOvers = cleanUp();
    if (!result.leftOvers.empty())
        result.outcome = BackupOutcome::CleanUpIncomplete;
    return result;
}

} // namespace

std::string settingsFilePath(const std::string& programFolder) {
    // Joined as is: at a drive root the path holds "\\" before the name.
    return programFolder + "\\defaultdrive.ini";
}

BackupResult zipBackup(const BackupJob& job, const BackupTools& tools) {
    return ZipRun(job, tools).run();
}

} // namespace ch
