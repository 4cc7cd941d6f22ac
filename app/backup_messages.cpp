#include "app/backup_messages.h"

#include "azip32/azip32.h"
#include "backup/backup_common.h"
#include "backup/one_at_a_time.h"
#include "backup/zip_backup.h"

namespace ch {

const char* const kCompletionWords = "Your ICQ backup has been succesfully copied to: ";
const char* const kDoneTitle = "Done !";
const char* const kBackupFailedTitle = "Backup failed";
const char* const kCleanUpIncompleteTitle = "Clean-up incomplete";
const char* const kBackupCancelledTitle = "Backup cancelled";
const char* const kAnotherBackupTitle = "Another backup is running";
const char* const kCannotEncryptReason =
    "the archiving library azip32.dll cannot encrypt (it is an older version, or it is missing), "
    "and no unencrypted archive was made in its place";

namespace {

constexpr unsigned long kFilenameExcedRange = 206; // ERROR_FILENAME_EXCED_RANGE

} // namespace

std::string plainReason(const RuntimeError& e) {
    switch (e.number()) {
    case errFileNotFound:
        return "the file was not found";
    case errPathNotFound:
        return "the folder does not exist";
    case errPermissionDenied:
        if (isSharingViolation(e))
            return "the file is in use by another program. If ICQ is running, close it and "
                   "try again";
        // Said of the source as well as the destination, so it must not speak of writing.
        return "access was denied (the file or folder may be read-only, or you may not have "
               "permission to use it)";
    case errPathFileAccess:
        return "the file or folder could not be accessed (it may be read-only or in use)";
    case errDiskFull:
        return "the disk is full";
    case errDeviceUnavailable:
    case errDiskNotReady:
        return "the drive is not ready";
    case errDeviceIO:
        return "the device reported a read or write error";
    case errBadFileNameOrNumber:
        if (e.systemError() == kFilenameExcedRange)
            return "the path is too long for Windows (shorten the folder names or move the "
                   "folder nearer the drive's root)";
        return "the name is not a valid file or folder name";
    case errFileAlreadyOpen:
        return "the file is already open";
    case errDllLoad:
        return "the archiving library azip32.dll could not be loaded";
    case errDllEntryPoint:
        return "the archiving library azip32.dll lacks a function the program needs";
    default:
        return "run-time error " + std::to_string(e.number()) + ": " + e.description();
    }
}

std::string anotherBackupText(unsigned waitMilliseconds) {
    return "Another backup is running on this computer (a scheduled backup, or Chathoard in "
           "another window). This one waited " +
           waitedSeconds(waitMilliseconds) +
           " seconds for it and did not start; nothing was written.\r\n\r\nBack up again when "
           "the other backup has finished.";
}

std::string databaseWaitText(const DatabaseWait& wait) {
    if (wait.kind == DatabaseWait::Kind::Free)
        return "ICQ has closed: the database is no longer in use";
    return "The database file " + wait.file + " is in use: waiting for ICQ to close (up to " +
           std::to_string(wait.minutes) + (wait.minutes == 1 ? " minute" : " minutes") +
           ", looking again every " + std::to_string(kWaitRetrySeconds) + " seconds)";
}

std::string databaseInUseText(const std::string& path, int minutes) {
    std::string text = "The database stayed in use: " + path + " is held open by another program";
    if (minutes > 0)
        text +=
            " after waiting " + std::to_string(minutes) + (minutes == 1 ? " minute" : " minutes");
    return text + ". If ICQ is running, close it and try again" +
           (minutes > 0 ? "." : ", or add /wait to wait for it to close.");
}

std::string filesCopiedText(int copied, int total) {
    return std::to_string(copied) + " of " + std::to_string(total) +
           (total == 1 ? " file was copied" : " files were copied");
}

std::string BackupMessage::boxText() const {
    std::string box = text;
    for (const ReportLine& line : lines)
        box += "\r\n" + line.text;
    return box;
}

namespace {

std::string reasonOf(const BackupCause& cause) {
    return cause.error ? plainReason(*cause.error) : std::string();
}

std::string listed(const std::vector<std::string>& paths) {
    std::string names;
    for (const std::string& path : paths)
        names += path + "\r\n";
    return names;
}

// The staging folder as an error box can show it. Its drive part comes straight from
// defaultdrive.ini, which may hold anything: control characters (a NUL would end the box's
// text early) show as "?", and a setting too long to read is cut short, marked by "...".
std::string shownStagingFolder(const std::string& stagingFolder) {
    constexpr size_t kShownLength = 40;
    const std::string suffix = ":\\chathoard";
    std::string drive = stagingFolder.substr(0, stagingFolder.size() - suffix.size());
    for (char& c : drive)
        if (static_cast<unsigned char>(c) < 0x20)
            c = '?';
    if (drive.size() > kShownLength)
        drive = drive.substr(0, kShownLength) + "...";
    return drive + suffix;
}

// A staging path on no drive, or not a path at all ("D::\chathoard"), reads as a missing file
// or folder to the system; say what it really means.
std::string stagingReason(const RuntimeError& e) {
    const int n = e.number();
    if (n == errFileNotFound || n == errPathNotFound || n == errBadFileNameOrNumber)
        return "there is no such drive, or the path is not valid";
    return plainReason(e);
}

// addZIP's result in plain words; an undocumented code is shown as well.
std::string archiveReason(const BackupCause& cause) {
    if (cause.error && !cause.from.empty())
        return "the staged copy " + cause.from + " could not be read: " + reasonOf(cause);
    if (cause.error)
        return reasonOf(cause);
    const int result = cause.errorNumber;
    const bool documented = result >= AZIP_ERR_NOT_SET && result <= AZIP_ERR_INTERNAL;
    return std::string(azipResultText(result)) +
           (documented ? "" : " (code " + std::to_string(result) + ")");
}

// What a ZIP Backup's clean-up left, one line each, and who removes it.
std::string leftOverText(const std::vector<LeftOver>& leftOvers) {
    std::string text;
    bool copiesStay = false;
    for (const LeftOver& left : leftOvers) {
        if (!text.empty())
            text += "\r\n";
        switch (left.kind) {
        case LeftOver::Kind::StagedCopy:
            copiesStay = true;
            text += "The staged copy " + left.path + " could not be deleted.";
            break;
        case LeftOver::Kind::StagingFolder:
            text += "The staging folder " + left.path + " could not be deleted.";
            break;
        case LeftOver::Kind::ListFile:
            text += "The list file " + left.path + " could not be deleted.";
            break;
        case LeftOver::Kind::ListFileNotRewritten:
            text += "The list file " + left.path + " could not be rewritten.";
            break;
        }
        text += "\r\nReason: " + plainReason(left.error) + ".";
    }
    if (copiesStay)
        text += "\r\n\r\nThe next backup deletes what is left.";
    return text;
}

// The error box of a backup that stopped at cause's step.
std::string failureText(const BackupJob& job, const BackupResult& result,
                        const BackupCause& cause) {
    const std::string notWritten = "The archive " + result.archive + " was not written.";
    const std::string settings = settingsFilePath(job.programFolder);
    switch (cause.step) {
    case BackupStep::DestinationIsDatabase:
    case BackupStep::DestinationInsideDatabase:
        return "The backup folder " + cause.file +
               (cause.step == BackupStep::DestinationIsDatabase
                    ? " is ICQ's database folder."
                    : " lies inside ICQ's database folder " + cause.to + ".") +
               "\r\nA backup must go elsewhere: choose a backup folder outside " + cause.to +
               ".\r\n\r\nNothing was written.";
    case BackupStep::DestinationIsStaging:
        return "The backup folder " + cause.file +
               " is the ZIP Backup's staging folder, and it still holds copies an earlier ZIP "
               "Backup made and could not delete yet:\r\n" +
               listed(cause.files) +
               "\r\nAnother program still has them open (a virus scanner checking them, say), so "
               "this backup did not start. Try again in a while, or choose another backup "
               "folder.\r\n\r\nNothing in " +
               cause.file + " was changed.";
    case BackupStep::CopyDatabaseFile:
    case BackupStep::ReplaceDatabaseCopy:
        return "The file " + cause.file + " could not be copied.\r\n\r\nFrom: " + cause.from +
               "\r\nTo: " + cause.to + "\r\nReason: " + reasonOf(cause) + ".\r\n\r\n" +
               (cause.step == BackupStep::CopyDatabaseFile
                    ? "Nothing in " + cause.folder +
                          " was changed; the earlier backup there is as it was."
                    : filesCopiedText(cause.copied, cause.total) + " to " + cause.folder +
                          "; the backup is not complete.");
    case BackupStep::ClearStaging:
        return "The staging folder " + shownStagingFolder(cause.file) +
               " still holds copies an earlier backup made and could not delete:\r\n" +
               listed(cause.files) +
               "\r\nAnother program still has them open (a virus scanner checking them, say), so "
               "this backup did not start. Try again in a while; the next backup deletes them "
               "first.\r\n\r\n" +
               notWritten;
    case BackupStep::StagingNamesInTheWay:
        return "The staging folder " + shownStagingFolder(cause.file) +
               " already holds files named like the database files:\r\n" + listed(cause.files) +
               "\r\nThe backup would replace them and then delete them, so it did not start. Move "
               "them elsewhere, or set another staging drive in defaultdrive.ini in the program "
               "folder (" +
               settings + "), then try again.\r\n\r\n" + notWritten;
    case BackupStep::MakeStagingFolder:
        return "The staging folder " + shownStagingFolder(cause.file) +
               " could not be created.\r\nReason: " + stagingReason(*cause.error) +
               ".\r\n\r\nIts drive comes from defaultdrive.ini in the program folder (" + settings +
               "), which should hold one drive letter, such as C.\r\n\r\n" + notWritten;
    case BackupStep::StageDatabaseFile:
        return "The file " + cause.file +
               " could not be copied to the staging folder.\r\n\r\nFrom: " + cause.from +
               "\r\nTo: " + cause.to + "\r\nReason: " + reasonOf(cause) + ".\r\n\r\n" + notWritten;
    case BackupStep::WriteListFile:
        return "The list file " + cause.file +
               " could not be written.\r\nReason: " + reasonOf(cause) + ".\r\n\r\n" + notWritten;
    case BackupStep::Encrypt:
        return notWritten + "\r\nReason: " + kCannotEncryptReason + ".";
    case BackupStep::PackArchive:
        return notWritten + "\r\nReason: " + archiveReason(cause) + ".";
    case BackupStep::MakeGenerationFolder:
        return "The folder " + cause.file +
               " for the new backup could not be created.\r\nReason: " + reasonOf(cause) + ".";
    case BackupStep::RenameGeneration:
        return "The copies in " + cause.from + " could not be renamed to " + cause.to +
               ".\r\nReason: " + reasonOf(cause) + ".\r\n\r\nThe backup is not complete.";
    case BackupStep::DeleteOlderBackups:
        return "The backup " + result.written +
               " was written, but older backups could not all be deleted to keep " +
               std::to_string(cause.keep) + ".\r\n\r\nThe older backup " + cause.file +
               " could not be deleted.\r\nReason: " + reasonOf(cause) + ".";
    case BackupStep::WaitForOtherBackup:
        return anotherBackupText(cause.waitMilliseconds);
    case BackupStep::None:
        break;
    }
    return {};
}

// What pruning older generations did, a line each.
std::vector<ReportLine> pruningLines(const Pruning& pruning) {
    std::vector<ReportLine> lines;
    if (pruning.newer)
        lines.push_back({"No older backup was deleted: " + *pruning.newer +
                             " is newer than this one. The computer's clock may be behind; check "
                             "its date and time. Until it is right, every backup here is kept.",
                         true});
    for (const std::string& path : pruning.deleted)
        lines.push_back({"Deleted the older backup " + path});
    for (const KeptGeneration& kept : pruning.kept)
        lines.push_back({"Kept the older backup " + kept.path +
                         (kept.link ? ", which is a junction or symbolic link to another folder; "
                                      "Chathoard does not delete through it"
                                    : ", which holds files that Chathoard did not write")});
    return lines;
}

} // namespace

BackupMessage backupMessage(const BackupJob& job, const BackupResult& result) {
    BackupMessage message;
    const bool zip = job.kind == BackupKind::Zip;
    switch (result.outcome) {
    case BackupOutcome::Done:
    case BackupOutcome::CleanUpIncomplete:
        message.lines = pruningLines(result.pruning);
        message.warning = result.pruning.newer.has_value();
        if (result.outcome == BackupOutcome::CleanUpIncomplete) {
            // The archive is complete and in place: the title must not call the backup failed.
            message.title = kCleanUpIncompleteTitle;
            message.text = "The archive " + result.written +
                           " was written, but the backup's temporary files could not all be "
                           "removed.\r\n\r\n" +
                           leftOverText(result.leftOvers);
            message.warning = true;
        } else {
            message.title = kDoneTitle;
            message.text =
                kCompletionWords + result.written +
                (zip ? "\r\n\r\nYou can unzip the files by using Winzip or pkunzip.exe" : "\r\n");
        }
        break;
    case BackupOutcome::Cancelled:
        message.title = kBackupCancelledTitle;
        message.text = std::string(zip ? "The ZIP Backup" : "The Normal Backup") +
                       " was cancelled. Nothing in " + job.destination + " was changed.";
        if (!result.leftOvers.empty()) {
            message.text += "\r\n\r\n" + leftOverText(result.leftOvers);
            message.warning = true;
        }
        break;
    default:
        message.warning = true;
        if (result.outcome == BackupOutcome::AnotherBackupRunning) {
            message.title = kAnotherBackupTitle;
            message.text = anotherBackupText(result.cause ? result.cause->waitMilliseconds : 0);
            break;
        }
        message.title = kBackupFailedTitle;
        message.text = result.cause ? failureText(job, result, *result.cause) : std::string();
        if (!result.leftOvers.empty())
            message.text += "\r\n\r\n" + leftOverText(result.leftOvers);
        break;
    }
    return message;
}

} // namespace ch
