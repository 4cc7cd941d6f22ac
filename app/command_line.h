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

#include "app/backup_command_line.h"
#include "app/command_line_args.h"
#include "app/command_line_console.h"
#include "app/command_line_services.h"
#include "backup/wait_for_database.h"

namespace ch {

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

// Runs the command line given as args (without the program name); returns the exit code. Its
// messages go to out and the log. waiting is the time that /wait and a new generation's name
// wait by; control the progress line and Ctrl+C.
int runCommandLine(const std::vector<std::string>& args, const CommandLineServices& s,
                   const OutputLine& out, const Clock& clock,
                   const Waiting& waiting = Waiting::real(), const RunControl& control = {});

} // namespace ch
