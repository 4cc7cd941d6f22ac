#pragma once
// What a command line asks for: its arguments as Windows hands them over, the switches read
// from them, the usage text, and the exit codes a run ends with.
#include <optional>
#include <string>
#include <vector>

#include "backup/backup_job.h"

namespace ch {

enum ExitCode : int {
    exitDone = 0,
    exitNoMessengerDatabase = 1,
    exitBackupFailed = 2,
    exitBadArguments = 3,
    exitDatabaseInUse = 4,
    exitAnotherBackupRunning = 5,
    exitCancelled = 6,
    exitPassword = 7,
};

enum class Command { Backup, Verify, Restore, SetPassword, RemovePassword };

struct CommandLine {
    bool showUsage = false;
    Command command = Command::Backup;
    BackupKind kind = BackupKind::Normal;
    std::string messengerFolder; // empty for a /verify without one
    std::string destinationFolder;
    std::string backup;      // what /verify and /restore read
    std::optional<int> keep; // /keep:N, generations to keep
    int waitMinutes = 0;     // /wait[:minutes]; 0 without it
    bool encrypt = false;    // /encrypt: the ZIP Backup with the stored password
};

// Why a command line is not understood: the argument at fault, as given, and what is wrong
// with it ("/keep:1000", "keep 1 to 999 backups").
struct ArgumentProblem {
    std::string argument;
    std::string reason;
    std::string text() const;
};

// The arguments of a whole command line (as GetCommandLineA gives it), the program name left
// out. Double quotes group words as the C runtime's do, but a backslash before a closing quote
// ends a folder ("E:\") instead of escaping the quote, which the runtime would hand over as
// E:" with the next argument run into it: a Windows path never holds a quote.
std::vector<std::string> commandLineArguments(const std::string& commandLine);

// nullopt when the arguments are not understood (exit code 3); problem then says why.
std::optional<CommandLine> parseCommandLine(const std::vector<std::string>& args,
                                            ArgumentProblem* problem = nullptr);

// What a run says after a bad argument, on the line after the problem.
extern const char* const kSeeUsage;

std::string usageText();

} // namespace ch
