#pragma once
// Scheduled backups: "chathoard.exe /normal|/zip <messenger folder> <destination folder>" runs
// the same backup as the buttons without a window and exits with a code a scheduler can read.
// Every message the window would show in a box becomes one output line and one timestamped
// entry in chathoard.log in the program folder.
#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "backup/backup_job.h"
#include "backup/wait_for_database.h"
#include "platform/backup_lock.h"
#include "platform/file_system.h"
#include "platform/services.h"

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

int exitCodeFor(BackupOutcome outcome);

// Where the command line's messages go: a line of text and whether it reports a problem.
using OutputLine = std::function<void(const std::string& line, bool isProblem)>;
// The local time as "YYYY-MM-DD HH:MM:SS" for log entries.
using Clock = std::function<std::string()>;

// Where a run without a window says what it has to say: each line goes to out and, with the
// time, to the log.
class Console {
  public:
    Console(FileSystem& fs, std::string logPath, OutputLine out, Clock clock)
        : fs_(fs), logPath_(std::move(logPath)), out_(std::move(out)), clock_(std::move(clock)) {}
    void report(const std::string& line, bool isProblem);
    // What the window would show in a box: on one line, after its title in brackets.
    void message(const std::string& text, const std::optional<std::string>& title, bool isProblem);
    // Appends a line to the log only.
    void log(const std::string& line);

  private:
    FileSystem& fs_;
    std::string logPath_;
    OutputLine out_;
    Clock clock_;
    bool logFailed_ = false;
};

// What a run in a console window may have besides its lines: where its one progress line goes
// (empty when the output is redirected: a file or a pipe gets no progress), and the flag that
// Ctrl+C sets to cancel the run as the window's Cancel does.
struct RunControl {
    std::function<void(const std::string& text)> progress; // never logged
    const std::atomic<bool>* cancel = nullptr;
    // One line typed for /password, after prompt (masked in a console; no prompt when
    // standard input is redirected); nullopt at the end of the input. Never logged.
    std::function<std::optional<std::string>(const std::string& prompt)> readPassword;
};

// "Copying Messages.dat (3 of 12), 41%": the progress line's text for a report.
std::string progressLineText(const WorkProgress& progress);

// The console's one progress line, which rewrites itself: show writes a carriage return and the
// text, padded with blanks over a longer text before it; clear blanks it (and returns to its
// start) before an ordinary line is printed. write gets the characters as they go out.
class ProgressLine {
  public:
    explicit ProgressLine(std::function<void(const std::string&)> write)
        : write_(std::move(write)) {}
    void show(const std::string& text);
    void clear();

  private:
    std::function<void(const std::string&)> write_;
    std::string shown_;
};

// chathoard.log in the program folder, where every command-line run appends its lines.
std::string logPathOf(const AppObject& App);

// Runs the command line given as args (without the program name); returns the exit code. Its
// messages go to out and the log; the services a window alone uses (dialogs, shell, registry,
// processes, forms, file picker) are not called. waiting is the time that /wait and
// a new generation's name wait by; control the progress line and Ctrl+C.
int runCommandLine(const std::vector<std::string>& args, const Services& s, const OutputLine& out,
                   const Clock& clock, const Waiting& waiting = Waiting::real(),
                   const RunControl& control = {});

} // namespace ch
