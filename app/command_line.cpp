#include "app/command_line.h"

#include "app/backup_messages.h"
#include "app/restore_messages.h"

#include <algorithm>
#include <cctype>

#include "app/password_command_line.h"
#include "app/restore_command_line.h"
#include "app/startup.h"
#include "backup/database_detection.h"
#include "backup/generations.h"
#include "backup/one_at_a_time.h"
#include "backup/restore.h"
#include "platform/folder_path.h"
#include "platform/runtime_error.h"

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

// An argument as the problem line shows it: an empty one as "".
std::string shown(const std::string& arg) {
    return arg.empty() ? "\"\"" : arg;
}

struct Refused {
    ArgumentProblem problem;
};

[[noreturn]] void refuse(const std::string& arg, const std::string& reason) {
    throw Refused{{shown(arg), reason}};
}

const char* const kCommands = "/normal, /zip, /verify or /restore";

// The switches and folders of a command line, each checked as it comes.
CommandLine parsedArguments(const std::vector<std::string>& args) {
    CommandLine cl;
    std::optional<std::string> command; // the switch as given
    std::vector<std::string> folders;
    std::string keepArg, waitArg;
    for (const std::string& arg : args) {
        if (!isSwitch(arg)) {
            if (!command)
                refuse(arg, std::string("the command line starts with ") + kCommands);
            if (arg.empty())
                refuse(arg, "an empty argument where a path belongs");
            folders.push_back(arg);
            continue;
        }
        const std::string name = lowerCase(arg.substr(1));
        if (name == "normal" || name == "zip" || name == "verify" || name == "restore") {
            if (command)
                refuse(arg, lowerCase(command->substr(1)) == name
                                ? "given twice"
                                : "give only one of " + std::string(kCommands));
            command = arg;
            cl.command = name == "verify"    ? Command::Verify
                         : name == "restore" ? Command::Restore
                                             : Command::Backup;
            cl.kind = name == "zip" ? BackupKind::Zip : BackupKind::Normal;
        } else if (name == "keep" || name.rfind("keep:", 0) == 0) {
            if (!keepArg.empty())
                refuse(arg, "/keep is given twice");
            keepArg = arg;
            cl.keep = numberIn(name.substr(std::min<size_t>(5, name.size())), kMinGenerations,
                               kMaxGenerations);
            if (!cl.keep)
                refuse(arg, "keep " + std::to_string(kMinGenerations) + " to " +
                                std::to_string(kMaxGenerations) + " backups");
        } else if (name == "wait" || name.rfind("wait:", 0) == 0) {
            if (!waitArg.empty())
                refuse(arg, "/wait is given twice");
            waitArg = arg;
            const auto minutes = name == "wait" ? std::optional<int>(kDefaultWaitMinutes)
                                                : numberIn(name.substr(5), 1, kMaxWaitMinutes);
            if (!minutes)
                refuse(arg, "wait 1 to " + std::to_string(kMaxWaitMinutes) + " minutes");
            cl.waitMinutes = *minutes;
        } else if (name == "encrypt") {
            if (cl.encrypt)
                refuse(arg, "given twice");
            cl.encrypt = true;
        } else if (name == "password" || name.rfind("password:", 0) == 0) {
            refuse(arg, name == "password" || name == "password:remove"
                            ? "give it alone"
                            : "a password is never given on the command line: give /password "
                              "alone and type it when asked");
        } else if (name == "?" || name == "h" || name == "help") {
            refuse(arg, "give it alone to see the usage");
        } else {
            refuse(arg, "not a switch of Chathoard");
        }
    }
    if (!command)
        refuse(args.empty() ? std::string() : args[0],
               std::string("the command line starts with ") + kCommands);
    if (cl.encrypt && (cl.command != Command::Backup || cl.kind != BackupKind::Zip))
        refuse("/encrypt", "only /zip encrypts");
    if (cl.command != Command::Backup) {
        if (!keepArg.empty())
            refuse(keepArg, "only /normal and /zip keep backups");
        if (!waitArg.empty())
            refuse(waitArg, "only /normal and /zip wait for the database");
    }
    const size_t least = cl.command == Command::Verify ? 1 : 2;
    const char* const wanted = cl.command == Command::Backup
                                   ? "give the messenger folder and the destination folder"
                               : cl.command == Command::Verify
                                   ? "give the backup, then the messenger folder if it is to be "
                                     "compared"
                                   : "give the backup and the messenger folder";
    if (folders.size() < least)
        refuse(*command, wanted);
    if (folders.size() > 2)
        refuse(folders[2], std::string("one argument too many: ") + *command + " takes two");
    if (cl.command == Command::Backup) {
        cl.messengerFolder = folders[0];
        cl.destinationFolder = folders[1];
    } else {
        cl.backup = folders[0];
        cl.messengerFolder = folders.size() > 1 ? folders[1] : std::string();
    }
    return cl;
}

