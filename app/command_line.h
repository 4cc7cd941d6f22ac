#pragma once
// Scheduled backups: "chathoard.exe /normal|/zip <messenger folder> <destination folder>" runs
// the same backup code as the buttons without a window and exits with a code a scheduler can
// read. Every message the backup would show in a box becomes one output line and one
// timestamped entry in chathoard.log in the program folder.
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "backup/backup_common.h"
#include "platform/backup_lock.h"
#include "platform/file_system.h"
#include "platform/services.h"

namespace ch {

enum ExitCode : int {
    exitDone = 0,
    exitNoMessengerDatabase = 1,
    exitBackupFailed = 2,
    exitBadArguments = 3,
    exitAnotherBackupRunning = 5,
};

enum class BackupKind { Normal, Zip };

struct CommandLine {
    bool showUsage = false;
    BackupKind kind = BackupKind::Normal;
    std::string messengerFolder;
    std::string destinationFolder;
};

// nullopt when the arguments are not understood (exit code 3, usage shown).
std::optional<CommandLine> parseCommandLine(const std::vector<std::string>& args);

std::string usageText();

int exitCodeFor(BackupOutcome outcome);

// Where the command line's messages go: a line of text and whether it reports a problem.
using OutputLine = std::function<void(const std::string& line, bool isProblem)>;
// The local time as "YYYY-MM-DD HH:MM:SS" for log entries.
using Clock = std::function<std::string()>;

// Message boxes of a run without a window: each becomes one output line and one log entry.
// A box asking to retry is answered with Cancel, so nothing waits for a user.
class ConsoleDialogs : public Dialogs {
public:
    ConsoleDialogs(FileSystem& fs, std::string logPath, OutputLine out, Clock clock)
        : fs_(fs), logPath_(std::move(logPath)), out_(std::move(out)), clock_(std::move(clock)) {}
    int msgBox(const std::string& prompt, int style,
               const std::optional<std::string>& title) override;
    // Writes a line that no box would have shown (start and end of a run).
    void report(const std::string& line, bool isProblem);

private:
    FileSystem& fs_;
    std::string logPath_;
    OutputLine out_;
    Clock clock_;
};

// Runs the command line given as args (without the program name); returns the exit code.
int runCommandLine(const std::vector<std::string>& args, AppObject& App, FileSystem& fs,
                   Archiver& archiver, BackupLock& lock, const OutputLine& out,
                   const Clock& clock);

} // namespace ch
