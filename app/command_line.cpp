#include "app/command_line.h"

#include <cctype>

#include "app/restore_command_line.h"
#include "app/startup.h"
#include "backup/normal_backup.h"
#include "backup/zip_backup.h"
#include "platform/controls.h"
#include "platform/runtime_error.h"
#include "selection/folder_detection.h"

namespace ch {
namespace {

std::string lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

bool isSwitch(const std::string& arg) { return arg.size() >= 2 && (arg[0] == '/' || arg[0] == '-'); }

// A box's prompt on one line: line breaks become single spaces.
std::string oneLine(const std::string& text) {
    std::string line;
    for (char c : text) {
        if (c == '\r' || c == '\n') {
            if (!line.empty() && line.back() != ' ') line += ' ';
        } else {
            line += c;
        }
    }
    while (!line.empty() && line.back() == ' ') line.pop_back();
    return line;
}

bool isProblemStyle(int style) {
    int icon = style & 0x70;
    return icon == vbCritical || icon == vbExclamation;
}

std::string logPathOf(const AppObject& App) { return App.Path + "\\chathoard.log"; }

} // namespace

std::optional<CommandLine> parseCommandLine(const std::vector<std::string>& args) {
    CommandLine cl;
    if (args.size() == 1 && (args[0] == "/?" || args[0] == "-?")) {
        cl.showUsage = true;
        return cl;
    }
    if (args.size() != 3 || !isSwitch(args[0])) return std::nullopt;
    std::string name = lower(args[0].substr(1));
    if (name == "normal")
        cl.kind = BackupKind::Normal;
    else if (name == "zip")
        cl.kind = BackupKind::Zip;
    else
        return std::nullopt;
    cl.messengerFolder = args[1];
    cl.destinationFolder = args[2];
    if (cl.messengerFolder.empty() || cl.destinationFolder.empty()) return std::nullopt;
    return cl;
}

std::string usageText() {
    return "Backs up the messenger database without opening the window.\r\n"
           "\r\n"
           "  chathoard /normal \"<messenger folder>\" \"<destination folder>\"\r\n"
           "  chathoard /zip \"<messenger folder>\" \"<destination folder>\"\r\n"
           "  chathoard /verify \"<backup>\" [\"<messenger folder>\"]\r\n"
           "  chathoard /restore \"<backup>\" \"<messenger folder>\"\r\n"
           "\r\n"
           "  /normal  copies every *.dat and *.idx file of the folder's db subfolder\r\n"
           "  /zip     packs them into chathoard.zip in the destination folder\r\n"
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
           "            2 backup failed (copy, staging or archive); 3 bad arguments.\r\n"
           "/verify and /restore: 0 the backup is intact / was restored; 2 it is damaged\r\n"
           "or unreadable, or was not restored (the database is then unchanged).\r\n";
}

int exitCodeFor(BackupOutcome outcome) {
    switch (outcome) {
    case BackupOutcome::Done: return exitDone;
    case BackupOutcome::NoMessengerFolder: return exitNoMessengerDatabase;
    case BackupOutcome::Failed: return exitBackupFailed;
    }
    return exitBackupFailed;
}

int ConsoleDialogs::msgBox(const std::string& prompt, int style,
                           const std::optional<std::string>& title) {
    std::string line = oneLine(prompt);
    if (title && !title->empty()) line = "[" + *title + "] " + line;
    report(line, isProblemStyle(style));
    return (style & 0x0F) == vbRetryCancel ? vbCancel : vbOK;
}

void ConsoleDialogs::report(const std::string& line, bool isProblem) {
    out_(line, isProblem);
    // The log is a trace, not the backup: a log that cannot be written must not fail the run.
    try {
        std::string log;
        try {
            log = fs_.readAll(logPath_);
        } catch (const RuntimeError& e) {
            if (e.number() != errFileNotFound) throw;
        }
        fs_.writeAll(logPath_, log + clock_() + "  " + line + "\r\n");
    } catch (const RuntimeError& e) {
        out_("The log " + logPath_ + " could not be written: " + e.description(), true);
    }
}

int runCommandLine(const std::vector<std::string>& args, AppObject& App, FileSystem& fs,
                   Archiver& archiver, const OutputLine& out, const Clock& clock) {
    if (auto code = runBackupCheckCommand(args, App, fs, out, clock))
        return *code;
    auto parsed = parseCommandLine(args);
    if (!parsed || parsed->showUsage) {
        out(usageText(), !parsed);
        return parsed ? exitDone : exitBadArguments;
    }
    ConsoleDialogs dialogs(fs, logPathOf(App), out, clock);
    bool zip = parsed->kind == BackupKind::Zip;
    dialogs.report(std::string(zip ? "ZIP" : "Normal") + " backup of " + parsed->messengerFolder +
                       " to " + parsed->destinationFolder,
                   false);

    TextBox Text1;
    if (zip) Form_Load(Text1, App, fs, dialogs, archiver);

    // The same controls the window uses, so the folder is judged exactly as there.
    FolderList Dir1(fs), Dir2(fs);
    FileList File1(fs, "*.dat;*.idx");
    Label Label1(kNotFoundCaption);
    Dir1.Change = [&] { Dir1_Change(Dir1, File1, Label1); };
    try {
        Dir1.setPath(parsed->messengerFolder);
    } catch (const RuntimeError& e) {
        dialogs.report("The messenger folder " + parsed->messengerFolder +
                           " cannot be opened: " + e.description(),
                       true);
        return exitNoMessengerDatabase;
    }
    if (Label1.Caption() == kNotFoundCaption) {
        dialogs.report("No messenger database (*.dat or *.idx files) in " + Dir1.Path() + "\\db",
                       true);
        return exitNoMessengerDatabase;
    }
    try {
        Dir2.setPath(parsed->destinationFolder);
    } catch (const RuntimeError& e) {
        dialogs.report("The destination folder " + parsed->destinationFolder +
                           " cannot be opened: " + e.description(),
                       true);
        return exitBackupFailed;
    }

    BackupSources sources{Label1, File1, Dir1, Dir2};
    BackupOutcome outcome = zip ? Command1_Click(sources, DefaultDrive, App, fs, dialogs, archiver)
                                : Command2_Click(sources, fs, dialogs);
    int code = exitCodeFor(outcome);
    dialogs.report("Finished with exit code " + std::to_string(code), code != exitDone);
    return code;
}

} // namespace ch