// The folder a folder list would show for spec, which must exist.
std::string openedFolder(FileSystem& fs, const CodePage& codePage, const std::string& spec) {
    const std::string folder = folderPathOf(fs, codePage, "", spec);
    fs.listFolders(folder);
    return folder;
}

} // namespace

std::string logPathOf(const AppObject& App) {
    return App.Path + "\\chathoard.log";
}

const char* const kSeeUsage = "Type chathoard /? to see how the command line is written.";

std::string ArgumentProblem::text() const {
    return argument + ": " + reason;
}

std::optional<CommandLine> parseCommandLine(const std::vector<std::string>& given,
                                            ArgumentProblem* problem) {
    if (given.size() == 1 && isSwitch(given[0])) {
        const std::string name = lowerCase(given[0].substr(1));
        if (name == "?" || name == "h" || name == "help") {
            CommandLine cl;
            cl.showUsage = true;
            return cl;
        }
        if (name == "password" || name == "password:remove") {
            CommandLine cl;
            cl.command = name == "password" ? Command::SetPassword : Command::RemovePassword;
            return cl;
        }
    }
    try {
        return parsedArguments(given);
    } catch (const Refused& refused) {
        if (problem)
            *problem = refused.problem;
        return std::nullopt;
    }
}

std::string usageText() {
    return "Backs up the messenger database without opening the window.\r\n"
           "\r\n"
           "  chathoard /normal \"<messenger folder>\" \"<destination folder>\"\r\n"
           "                    [/keep:N] [/wait[:M]]\r\n"
           "  chathoard /zip \"<messenger folder>\" \"<destination folder>\"\r\n"
           "                 [/keep:N] [/wait[:M]]\r\n"
           "  chathoard /verify \"<backup>\" [\"<messenger folder>\"]\r\n"
           "  chathoard /restore \"<backup>\" \"<messenger folder>\"\r\n"
           "  chathoard /password    (or /password:remove)\r\n"
           "  chathoard /?     (or /help, -h) shows this text\r\n"
           "\r\n"
           "  /normal  copies every *.dat and *.idx file of the folder's db subfolder\r\n"
           "  /zip     packs them into chathoard.zip in the destination folder\r\n"
           "  /keep:N  keeps N backups (1 to 999): each run writes a new one, named after\r\n"
           "           its local time (chathoard-YYYY-MM-DD-HHMMSS.zip, or a subfolder\r\n"
           "           YYYY-MM-DD-HHMMSS with /normal), then deletes the oldest of them\r\n"
           "  /wait:M  while a database file is in use, waits up to M minutes (1 to 1440;\r\n"
           "           /wait alone: 30) for ICQ to close, looking again every 30 seconds\r\n"
           "  /verify  reads a backup (a ZIP archive, a folder of copies or one of its\r\n"
           "           files) through and checks every file; with a messenger folder,\r\n"
           "           also compares them with its database\r\n"
           "  /restore checks the backup, then puts its files in place of the folder's\r\n"
           "           db subfolder; the old db is kept as db.before-restore-<date>\r\n"
           "  /encrypt with /zip: encrypts the archive (AES-256) with the stored password;\r\n"
           "           /verify and /restore open encrypted archives with it\r\n"
           "  /password asks twice for the password and stores it for this Windows user\r\n"
           "           (from a redirected input: its first two lines); /password:remove\r\n"
           "           removes it. A password is never given on the command line.\r\n"
           "\r\n"
           "Switches may start with / or - and are not case-sensitive. A path that is\r\n"
           "not full (ICQ, ..\\Backups, \\Backups) is read from the working folder. A\r\n"
           "missing destination folder is made.\r\n"
           "Messages are also appended to chathoard.log in the program folder.\r\n"
           "\r\n"
           "Exit codes: 0 backup done; 1 no messenger database in that folder;\r\n"
           "            2 backup failed (copy, staging or archive); 3 bad arguments;\r\n"
           "            4 the database stayed in use (ICQ is running);\r\n"
           "            5 another backup was running (this one waited " +
           std::to_string(kCommandLineLockWaitMs / 1000) +
           " seconds,\r\n"
           "            then did not start); 6 cancelled with Ctrl+C;\r\n"
           "            7 password: none stored for /encrypt, or an encrypted backup's is\r\n"
           "            missing or wrong (nothing was changed).\r\n"
           "/verify and /restore: 0 the backup is intact / was restored; 2 it is damaged,\r\n"
           "unreadable or not found, or was not restored (the database is unchanged); 4 the\r\n"
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
        return exitBackupFailed;
    case BackupOutcome::Cancelled:
        return exitCancelled;
    case BackupOutcome::DatabaseInUse:
        return exitDatabaseInUse;
    case BackupOutcome::AnotherBackupRunning:
        return exitAnotherBackupRunning;
    }
    return exitBackupFailed;
}

