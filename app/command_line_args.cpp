#include "app/command_line_args.h"

#include <algorithm>
#include <cctype>

#include "backup/generations.h"
#include "backup/one_at_a_time.h"
#include "backup/wait_for_database.h"
#include "platform/file_system.h"

namespace ch {
namespace {

bool isSwitch(const std::string& arg) {
    return arg.size() >= 2 && (arg[0] == '/' || arg[0] == '-');
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

} // namespace

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

} // namespace ch
