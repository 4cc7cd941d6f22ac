#include "app/command_line_console.h"

#include <algorithm>

#include "app/backup_messages.h"
#include "backup/backup_common.h"
#include "platform/runtime_error.h"

namespace ch {
namespace {

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

} // namespace

std::string logPathOf(const AppObject& App) {
    return App.Path + "\\chathoard.log";
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

} // namespace ch
