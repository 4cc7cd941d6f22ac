#include "app/restore_messages.h"

#include <cstdio>
#include <iterator>

#include "app/backup_messages.h"
#include "app/check_messages.h"
#include "backup/database_detection.h"
#include "backup/one_at_a_time.h"

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

// The unfinished new folder that a failed or cancelled restore could not remove.
std::string cleanUpText(const RestoreReport& report) {
    if (!report.cleanUpError)
        return {};
    return "\r\n\r\nThe unfinished folder " + report.newFolder + " could not be removed (" +
           plainReason(*report.cleanUpError) + "); you may delete it.";
}

// The step that failed and why, as "the folder X could not be made: the disk is full".
std::string failedStepText(const RestoreReport& report, const std::string& db) {
    const std::string reason = report.error ? plainReason(*report.error) : std::string();
    switch (report.step) {
    case RestoreStep::MakeFolder:
        return "the folder " + report.newFolder + " could not be made: " + reason;
    case RestoreStep::WriteFiles:
        return "its files could not be written to " + report.newFolder + ": " +
               (report.error         ? reason
                : report.outOfMemory ? std::string("there was not enough memory")
                                     : "an unexpected error occurred (" + report.found + ")");
    case RestoreStep::UnpackEntry:
        return "the entry " + report.entry + " is damaged: " + report.found;
    case RestoreStep::ReadDatabase:
        return "the folder " + db + " could not be read: " + reason;
    case RestoreStep::RenameDatabase:
        return "the folder " + db + " could not be renamed: " + reason;
    case RestoreStep::MoveEntry:
        return report.entry + " could not be moved to " + report.newFolder + ": " + reason;
    case RestoreStep::RenameNewFolder:
        return "the folder " + report.newFolder + " could not be renamed to db: " + reason;
    default:
        return reason;
    }
}

} // namespace

std::string restoreCancelledText(const std::string& messengerFolder) {
    return "The restore was cancelled. Nothing in " + databaseFolder(messengerFolder) +
           " was changed.";
}

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
    for (const CheckProblem& problem : backup.problems)
        text += "\r\n" + checkProblemText(backup, problem);
    for (const BackupFile& f : backup.files)
        if (f.fault != BackupFile::Fault::None)
            text += "\r\n" + (f.entryName.empty() ? f.name : f.entryName) + ": " +
                    fileProblemText(f) + ".";
    return text + "\r\n\r\nNothing was changed.";
}

std::string restoreReportText(const CheckedBackup& backup, const std::string& messengerFolder,
                              const RestoreReport& report) {
    const std::string db = databaseFolder(messengerFolder);
    switch (report.outcome) {
    case RestoreOutcome::Done:
        return "The backup " + backup.path + " was restored into " + db + ":\r\n\r\n" +
               fileListText(report.restored, report.restoredSizes) + "\r\n" +
               (report.previousFolder.empty()
                    ? std::string("There was no database there before.")
                    : "Your previous database was kept in " + report.previousFolder + ".");
    case RestoreOutcome::Cancelled:
        return restoreCancelledText(messengerFolder) + cleanUpText(report);
    case RestoreOutcome::Refused:
        if (report.step == RestoreStep::ReplaceDatabase)
            return "The database in " + db +
                   " cannot be replaced now: " + plainReason(*report.error) +
                   ".\r\n\r\nNothing was changed.";
        if (report.step == RestoreStep::MakeRoom)
            return "The backup " + backup.path + " cannot be restored: its database files need " +
                   sizeText(report.needed) + ", and the drive of " + messengerFolder + " has " +
                   sizeText(report.free) + " free.\r\n\r\nNothing was changed.";
        return damagedBackupText(backup);
    case RestoreOutcome::Failed:
        return "The backup " + backup.path +
               " could not be restored: " + failedStepText(report, db) +
               ".\r\n\r\nYour database in " + db + " is as it was." + cleanUpText(report);
    case RestoreOutcome::FailedPreviousDatabaseElsewhere:
        return "The backup " + backup.path +
               " could not be restored: " + failedStepText(report, db) +
               ".\r\n\r\nYour previous database could not be put back either (" +
               plainReason(*report.putBackError) + "): it is complete in " + report.previousFolder +
               ". Rename that folder to db by hand; the restored files are in " + report.newFolder +
               ".";
    }
    return {};
}

std::string backupRunningText(unsigned waitMilliseconds) {
    return "A backup is running on this computer (a scheduled backup, or Chathoard in another "
           "window). The restore waited " +
           waitedSeconds(waitMilliseconds) +
           " seconds for it and did not start; your database was not changed.\r\n\r\nRestore "
           "again when the backup has finished.";
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

} // namespace ch
