#include "backup/restore.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <iterator>
#include <new>
#include <stdexcept>

#include "backup/backup_common.h"
#include "backup/database_detection.h"
#include "backup/one_at_a_time.h"
#include "backup/zip_reader.h"
#include "platform/runtime_error.h"

namespace ch {

namespace {

uint64_t sizeOf(const CheckedBackup& backup, const std::string& name) {
    for (const BackupFile& f : backup.files)
        if (f.name == name)
            return f.size;
    return 0;
}

// The files a restore wrote into its new folder, removed again when it does not complete.
// Only what this run made is removed.
// Why it stays, when it does, goes into report.
void removeNewFolder(FileSystem& fs, const std::string& folder,
                     const std::vector<std::string>& written, RestoreReport& report) {
    try {
        for (const auto& name : written)
            fs.deleteFile(folder + "\\" + name);
        fs.removeFolder(folder);
    } catch (const RuntimeError& e) {
        report.cleanUpError.emplace(e);
    }
}

// What a restore keeps in db however it ends: every entry that is not a database file (the
// messenger's pictures, notes and logs, and any folder). Names only.
std::vector<std::string> otherEntriesOf(FileSystem& fs, const std::string& db) {
    std::vector<std::string> others;
    for (const FolderEntry& entry : fs.listEntries(db))
        if (entry.folder || !patternListMatch(kDatabasePatterns, entry.name))
            others.push_back(entry.name);
    return others;
}

// An entry that could not be moved between the two folders, and why.
struct MoveFailure {
    std::string path;
    RuntimeError error;
};

// Moves the named entries of folder from into folder to, by renaming them. On a failure those
// already moved go back as far as they can, and MoveFailure is thrown.
void moveEntries(FileSystem& fs, const std::string& from, const std::string& to,
                 const std::vector<std::string>& names) {
    for (size_t i = 0; i < names.size(); ++i) {
        try {
            fs.rename(from + "\\" + names[i], to + "\\" + names[i]);
        } catch (const RuntimeError& e) {
            for (size_t back = 0; back < i; ++back)
                bestEffort([&] { fs.rename(to + "\\" + names[back], from + "\\" + names[back]); });
            throw MoveFailure{from + "\\" + names[i], e};
        }
    }
}

// Moves back what moveEntries moved from from to to, as far as it can.
void moveEntriesBack(FileSystem& fs, const std::string& from, const std::string& to,
                     const std::vector<std::string>& names) {
    for (const std::string& name : names)
        bestEffort([&] { fs.rename(to + "\\" + name, from + "\\" + name); });
}

constexpr size_t kRestoreWriteBatch = size_t{4} << 20;

// Unpacks or copies the backup's database files into folder; written lists what is there.
void fillNewFolder(FileSystem& fs, const CodePage& codePage, const CheckedBackup& backup,
                   const std::string& folder, std::vector<std::string>& written, JobMeter& meter) {
    const int count = static_cast<int>(backup.files.size());
    if (!backup.archive) {
        uint64_t done = 0;
        for (int i = 0; i < count; ++i) {
            const BackupFile& f = backup.files[static_cast<size_t>(i)];
            meter.begin(WorkStage::Copying, done, f.name, i + 1, count);
            done += f.size;
            fs.copyFile(backup.path + "\\" + f.name, folder + "\\" + f.name, CopyFlush::ToDisk,
                        meter.copyHook());
            written.push_back(f.name);
        }
        return;
    }
    // Read again, and checked again on the way: the archive may have changed since.
    ZipReader reader(fs, codePage, backup.path);
    reader.setPassword(backup.password);
    uint64_t done = 0;
    int number = 0;
    for (const BackupFile& f : backup.files) {
        meter.begin(WorkStage::Unpacking, done, f.name, ++number, count);
        done += f.size;
        const CopyProgress hook = meter.copyHook();
        uint64_t unpacked = 0;
        const ZipEntry* entry = nullptr;
        for (const ZipEntry& e : reader.entries())
            if (e.name == f.entryName)
                entry = &e;
        if (!entry)
            throw ZipDamage(f.entryName, "the entry is no longer in the archive");
        // Written in batches as it is inflated: a database file of any size is restored in
        // bounded memory, which a 32-bit process lacks for a whole file of hundreds of MB.
        const std::string path = folder + "\\" + f.name;
        std::string batch;
        bool created = false;
        const auto write = [&] {
            if (created) {
                fs.appendText(path, batch);
            } else {
                fs.writeNewFile(path, batch);
                created = true;
                written.push_back(f.name); // from now on a failure must remove it
            }
            batch.clear();
        };
        reader.readEntry(*entry, [&](const std::string& piece) {
            batch += piece;
            if (batch.size() >= kRestoreWriteBatch)
                write();
            if (hook && !hook(unpacked += piece.size()))
                throw WorkCancelled{};
        });
        if (!created || !batch.empty())
            write();
        // The archive's time for the file, as a copy keeps its source's: later checks date the
        // database by it. A time the disk will not take leaves the file as complete.
        if (f.modified != 0)
            bestEffort([&] { fs.setModifiedTime(path, f.modified); });
    }
}

} // namespace

RestoreReport restoreBackup(FileSystem& fs, const CodePage& codePage, const CheckedBackup& backup,
                            const std::string& messengerFolder, const std::string& stamp,
                            const WorkControl& control) {
    RestoreReport report;
    const auto cancelled = [&] {
        report.outcome = RestoreOutcome::Cancelled;
        return report;
    };
    if (backup.cancelled || control.cancelled())
        return cancelled();
    if (!backup.intact()) {
        report.outcome = RestoreOutcome::Refused;
        report.step = RestoreStep::CheckBackup;
        return report;
    }
    const std::string db = databaseFolder(messengerFolder);
    // A second restore within the same second gets "-2" and so on after the time.
    std::string unique = stamp;
    for (int n = 2; n < 100 && (fs.folderExists(messengerFolder + "\\db.restore-" + unique) ||
                                fs.folderExists(messengerFolder + "\\db.before-restore-" + unique));
         ++n)
        unique = stamp + "-" + std::to_string(n);
    const std::string newFolder = messengerFolder + "\\db.restore-" + unique;
    report.newFolder = newFolder;
    const std::string previous = messengerFolder + "\\db.before-restore-" + unique;

    // A database file that ICQ holds open would be replaced under it.
    const bool hadDatabase = fs.folderExists(db);
    try {
        if (hadDatabase)
            for (const auto& name : fs.listFiles(db, kDatabasePatterns))
                fs.checkNotInUse(db + "\\" + name);
    } catch (const RuntimeError& e) {
        report.outcome = RestoreOutcome::Refused;
        report.step = RestoreStep::ReplaceDatabase;
        report.error = e;
        report.databaseInUse = isSharingViolation(e);
        return report;
    }

    // Refused before anything is written when the files cannot fit: the sizes are the
    // archive's word, checked against the data as it is unpacked.
    uint64_t needed = 0;
    for (const BackupFile& f : backup.files)
        needed += f.size;
    std::optional<uint64_t> free;
    bestEffort([&] { free = fs.freeBytes(messengerFolder); });
    if (free && needed > *free) {
        report.outcome = RestoreOutcome::Refused;
        report.step = RestoreStep::MakeRoom;
        report.needed = needed;
        report.free = *free;
        return report;
    }

    if (control.cancelled())
        return cancelled();
    JobMeter meter(control, needed);
    // A step that failed with error (none: the report says why) before db was touched.
    const auto failure = [&](RestoreStep step, const RuntimeError* error) {
        report.outcome = RestoreOutcome::Failed;
        report.step = step;
        if (error)
            report.error.emplace(*error);
        return report;
    };
    // The new database is not in place and the previous one could not be put back.
    const auto previousElsewhere = [&](RestoreStep step, const RuntimeError& e,
                                       const RuntimeError& back) {
        report.outcome = RestoreOutcome::FailedPreviousDatabaseElsewhere;
        report.step = step;
        report.error.emplace(e);
        report.putBackError.emplace(back);
        report.previousFolder = previous;
        return report;
    };

    std::vector<std::string> written;
    // Room for every name first: a file once made is always listed for removal.
    written.reserve(backup.files.size());
    try {
        fs.makeFolder(newFolder);
    } catch (const RuntimeError& e) {
        return failure(RestoreStep::MakeFolder, &e);
    }
    try {
        fillNewFolder(fs, codePage, backup, newFolder, written, meter);
        // The last moment Cancel can leave db as it was.
        meter.stopIfCancelled();
    } catch (const WorkCancelled&) {
        removeNewFolder(fs, newFolder, written, report);
        return cancelled();
    } catch (const RuntimeError& e) {
        removeNewFolder(fs, newFolder, written, report);
        return failure(RestoreStep::WriteFiles, &e);
    } catch (const ZipDamage& e) {
        report.entry = e.entry();
        report.found = e.what();
        removeNewFolder(fs, newFolder, written, report);
        return failure(RestoreStep::UnpackEntry, nullptr);
    } catch (const std::bad_alloc&) {
        report.outOfMemory = true;
        removeNewFolder(fs, newFolder, written, report);
        return failure(RestoreStep::WriteFiles, nullptr);
    } catch (const std::exception& e) {
        report.found = e.what();
        removeNewFolder(fs, newFolder, written, report);
        return failure(RestoreStep::WriteFiles, nullptr);
    } catch (...) {
        removeNewFolder(fs, newFolder, written, report);
        throw;
    }

    // The database files are replaced; every other entry of db stays in the live db. They
    // move from the previous database's folder into the new one before it becomes db.
    std::vector<std::string> others;
    if (hadDatabase) {
        try {
            others = otherEntriesOf(fs, db);
        } catch (const RuntimeError& e) {
            removeNewFolder(fs, newFolder, written, report);
            return failure(RestoreStep::ReadDatabase, &e);
        }
        try {
            fs.rename(db, previous);
        } catch (const RuntimeError& e) {
            removeNewFolder(fs, newFolder, written, report);
            return failure(RestoreStep::RenameDatabase, &e);
        }
        try {
            moveEntries(fs, previous, newFolder, others);
        } catch (const MoveFailure& moving) {
            report.entry = moving.path;
            try {
                fs.rename(previous, db);
            } catch (const RuntimeError& back) {
                return previousElsewhere(RestoreStep::MoveEntry, moving.error, back);
            }
            removeNewFolder(fs, newFolder, written, report);
            return failure(RestoreStep::MoveEntry, &moving.error);
        }
    }
    try {
        fs.rename(newFolder, db);
    } catch (const RuntimeError& e) {
        if (hadDatabase) {
            moveEntriesBack(fs, previous, newFolder, others);
            try {
                fs.rename(previous, db);
            } catch (const RuntimeError& back) {
                return previousElsewhere(RestoreStep::RenameNewFolder, e, back);
            }
        }
        removeNewFolder(fs, newFolder, written, report);
        return failure(RestoreStep::RenameNewFolder, &e);
    }

    report.outcome = RestoreOutcome::Done;
    report.restored = written;
    for (const auto& name : written)
        report.restoredSizes.push_back(sizeOf(backup, name));
    report.previousFolder = hadDatabase ? previous : std::string();
    return report;
}

std::optional<InterruptedRestore> interruptedRestore(FileSystem& fs,
                                                     const std::string& messengerFolder) {
    std::vector<std::string> folders;
    try {
        if (fs.folderExists(databaseFolder(messengerFolder)))
            return std::nullopt;
        folders = fs.listFolders(messengerFolder);
    } catch (const RuntimeError&) {
        return std::nullopt;
    }
    const std::string prefix = "db.before-restore-";
    std::optional<InterruptedRestore> found;
    // The stamps sort by time: the last one is the newest.
    std::sort(folders.begin(), folders.end());
    for (const auto& name : folders) {
        if (!startsWithNoCase(name, prefix))
            continue;
        const std::string restored = "db.restore-" + name.substr(prefix.size());
        found = InterruptedRestore{messengerFolder + "\\" + name,
                                   fs.folderExists(messengerFolder + "\\" + restored)
                                       ? messengerFolder + "\\" + restored
                                       : std::string()};
    }
    return found;
}

void putPreviousDatabaseBack(FileSystem& fs, const InterruptedRestore& found,
                             const std::string& messengerFolder) {
    fs.rename(found.previous, databaseFolder(messengerFolder));
}

std::string restoreStamp(const std::string& localTime) {
    std::string stamp;
    for (char c : localTime) {
        if (c == ' ')
            stamp += '-';
        else if (c != ':')
            stamp += c;
    }
    return stamp;
}

std::string localTimeNow() {
    const std::time_t t = std::time(nullptr);
    const std::tm* local = std::localtime(&t);
    char text[32] = "1970-01-01 00:00:00";
    if (local)
        std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", local);
    return text;
}

std::optional<RestoreReport> restoreAlone(BackupLock& lock, unsigned waitMilliseconds,
                                          FileSystem& fs, const CodePage& codePage,
                                          const CheckedBackup& backup,
                                          const std::string& messengerFolder,
                                          const std::string& stamp, const WorkControl& control) {
    // A Cancel ends the wait too: restoreBackup then says the restore was cancelled.
    if (!lock.acquire(waitMilliseconds, control.cancelRequested) && !control.cancelled())
        return std::nullopt;
    const ReleaseAtEnd releaseAtEnd{lock};
    return restoreBackup(fs, codePage, backup, messengerFolder, stamp, control);
}

} // namespace ch
