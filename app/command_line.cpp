#include "app/command_line.h"

#include <cctype>

#include "app/restore_command_line.h"
#include "app/startup.h"
#include "backup/generations.h"
#include "backup/one_at_a_time.h"
#include "backup/restore.h"
#include "platform/controls.h"
#include "platform/runtime_error.h"
#include "selection/folder_detection.h"

namespace ch {
namespace {

bool isSwitch(const std::string& arg) {
    return arg.size() >= 2 && (arg[0] == '/' || arg[0] == '-');
}

// A box's prompt on one line: line breaks become single spaces.
std::string oneLine(const std::string& text) {
    std::string line;
    for (char c : text) {
        if (c == '\r' || c == '\n') {
            if (!line.empty() && line.back() != ' ')
                line += ' ';
        } else {
            line += c;
        }
    }
    while (!line.empty() && line.back() == ' ')
        line.pop_back();
    return line;
}

// The arguments as they could be typed again: quoted where blank or empty.
std::string shownArguments(const std::vector<std::string>& args) {
    std::string text;
    for (const std::string& arg : args) {
        const bool quote = arg.empty() || arg.find_first_of(" \t") != std::string::npos;
        text += (text.empty() ? "" : " ") + (quote ? "\"" + arg + "\"" : arg);
    }
    return text;
}

// A whole number from low to high written in digits alone.
std::optional<int> numberIn(const std::string& text, int low, int high) {
    if (text.empty() || text.size() > 4)
        return std::nullopt;
    for (char c : text)
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return std::nullopt;
    const int n = std::stoi(text);
    if (n < low || n > high)
        return std::nullopt;
    return n;
}

// Takes "/keep:N" and "/wait[:minutes]" out of args into cl; false when one is malformed or
// given twice.
bool takeBackupOptions(std::vector<std::string>& args, CommandLine& cl) {
    bool waitSeen = false;
    for (auto it = args.begin(); it != args.end();) {
        const std::string name = isSwitch(*it) ? lowerCase(it->substr(1)) : std::string();
        if (name.rfind("keep:", 0) == 0) {
            if (cl.keep)
                return false;
            cl.keep = numberIn(name.substr(5), kMinGenerations, kMaxGenerations);
            if (!cl.keep)
                return false;
        } else if (name == "wait" || name.rfind("wait:", 0) == 0) {
            if (waitSeen)
                return false;
            waitSeen = true;
            const auto minutes = name == "wait" ? std::optional<int>(kDefaultWaitMinutes)
                                                : numberIn(name.substr(5), 1, kMaxWaitMinutes);
            if (!minutes)
                return false;
            cl.waitMinutes = *minutes;
        } else {
            ++it;
            continue;
        }
        it = args.erase(it);
    }
    return true;
}

// The folder a folder list would show for spec, which must exist.
std::string openedFolder(FileSystem& fs, const std::string& spec) {
    const std::string folder = folderPathOf(fs, "", spec);
    fs.listFolders(folder);
    return folder;
}

} // namespace

std::string logPathOf(const AppObject& App) {
    return App.Path + "\\chathoard.log";
}

std::optional<CommandLine> parseCommandLine(const std::vector<std::string>& given) {
    CommandLine cl;
    if (given.size() == 1 && isSwitch(given[0])) {
        const std::string name = lowerCase(given[0].substr(1));
        cl.showUsage = name == "?" || name == "h" || name == "help";
        if (cl.showUsage)
            return cl;
    }
    std::vector<std::string> args = given;
    if (!takeBackupOptions(args, cl))
        return std::nullopt;
    if (args.size() != 3 || !isSwitch(args[0]))
        return std::nullopt;
    std::string name = lowerCase(args[0].substr(1));
    if (name == "normal")
        cl.kind = BackupKind::Normal;
    else if (name == "zip")
        cl.kind = BackupKind::Zip;
    else
        return std::nullopt;
    cl.messengerFolder = args[1];
    cl.destinationFolder = args[2];
    if (cl.messengerFolder.empty() || cl.destinationFolder.empty())
        return std::nullopt;
    return cl;
}

std::string usageText() {
    return "Backs up the messenger database without opening the window.\r\n"
           "\r\n"
           "  chathoard /normal \"<messenger folder>\" \"<destination folder>\" [/keep:N] "
           "[/wait[:M]]\r\n"
           "  chathoard /zip \"<messenger folder>\" \"<destination folder>\" [/keep:N] "
           "[/wait[:M]]\r\n"
           "  chathoard /verify \"<backup>\" [\"<messenger folder>\"]\r\n"
           "  chathoard /restore \"<backup>\" \"<messenger folder>\"\r\n"
           "  chathoard /?     (or /help, -h) shows this text\r\n"
           "\r\n"
           "  /normal  copies every *.dat and *.idx file of the folder's db subfolder\r\n"
           "  /zip     packs them into chathoard.zip in the destination folder\r\n"
           "  /keep:N  keeps N backups (1 to 999): each run writes a new one, named after\r\n"
           "           its local time (chathoard-YYYY-MM-DD-HHMMSS.zip, or a subfolder\r\n"
           "           YYYY-MM-DD-HHMMSS with /normal), then deletes the oldest of them\r\n"
           "  /wait:M  while a database file is in use, waits up to M minutes (1 to 1440;\r\n"
           "           /wait alone: 30) for ICQ to close, looking again every 30 seconds\r\n"
           "  /verify  reads a backup (chathoard.zip or a folder of copies) through and\r\n"
           "           checks every file; with a messenger folder, also compares them\r\n"
           "           with its database\r\n"
           "  /restore checks the backup, then puts its files in place of the folder's\r\n"
           "           db subfolder; the old db is kept as db.before-restore-<date>\r\n"
           "\r\n"
           "Switches may start with / or - and are not case-sensitive.\r\n"
           "Messages are also appended to chathoard.log in the program folder.\r\n"
           "\r\n"
           "Exit codes: 0 backup done; 1 no messenger database in that folder;\r\n"
           "            2 backup failed (copy, staging or archive); 3 bad arguments;\r\n"
           "            4 the database stayed in use (ICQ is running);\r\n"
           "            5 another backup was running (this one waited " +
           std::to_string(kCommandLineLockWaitMs / 1000) +
           " seconds,\r\n"
           "            then did not start).\r\n"
           "/verify and /restore: 0 the backup is intact / was restored; 2 it is damaged\r\n"
           "or unreadable, or was not restored (the database is then unchanged); 4 the\r\n"
           "database is in use, 5 a backup was running (restore only).\r\n";
}

int exitCodeFor(BackupOutcome outcome) {
    switch (outcome) {
    case BackupOutcome::Done:
    case BackupOutcome::CleanUpIncomplete: // the backup is whole; its warning says what is left
        return exitDone;
    case BackupOutcome::NoMessengerFolder:
        return exitNoMessengerDatabase;
    case BackupOutcome::Failed:
    case BackupOutcome::Cancelled: // the command line's own code for it comes with its Ctrl+C
        return exitBackupFailed;
    case BackupOutcome::DatabaseInUse:
        return exitDatabaseInUse;
    case BackupOutcome::AnotherBackupRunning:
        return exitAnotherBackupRunning;
    }
    return exitBackupFailed;
}

void Console::message(const std::string& text, const std::optional<std::string>& title,
                      bool isProblem) {
    std::string line = oneLine(text);
    if (title && !title->empty())
        line = "[" + *title + "] " + line;
    report(line, isProblem);
}

void Console::report(const std::string& line, bool isProblem) {
    out_(line, isProblem);
    log(line);
}

void Console::log(const std::string& line) {
    // The log is a trace, not the backup: a log that cannot be written must not fail the run.
    // Each entry is appended, so a failure costs at most that entry, never the earlier runs';
    // after one failure the run stops trying, and says so once.
    if (logFailed_)
        return;
    try {
        fs_.appendText(logPath_, clock_() + "  " + line + "\r\n");
    } catch (const RuntimeError& e) {
        logFailed_ = true;
        const std::string reason =
            isSharingViolation(e) ? "the file is in use by another program" : plainReason(e);
        out_("The log " + logPath_ + " could not be written (" + reason +
                 "); the rest of this run is not logged, its earlier entries are kept.",
             true);
    }
}

namespace {

int runCommandLineSteps(const std::vector<std::string>& args, const Services& s,
                        const OutputLine& out, const Clock& clock, const Waiting& waiting) {
    if (auto code = runBackupCheckCommand(args, s, out, clock))
        return *code;
    Console console(s.fs, logPathOf(s.App), out, clock);
    auto parsed = parseCommandLine(args);
    if (!parsed) {
        console.report("The arguments were not understood: " + shownArguments(args), true);
        out(usageText(), true);
        console.log("Finished with exit code " + std::to_string(exitBadArguments));
        return exitBadArguments;
    }
    if (parsed->showUsage) {
        out(usageText(), false);
        console.log("Usage shown");
        return exitDone;
    }
    const bool zip = parsed->kind == BackupKind::Zip;
    console.report(std::string(zip ? "ZIP" : "Normal") + " backup of " + parsed->messengerFolder +
                       " to " + parsed->destinationFolder,
                   false);

    BackupJob job;
    job.kind = parsed->kind;
    job.programFolder = s.App.Path;
    job.keep = parsed->keep;
    // A ZIP Backup starts as the window does: the archiving library initialised, the setting
    // read (or made) with its warnings. A Normal one only reads it, to know the staging folder
    // whose claims it settles.
    job.stagingDrive = zip ? loadStagingDrive(s.fs, s.archiver, s.App.Path,
                                              [&](const std::string& text,
                                                  const std::optional<std::string>& title) {
                                                  console.message(text, title, true);
                                              })
                           : readStagingDrive(s.fs, s.App.Path).value_or("");
    MessengerDatabase found;
    try {
        job.messengerFolder = openedFolder(s.fs, parsed->messengerFolder);
        found = findMessengerDatabase(s.fs, job.messengerFolder);
        // Nobody is there to answer the window's question: it is shown and left unanswered.
        if (const auto interrupted = interruptedRestore(s.fs, job.messengerFolder))
            console.message(interruptedRestoreText(*interrupted, job.messengerFolder, true),
                            kRestoreTitle, false);
    } catch (const RuntimeError& e) {
        console.report("The messenger folder " + parsed->messengerFolder +
                           " cannot be opened: " + e.description(),
                       true);
        return exitNoMessengerDatabase;
    }
    if (!found.found) {
        console.report("No messenger database (*.dat or *.idx files) in " +
                           databaseFolder(job.messengerFolder),
                       true);
        return exitNoMessengerDatabase;
    }
    job.databaseFiles = found.files;
    try {
        job.destination = openedFolder(s.fs, parsed->destinationFolder);
    } catch (const RuntimeError& e) {
        console.report("The destination folder " + parsed->destinationFolder +
                           " cannot be opened: " + e.description(),
                       true);
        return exitBackupFailed;
    }

    std::vector<std::string> database;
    for (const std::string& name : job.databaseFiles)
        database.push_back(databaseFile(job.messengerFolder, name));
    const auto report = [&](const std::string& line) { console.report(line, false); };
    // The database is waited for without the backup lock, which would hold up every other
    // backup and restore meanwhile. The lock is taken once it is free, and held from before the
    // first file is touched to the end (nothing here waits for anyone); ICQ may have started
    // during the lock's own wait, and then the waiting goes on within the same deadline.
    const int64_t deadline = waiting.elapsedSeconds() + int64_t{parsed->waitMinutes} * 60;
    const ReleaseAtEnd held{s.backupLock};
    for (;;) {
        if (auto inUse = waitForDatabase(s.fs, database, deadline, waiting, report)) {
            console.report(databaseInUseText(*inUse, parsed->waitMinutes), true);
            console.report("Finished with exit code " + std::to_string(exitDatabaseInUse), true);
            return exitDatabaseInUse;
        }
        if (!s.backupLock.acquire(kCommandLineLockWaitMs)) {
            console.message(anotherBackupText(kCommandLineLockWaitMs), kAnotherBackupTitle, true);
            console.report("Finished with exit code " + std::to_string(exitAnotherBackupRunning),
                           true);
            return exitAnotherBackupRunning;
        }
        if (!firstFileInUse(s.fs, database))
            break;
        s.backupLock.release();
    }

    if (job.keep)
        job.stamp = newGenerationStamp(s.fs, job.destination, zip, clock, waiting.sleep);
    const BackupResult result = runBackup(job, {s.fs, s.archiver});
    console.message(result.text, result.title, result.warning);
    const BackupOutcome outcome = result.outcome;
    const int code = exitCodeFor(outcome);
    // ICQ started during the run and a copy met its database open.
    if (outcome == BackupOutcome::DatabaseInUse)
        if (auto inUse = firstFileInUse(s.fs, database))
            console.report(databaseInUseText(*inUse, 0), true);
    console.report("Finished with exit code " + std::to_string(code), code != exitDone);
    return code;
}

} // namespace

int runCommandLine(const std::vector<std::string>& args, const Services& s, const OutputLine& out,
                   const Clock& clock, const Waiting& waiting) {
    // Whatever escapes the steps (out of memory, a fault of the program's own) still ends the
    // run with a message, a log entry and an exit code that means "not done", never an abort.
    std::string what;
    try {
        return runCommandLineSteps(args, s, out, clock, waiting);
    } catch (const RuntimeError& e) {
        what = e.description();
    } catch (const std::exception& e) {
        what = e.what();
    } catch (...) {
        what = "an unknown fault";
    }
    try {
        Console console(s.fs, logPathOf(s.App), out, clock);
        console.report("Chathoard stopped on an internal error: " + what + ".", true);
        console.report("Finished with exit code " + std::to_string(exitBackupFailed), true);
    } catch (...) {
        // The exit code is all that is left to say it.
    }
    return exitBackupFailed;
}

} // namespace ch
