#pragma once
// Where a run without a window speaks: its lines on the console and in chathoard.log, and the
// console's one progress line.
#include <functional>
#include <optional>
#include <string>

#include "platform/file_system.h"
#include "platform/services.h"
#include "platform/work_progress.h"

namespace ch {

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

} // namespace ch
