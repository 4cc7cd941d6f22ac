#include "app/restore_command_line.h"

#include "backup/one_at_a_time.h"
#include "backup/restore.h"
#include "backup/verify.h"
#include "platform/runtime_error.h"
#include "selection/folder_detection.h"

namespace ch {
namespace {

std::string switchName(const std::string& arg) {
    if (arg.size() < 2 || (arg[0] != '/' && arg[0] != '-'))
        return {};
    std::string name = arg.substr(1);
    for (char& c : name)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return name;
}

// The messenger folder above folder when folder holds database files but no db subfolder.
std::optional<std::string> databaseFolderGivenAsMessengerFolder(FileSystem& fs,
                                                                const std::string& folder) {
    std::vector<std::string> files;
    bestEffort([&] { files = fs.listFiles(folder, kDatabasePatterns); });
    if (files.empty() || fs.folderExists(databaseFolder(folder)))
        return std::nullopt;
    std::string trimmed = folder;
    while (trimmed.size() > 3 && trimmed.back() == '\\')
        trimmed.pop_back();
    const size_t cut = lastSeparator(trimmed, "\\", fs.leadByteTest());
    if (cut == std::string::npos)
        return std::string("the folder above it");
    return trimmed.substr(0, cut == 2 && trimmed[1] == ':' ? 3 : cut);
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

std::optional<int> runBackupCheckCommand(const std::vector<std::string>& args, const Services& s,
                                         const OutputLine& out, const Clock& clock) {
    FileSystem& fs = s.fs;
    if (args.empty())
        return std::nullopt;
    const std::string name = switchName(args[0]);
    if (name != "verify" && name != "restore")
        return std::nullopt;
    const bool verify = name == "verify";
    const bool countOk = verify ? (args.size() == 2 || args.size() == 3) : args.size() == 3;
    bool badArg = false;
    for (size_t i = 1; i < args.size(); ++i)
        badArg = badArg || args[i].empty() || !switchName(args[i]).empty();
    // Wrong arguments go the way of every other bad command line: reported, logged, exit 3.
    // A switch ("/wait") is never taken for a backup or a folder.
    if (!countOk || badArg)
        return std::nullopt;
    Console console(fs, logPathOf(s.App), out, clock);

    if (verify) {
        const std::optional<std::string> messenger =
            args.size() == 3 ? std::optional<std::string>(args[2]) : std::nullopt;
        console.report(
            "Checking the backup " + args[1] +
                (messenger ? " against the database in " + databaseFolder(*messenger) : ""),
            false);
        if (messenger)
            reportInterruptedRestore(console, fs, *messenger);
        const VerifyReport report = verifyBackup(fs, args[1], messenger);
        for (size_t i = 0; i < report.lines.size(); ++i)
            console.report(report.lines[i], !report.intact && i + 1 == report.lines.size());
        const int code = report.intact ? exitDone : exitBackupFailed;
        console.report("Finished with exit code " + std::to_string(code), code != exitDone);
        return code;
    }

    console.report("Restoring the backup " + args[1] + " into " + databaseFolder(args[2]), false);
    reportInterruptedRestore(console, fs, args[2]);
    int code = exitBackupFailed;
    if (!fs.folderExists(args[2])) {
        console.report("The messenger folder " + args[2] + " does not exist. Nothing was changed.",
                       true);
    } else if (const auto parent = databaseFolderGivenAsMessengerFolder(fs, args[2])) {
        // Restoring into it would make a db inside the database folder, beside the files.
        console.report("The folder " + args[2] + " holds database files itself: it is a " +
                           "database folder, not a messenger folder. Did you mean " + *parent +
                           "? Nothing was changed.",
                       true);
        code = exitBadArguments;
    } else {
        const CheckedBackup backup = checkBackup(fs, args[1]);
        if (backup.intact()) {
            for (const BackupFile& f : backup.files)
                console.report("  " + f.name + " (" + std::to_string(f.size) + " bytes)", false);
        }
        const auto report = restoreAlone(s.backupLock, kCommandLineLockWaitMs, fs, backup, args[2],
                                         restoreStamp(clock()));
        if (!report) {
            console.message(backupRunningText(kCommandLineLockWaitMs), kRestoreFailedTitle, true);
            code = exitAnotherBackupRunning;
        } else {
            const bool done = report->outcome == RestoreOutcome::Done;
            reportLines(console, report->text, !done);
            code = done ? exitDone : report->databaseInUse ? exitDatabaseInUse : exitBackupFailed;
        }
    }
    console.report("Finished with exit code " + std::to_string(code), code != exitDone);
    return code;
}

} // namespace ch