std::string progressLineText(const WorkProgress& p) {
    std::string text = workStageText(p);
    if (p.totalBytes > 0)
        text +=
            ", " + std::to_string(std::min<uint64_t>(p.doneBytes * 100 / p.totalBytes, 100)) + "%";
    return text;
}

void ProgressLine::show(const std::string& text) {
    if (text == shown_)
        return;
    const size_t blanks = shown_.size() > text.size() ? shown_.size() - text.size() : 0;
    std::string line(1, '\r');
    line += text;
    line.append(blanks, ' ');
    write_(line);
    shown_ = text;
}

void ProgressLine::clear() {
    if (shown_.empty())
        return;
    std::string blank(shown_.size() + 2, ' ');
    blank.front() = blank.back() = '\r';
    write_(blank);
    shown_.clear();
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

// A path of the command line as Windows reads it from the working folder (a scheduled task's
// "Start in"), in the form the folder lists keep: "ICQ" run in C:\ is C:\ICQ.
std::string fullPathOf(FileSystem& fs, const CodePage& codePage, const std::string& arg) {
    return normalFolderPath("C:\\", fs.fullPath(arg), codePage.leadByteTest());
}

// Why the drive or network share of an absolute path cannot be used, or nothing when it can.
std::optional<std::string> unavailableRoot(FileSystem& fs, const CodePage& codePage,
                                           const std::string& path) {
    if (isNetworkPath(path)) {
        std::string share = path.substr(0, pathRootLength(path, codePage.leadByteTest()));
        if (share.back() == '\\')
            share.pop_back();
        if (fs.folderExists(share))
            return std::nullopt;
        return "the network share " + share + " cannot be reached";
    }
    if (path.size() < 2 || path[1] != ':')
        return std::nullopt;
    try {
        fs.currentFolder(path[0]);
        return std::nullopt;
    } catch (const RuntimeError&) {
        return "drive " + path.substr(0, 2) +
               " is not available (a removable disk may be unplugged)";
    }
}

// The destination folder, made with any missing folders above it. False after saying why it
// cannot be used.
bool destinationReady(Console& console, FileSystem& fs, const CodePage& codePage,
                      const std::string& folder) {
    if (fs.folderExists(folder))
        return true;
    if (const auto why = unavailableRoot(fs, codePage, folder)) {
        console.report("The destination folder " + folder + " cannot be used: " + *why + ".", true);
        return false;
    }
    try {
        fs.makeFolderAndParents(folder);
    } catch (const RuntimeError& e) {
        console.report("The destination folder " + folder +
                           " does not exist and could not be created: " + plainReason(e) + ".",
                       true);
        return false;
    }
    console.report("Created the destination folder " + folder, false);
    return true;
}

// "3 files, 3.0 MB (3145728 bytes)".
std::string bytesText(uint64_t bytes) {
    const std::string exact = std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes");
    const std::string readable = sizeText(bytes);
    return readable == exact ? exact : readable + " (" + exact + ")";
}

// The one line a successful run ends with, before its exit code.
std::string summaryLine(FileSystem& fs, const BackupJob& job, const BackupResult& result,
                        int64_t seconds) {
    uint64_t bytes = 0;
    for (const std::string& name : job.databaseFiles)
        bestEffort([&] { bytes += fs.fileSize(databaseFile(job.messengerFolder, name)); });
    const size_t n = job.databaseFiles.size();
    std::string line =
        "Summary: " + std::to_string(n) + (n == 1 ? " file, " : " files, ") + bytesText(bytes);
    if (job.kind == BackupKind::Zip)
        bestEffort([&] { line += ", archive " + bytesText(fs.fileSize(result.written)); });
    return line + ", " + std::to_string(seconds) + (seconds == 1 ? " second" : " seconds") + ".";
}

// A backup's report: the box's text on one line, then each older backup deleted or kept (and
// the clock's warning) on a line of its own.
void reportResult(Console& console, const BackupJob& job, const BackupResult& result) {
    const BackupMessage message = backupMessage(job, result);
    console.message(message.text, message.title, message.warning);
    for (const ReportLine& line : message.lines)
        console.report(line.text, line.warning);
}

// What Ctrl+C before the backup began says: nothing was touched.
int cancelledBeforeStart(Console& console) {
    console.report("Cancelled (Ctrl+C) before the backup began; nothing was written.", true);
    return exitCancelled;
}

int runBackupSteps(const CommandLine& cl, const Services& s, Console& console, const Clock& clock,
                   const Waiting& given, const WorkControl& work) {
    // /wait's pauses end early on Ctrl+C, a second at a time.
    Waiting waiting = given;
    if (work.cancelRequested)
        waiting.sleep = [&given, &work](int seconds) {
            for (int i = 0; i < seconds && !work.cancelled(); ++i)
                given.sleep(1);
        };
    const bool zip = cl.kind == BackupKind::Zip;
    console.report(std::string(zip ? "ZIP" : "Normal") + " backup of " + cl.messengerFolder +
                       " to " + cl.destinationFolder,
                   false);

    BackupJob job;
    job.kind = cl.kind;
    if (cl.encrypt) {
        const std::optional<std::string> password = storedPassword(s, console);
        if (!password) {
            console.report(kNoStoredPasswordText, true);
            return exitPassword;
        }
        job.password = *password;
    }
    job.programFolder = s.App.Path;
    job.keep = cl.keep;
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
        job.messengerFolder = openedFolder(s.fs, s.codePage, cl.messengerFolder);
        found = findMessengerDatabase(s.fs, job.messengerFolder);
        // Nobody is there to answer the window's question: it is shown and left unanswered.
        if (const auto interrupted = interruptedRestore(s.fs, job.messengerFolder))
            console.message(interruptedRestoreText(*interrupted, job.messengerFolder, true),
                            kRestoreTitle, false);
    } catch (const RuntimeError& e) {
        console.report("The messenger folder " + cl.messengerFolder +
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
    job.destination = cl.destinationFolder;
    // Refused before the folder is made: a backup inside the database is never begun.
    if (const auto refused = destinationInsideDatabase(job, s.fs, s.codePage)) {
        reportResult(console, job, *refused);
        return exitCodeFor(refused->outcome);
    }
    if (!destinationReady(console, s.fs, s.codePage, cl.destinationFolder))
        return exitBackupFailed;
    try {
        job.destination = openedFolder(s.fs, s.codePage, cl.destinationFolder);
    } catch (const RuntimeError& e) {
        console.report("The destination folder " + cl.destinationFolder +
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
    const int64_t deadline = waiting.elapsedSeconds() + int64_t{cl.waitMinutes} * 60;
    const ReleaseAtEnd held{s.backupLock};
    for (;;) {
        auto inUse = waitForDatabase(s.fs, database, deadline, waiting, report, work);
        if (work.cancelled())
            return cancelledBeforeStart(console);
        if (inUse) {
            console.report(databaseInUseText(*inUse, cl.waitMinutes), true);
            return exitDatabaseInUse;
        }
        if (!s.backupLock.acquire(kCommandLineLockWaitMs, work.cancelRequested)) {
            if (work.cancelled())
                return cancelledBeforeStart(console);
            console.message(anotherBackupText(kCommandLineLockWaitMs), kAnotherBackupTitle, true);
            return exitAnotherBackupRunning;
        }
        if (!firstFileInUse(s.fs, database))
            break;
        s.backupLock.release();
    }

    if (work.cancelled())
        return cancelledBeforeStart(console);
    job.control = work;
    if (job.keep)
        job.stamp = newGenerationStamp(s.fs, job.destination, zip, clock, waiting.sleep);
    const int64_t started = waiting.elapsedSeconds();
    const BackupResult result = runBackup(job, {s.fs, s.archiver, s.codePage});
    reportResult(console, job, result);
    const BackupOutcome outcome = result.outcome;
    const int code = exitCodeFor(outcome);
    // ICQ started during the run and a copy met its database open.
    if (outcome == BackupOutcome::DatabaseInUse)
        if (auto inUse = firstFileInUse(s.fs, database))
            console.report(databaseInUseText(*inUse, 0), true);
    if (code == exitDone)
        console.report(summaryLine(s.fs, job, result, waiting.elapsedSeconds() - started), false);
    return code;
}

int runCommandLineSteps(const std::vector<std::string>& args, const Services& s,
                        const OutputLine& out, const Clock& clock, const Waiting& waiting,
                        const RunControl& control) {
    WorkControl work;
    work.cancelRequested = control.cancel;
    if (control.progress)
        work.report = [&control](const WorkProgress& p) { control.progress(progressLineText(p)); };
    Console console(s.fs, logPathOf(s.App), out, clock);
    ArgumentProblem problem;
    auto parsed = parseCommandLine(args, &problem);
    if (parsed && parsed->showUsage) {
        out(usageText(), false);
        console.log("Usage shown");
        return exitDone;
    }
    // Every path as Windows reads it from the working folder, before anything is said of it.
    if (parsed) {
        for (std::string* path :
             {&parsed->messengerFolder, &parsed->destinationFolder, &parsed->backup}) {
            if (path->empty())
                continue;
            try {
                *path = fullPathOf(s.fs, s.codePage, *path);
            } catch (const RuntimeError& e) {
                problem = {*path, "not a path Windows can read (" + plainReason(e) + ")"};
                parsed.reset();
                break;
            }
        }
    }
    int code = exitBadArguments;
    if (!parsed) {
        console.report(problem.text(), true);
        console.report(kSeeUsage, true);
    } else if (parsed->command == Command::Verify) {
        code = runVerifyCommand(*parsed, s, console, work);
    } else if (parsed->command == Command::Restore) {
        code = runRestoreCommand(*parsed, s, console, clock, work);
    } else if (parsed->command == Command::SetPassword ||
               parsed->command == Command::RemovePassword) {
        code = runPasswordCommand(*parsed, s, console, control.readPassword);
    } else {
        code = runBackupSteps(*parsed, s, console, clock, waiting, work);
    }
    console.report("Finished with exit code " + std::to_string(code), code != exitDone);
    return code;
}

} // namespace

int runCommandLine(const std::vector<std::string>& args, const Services& s, const OutputLine& out,
                   const Clock& clock, const Waiting& waiting, const RunControl& control) {
    // Whatever escapes the steps (out of memory, a fault of the program's own) still ends the
    // run with a message, a log entry and an exit code that means "not done", never an abort.
    std::string what;
    try {
        return runCommandLineSteps(args, s, out, clock, waiting, control);
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
