#include "backup/restore.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <iterator>
#include <new>
#include <stdexcept>

#include "backup/backup_common.h"
#include "backup/one_at_a_time.h"
#include "backup/zip_reader.h"
#include "platform/runtime_error.h"
#include "selection/folder_detection.h"

namespace ch {

const char* const kRestoreTitle = "Restore a backup";
const char* const kRestoreFailedTitle = "Restore failed";
const char* const kRestoredTitle = "Backup restored";
const char* const kRestoreCancelledTitle = "Restore cancelled";

std::string sizeText(uint64_t bytes) {
    if (bytes < 1024)
        return std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes");
    const char* const units[] = {"KB", "MB", "GB", "TB"};
    double value = static_cast<double>(bytes) / 1024;
    size_t unit = 0;
    while (value >= 1024 && unit + 1 < std::size(units)) {
        value /= 1024;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof text, value < 100 ? "%.1f %s" : "%.0f %s", value, units[unit]);
    return text;
}

namespace {

// A box's list of files, one indented line each, kept within a screen: beyond kAllListed
// files only the first kFirstListed, then how many more and how much they hold.
constexpr size_t kAllListed = 15;
constexpr size_t kFirstListed = 10;

std::string fileListText(const std::vector<std::string>& lines,
                         const std::vector<uint64_t>& sizes) {
    const size_t listed = lines.size() > kAllListed ? kFirstListed : lines.size();
    std::string text;
    for (size_t i = 0; i < listed; ++i)
        text += "    " + lines[i] + "\r\n";
    if (listed == lines.size())
        return text;
    uint64_t rest = 0;
    for (size_t i = listed; i < sizes.size(); ++i)
        rest += sizes[i];
    return text + "    ... and " + std::to_string(lines.size() - listed) + " more files, " +
           sizeText(rest) + "\r\n";
}

uint64_t sizeOf(const CheckedBackup& backup, const std::string& name) {
    for (const BackupFile& f : backup.files)
        if (f.name == name)
            return f.size;
    return 0;
}

// The files a restore wrote into its new folder, removed again when it does not complete.
// Only what this run made is removed.
std::string removeNewFolder(FileSystem& fs, const std::string& folder,
                            const std::vector<std::string>& written) {
    try {
        for (const auto& name : written)
            fs.deleteFile(folder + "\\" + name);
        fs.removeFolder(folder);
        return {};
    } catch (const RuntimeError& e) {
        return "\r\n\r\nThe unfinished folder " + folder + " could not be removed (" +
               plainReason(e) + "); you may delete it.";
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

std::string restoreQuestion(const CheckedBackup& backup, const std::string& messengerFolder) {
    std::string text = "Restore the backup " + backup.path + " from " +
                       localDateText(backup.modified) + "?\r\n\r\nThese files:\r\n";
    std::vector<std::string> lines;
    std::vector<uint64_t> sizes;
    for (const BackupFile& f : backup.files) {
        lines.push_back(f.name + "  (" + sizeText(f.size) + ")");
        sizes.push_back(f.size);
    }
    text += fileListText(lines, sizes) + "\r\nwill replace the database in " + messengerFolder +
            "\\db. The present database is kept, renamed to db.before-restore-<date and time>.";
    return text;
}

std::string damagedBackupText(const CheckedBackup& backup) {
    std::string text = "The backup " + backup.path + " cannot be restored";
    if (backup.passwordTrouble != CheckedBackup::PasswordTrouble::None)
        return text + ". " + passwordTroubleText(backup) + "\r\n\r\nNothing was changed.";
    if (backup.files.empty() && backup.problems.empty())
        return text + ": it holds no database files (*.dat or *.idx).\r\n\r\nNothing was changed.";
    text += ":\r\n";
    for (const auto& problem : backup.problems)
        text += "\r\n" + problem;
    for (const BackupFile& f : backup.files)
        if (!f.problem.empty())
            text += "\r\n" + (f.entryName.empty() ? f.name : f.entryName) + ": " + f.problem + ".";
    return text + "\r\n\r\nNothing was changed.";
}

std::string restoreCancelledText(const std::string& messengerFolder) {
    return "The restore was cancelled. Nothing in " + databaseFolder(messengerFolder) +
           " was changed.";
}

RestoreReport restoreBackup(FileSystem& fs, const CodePage& codePage, const CheckedBackup& backup,
                            const std::string& messengerFolder, const std::string& stamp,
                            const WorkControl& control) {
    RestoreReport report;
    const auto cancelled = [&](const std::string& cleanup) {
        report.outcome = RestoreOutcome::Cancelled;
        report.text = restoreCancelledText(messengerFolder) + cleanup;
        return report;
    };
    if (backup.cancelled || control.cancelled())
        return cancelled("");
    if (!backup.intact()) {
        report.outcome = RestoreOutcome::Refused;
        report.text = damagedBackupText(backup);
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
    const std::string previous = messengerFolder + "\\db.before-restore-" + unique;

    // A database file that ICQ holds open would be replaced under it.
    const bool hadDatabase = fs.folderExists(db);
    try {
        if (hadDatabase)
            for (const auto& name : fs.listFiles(db, kDatabasePatterns))
                fs.checkNotInUse(db + "\\" + name);
    } catch (const RuntimeError& e) {
        report.outcome = RestoreOutcome::Refused;
        report.databaseInUse = isSharingViolation(e);
        report.text = "The database in " + db + " cannot be replaced now: " + plainReason(e) +
                      ".\r\n\r\nNothing was changed.";
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
        report.text = "The backup " + backup.path + " cannot be restored: its database files " +
                      "need " + sizeText(needed) + ", and the drive of " + messengerFolder +
                      " has " + sizeText(*free) + " free.\r\n\r\nNothing was changed.";
        return report;
    }

    if (control.cancelled())
        return cancelled("");
    JobMeter meter(control, needed);
    const auto failure = [&](const std::string& step, const std::string& reason,
                             const std::string& cleanup) {
        report.outcome = RestoreOutcome::Failed;
        report.text = "The backup " + backup.path + " could not be restored: " + step + " " +
                      reason + ".\r\n\r\nYour database in " + db + " is as it was." + cleanup;
        return report;
    };
    // The new database is not in place and the previous one could not be put back.
    const auto previousElsewhere = [&](const std::string& what, const RuntimeError& back) {
        report.outcome = RestoreOutcome::FailedPreviousDatabaseElsewhere;
        report.text = "The backup " + backup.path + " could not be restored: " + what +
                      ".\r\n\r\nYour previous database could not be put back either (" +
                      plainReason(back) + "): it is complete in " + previous +
                      ". Rename that folder to db by hand; the restored files are in " + newFolder +
                      ".";
        report.previousFolder = previous;
        return report;
    };

    std::vector<std::string> written;
    // Room for every name first: a file once made is always listed for removal.
    written.reserve(backup.files.size());
    try {
        fs.makeFolder(newFolder);
    } catch (const RuntimeError& e) {
        return failure("the folder " + newFolder + " could not be made:", plainReason(e), "");
    }
    try {
        fillNewFolder(fs, codePage, backup, newFolder, written, meter);
        // The last moment Cancel can leave db as it was.
        meter.stopIfCancelled();
    } catch (const WorkCancelled&) {
        return cancelled(removeNewFolder(fs, newFolder, written));
    } catch (const RuntimeError& e) {
        return failure("its files could not be written to " + newFolder + ":", plainReason(e),
                       removeNewFolder(fs, newFolder, written));
    } catch (const ZipDamage& e) {
        return failure("the entry " + e.entry() + " is damaged:", e.what(),
                       removeNewFolder(fs, newFolder, written));
    } catch (const std::bad_alloc&) {
        return failure("its files could not be written to " + newFolder + ":",
                       "there was not enough memory", removeNewFolder(fs, newFolder, written));
    } catch (const std::exception& e) {
        return failure("its files could not be written to " + newFolder + ":",
                       std::string("an unexpected error occurred (") + e.what() + ")",
                       removeNewFolder(fs, newFolder, written));
    } catch (...) {
        removeNewFolder(fs, newFolder, written);
        throw;
    }

    // The database files are replaced; every other entry of db stays in the live db. They
    // move from the previous database's folder into the new one before it becomes db.
    std::vector<std::string> others;
    if (hadDatabase) {
        try {
            others = otherEntriesOf(fs, db);
        } catch (const RuntimeError& e) {
            return failure("the folder " + db + " could not be read:", plainReason(e),
                           removeNewFolder(fs, newFolder, written));
        }
        try {
            fs.rename(db, previous);
        } catch (const RuntimeError& e) {
            return failure("the folder " + db + " could not be renamed:", plainReason(e),
                           removeNewFolder(fs, newFolder, written));
        }
        try {
            moveEntries(fs, previous, newFolder, others);
        } catch (const MoveFailure& moving) {
            try {
                fs.rename(previous, db);
            } catch (const RuntimeError& back) {
                return previousElsewhere(moving.path + " could not be moved to " + newFolder +
                                             ": " + plainReason(moving.error),
                                         back);
            }
            return failure(moving.path + " could not be moved to " + newFolder + ":",
                           plainReason(moving.error), removeNewFolder(fs, newFolder, written));
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
                return previousElsewhere("the folder " + newFolder +
                                             " could not be renamed to db: " + plainReason(e),
                                         back);
            }
        }
        return failure("the folder " + newFolder + " could not be renamed to db:", plainReason(e),
                       removeNewFolder(fs, newFolder, written));
    }

    report.outcome = RestoreOutcome::Done;
    report.restored = written;
    std::vector<uint64_t> writtenSizes;
    for (const auto& name : written)
        writtenSizes.push_back(sizeOf(backup, name));
    report.previousFolder = hadDatabase ? previous : std::string();
    report.text = "The backup " + backup.path + " was restored into " + db + ":\r\n\r\n" +
                  fileListText(written, writtenSizes) + "\r\n" +
                  (hadDatabase ? "Your previous database was kept in " + previous + "."
                               : std::string("There was no database there before."));
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

std::string interruptedRestoreText(const InterruptedRestore& found,
                                   const std::string& messengerFolder, bool question) {
    const std::string db = databaseFolder(messengerFolder);
    std::string text = "A restore into " + messengerFolder +
                       " did not finish (the computer may have stopped during it): there is no " +
                       db + ". Your previous database is complete in " + found.previous + ".";
    if (!found.restored.empty())
        text += " The restored database is in " + found.restored + ".";
    if (question)
        return text + "\r\n\r\nPut the previous database back as " + db + "?";
    return text + " To put the previous database back, rename " + found.previous + " to db.";
}

bool offerInterruptedRestore(FileSystem& fs, Dialogs& dialogs, const std::string& messengerFolder) {
    const auto found = interruptedRestore(fs, messengerFolder);
    if (!found || dialogs.msgBox(interruptedRestoreText(*found, messengerFolder, true),
                                 vbOKCancel | vbQuestion | vbDefaultButton2, kRestoreTitle) != vbOK)
        return false;
    try {
        fs.rename(found->previous, databaseFolder(messengerFolder));
        return true;
    } catch (const RuntimeError& e) {
        dialogs.msgBox("The folder " + found->previous +
                           " could not be renamed to db: " + plainReason(e) + ".",
                       vbExclamation, kRestoreFailedTitle);
        return false;
    }
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

std::string backupRunningText(unsigned waitMilliseconds) {
    return "A backup is running on this computer (a scheduled backup, or Chathoard in another "
           "window). The restore waited " +
           waitedSeconds(waitMilliseconds) +
           " seconds for it and did not start; your database was not changed.\r\n\r\nRestore "
           "again when the backup has finished.";
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
