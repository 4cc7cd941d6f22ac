#include "app/restore_command_line.h"

#include "app/check_messages.h"
#include "app/password_command_line.h"
#include "app/restore_messages.h"
#include "backup/database_detection.h"
#include "backup/one_at_a_time.h"
#include "backup/restore.h"
#include "backup/verify.h"
#include "platform/runtime_error.h"

namespace ch {
namespace {

// The messenger folder above folder when folder holds database files but no db subfolder.
std::optional<std::string> databaseFolderGivenAsMessengerFolder(FileSystem& fs,
                                                                const CodePage& codePage,
                                                                const std::string& folder) {
    std::vector<std::string> files;
    bestEffort([&] { files = fs.listFiles(folder, kDatabasePatterns); });
    if (files.empty() || fs.folderExists(databaseFolder(folder)))
        return std::nullopt;
    std::string trimmed = folder;
    while (trimmed.size() > 3 && trimmed.back() == '\\')
        trimmed.pop_back();
    if (lastSeparator(trimmed, "\\", codePage.leadByteTest()) == std::string::npos)
        return std::string("the folder above it");
    return parentFolderOf(trimmed, codePage.leadByteTest());
}

// Says so when an earlier restore into the messenger folder did not finish; moves nothing.
void reportInterruptedRestore(Console& console, FileSystem& fs, const std::string& folder) {
    if (const auto found = interruptedRestore(fs, folder))
        console.report(interruptedRestoreText(*found, folder, false), true);
}

// Each line of a multi-line text as its own output line, blank lines dropped.
void reportLines(Console& console, const std::string& text, bool isProblem) {
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
            line.pop_back();
        if (!line.empty())
            console.report(line, isProblem);
        start = end + 1;
    }
}

} // namespace

int runVerifyCommand(const CommandLine& cl, const CommandLineServices& s, Console& console,
                     const WorkControl& work) {
    FileSystem& fs = s.fs;
    const std::string backup = backupToCheck(fs, s.codePage, cl.backup);
    const std::optional<std::string> messenger =
        cl.messengerFolder.empty() ? std::nullopt : std::optional<std::string>(cl.messengerFolder);
    console.report("Checking the backup " + backup +
                       (messenger ? " against the database in " + databaseFolder(*messenger) : ""),
                   false);
    if (messenger)
        reportInterruptedRestore(console, fs, *messenger);
    const VerifyReport report = verifyBackup(fs, s.codePage, backup, messenger, work,
                                             storedPassword(s, console).value_or(""));
    for (size_t i = 0; i < report.lines.size(); ++i)
        console.report(report.lines[i], !report.intact && i + 1 == report.lines.size());
    if (report.cancelled)
        return exitCancelled;
    if (report.intact)
        return exitDone;
    return report.passwordTrouble != CheckedBackup::PasswordTrouble::None ? exitPassword
                                                                          : exitBackupFailed;
}

int runRestoreCommand(const CommandLine& cl, const CommandLineServices& s, Console& console,
                      const Clock& clock, const WorkControl& work) {
    FileSystem& fs = s.fs;
    const std::string backupPath = backupOfPicked(fs, s.codePage, cl.backup);
    const std::string& messenger = cl.messengerFolder;
    console.report("Restoring the backup " + backupPath + " into " + databaseFolder(messenger),
                   false);
    reportInterruptedRestore(console, fs, messenger);
    if (!fs.folderExists(messenger)) {
        console.report(
            "The messenger folder " + messenger + " does not exist. Nothing was changed.", true);
        return exitBackupFailed;
    }
    if (const auto parent = databaseFolderGivenAsMessengerFolder(fs, s.codePage, messenger)) {
        // Restoring into it would make a db inside the database folder, beside the files.
        console.report("The folder " + messenger + " holds database files itself: it is a " +
                           "database folder, not a messenger folder. Did you mean " + *parent +
                           "? Nothing was changed.",
                       true);
        return exitBadArguments;
    }
    const CheckedBackup backup =
        checkBackup(fs, s.codePage, backupPath, work, storedPassword(s, console).value_or(""));
    if (backup.intact()) {
        for (const BackupFile& f : backup.files)
            console.report("  " + f.name + " (" + sizeText(f.size) + ")", false);
    }
    const auto report = restoreAlone(s.backupLock, kCommandLineLockWaitMs, fs, s.codePage, backup,
                                     messenger, restoreStamp(clock()), work);
    if (!report) {
        console.message(backupRunningText(kCommandLineLockWaitMs), kRestoreFailedTitle, true);
        return exitAnotherBackupRunning;
    }
    const bool done = report->outcome == RestoreOutcome::Done;
    reportLines(console, restoreReportText(backup, messenger, *report), !done);
    if (report->outcome == RestoreOutcome::Cancelled)
        return exitCancelled;
    if (!done && backup.passwordTrouble != CheckedBackup::PasswordTrouble::None)
        return exitPassword;
    return done ? exitDone : report->databaseInUse ? exitDatabaseInUse : exitBackupFailed;
}

} // namespace ch
