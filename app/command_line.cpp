#include "app/command_line.h"

#include "app/backup_command_line.h"
#include "app/backup_messages.h"
#include "app/password_command_line.h"
#include "app/restore_command_line.h"
#include "backup/backup_common.h"
#include "backup/database_detection.h"
#include "platform/runtime_error.h"

namespace ch {
namespace {

// A path of the command line as Windows reads it from the working folder (a scheduled task's
// "Start in"), in the form the folder lists keep: "ICQ" run in C:\ is C:\ICQ.
std::string fullPathOf(FileSystem& fs, const CodePage& codePage, const std::string& arg) {
    return normalFolderPath("C:\\", fs.fullPath(arg), codePage.leadByteTest());
}

int runCommandLineSteps(const std::vector<std::string>& args, const CommandLineServices& s,
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
        code = runBackupCommand(*parsed, s, console, clock, waiting, work);
    }
    console.report("Finished with exit code " + std::to_string(code), code != exitDone);
    return code;
}

} // namespace

int runCommandLine(const std::vector<std::string>& args, const CommandLineServices& s,
                   const OutputLine& out, const Clock& clock, const Waiting& waiting,
                   const RunControl& control) {
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
