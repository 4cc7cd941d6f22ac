#include "app/frm_schedule.h"

#include <cstdio>

#include "app/command_line_args.h"
#include "app/command_line_console.h"
#include "platform/ansi_path.h"
#include "platform/runtime_error.h"

namespace ch {

namespace {

std::string quoted(const std::string& path) {
    // A quoted folder must not end in a backslash: "\"" would be read as a quote.
    std::string p = path;
    while (p.size() > 3 && p.back() == '\\')
        p.pop_back();
    return "\"" + p + "\"";
}

std::string twoDigits(int n) {
    char text[8];
    std::snprintf(text, sizeof text, "%02d", n);
    return text;
}

// "02:00" or "2:00" as hour and minute.
bool parseTime(const std::string& text, int& hour, int& minute) {
    unsigned h = 0, m = 0;
    char end = 0;
    if (std::sscanf(text.c_str(), "%u:%u%c", &h, &m, &end) != 2 || h > 23 || m > 59)
        return false;
    hour = static_cast<int>(h);
    minute = static_cast<int>(m);
    return true;
}

// A whole number from first to last, or nullopt.
std::optional<int> numberIn(const std::string& text, int first, int last) {
    if (text.empty() || text.size() > 4 ||
        text.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    const int n = std::stoi(text);
    return n >= first && n <= last ? std::optional<int>(n) : std::nullopt;
}

} // namespace

std::string scheduledArguments(const ScheduleChoice& choice) {
    std::string args = choice.kind == BackupKind::Zip ? "/zip " : "/normal ";
    args += quoted(choice.from) + " " + quoted(choice.to);
    if (choice.keep > 1)
        args += " /keep:" + std::to_string(choice.keep);
    if (choice.waitMinutes > 0)
        args += " /wait:" + std::to_string(choice.waitMinutes);
    if (choice.encrypted)
        args += " /encrypt";
    return args;
}

std::optional<ScheduleChoice> choiceOfTask(const ScheduledTask& task) {
    std::vector<std::string> args = commandLineArguments("x " + task.arguments);
    bool encrypted = false;
    for (auto it = args.begin(); it != args.end();)
        if (equalNoCase(*it, "/encrypt") || equalNoCase(*it, "-encrypt")) {
            encrypted = true;
            it = args.erase(it);
        } else {
            ++it;
        }
    const auto parsed = parseCommandLine(args);
    if (!parsed || parsed->showUsage || parsed->command != Command::Backup)
        return std::nullopt;
    ScheduleChoice choice;
    choice.kind = parsed->kind;
    choice.from = parsed->messengerFolder;
    choice.to = parsed->destinationFolder;
    choice.schedule = task.schedule;
    choice.keep = parsed->keep.value_or(1);
    choice.waitMinutes = parsed->waitMinutes;
    choice.encrypted = encrypted;
    return choice;
}

ScheduledTask taskOf(const std::string& program, const ScheduleChoice& choice) {
    ScheduledTask task;
    task.program = program;
    task.arguments = scheduledArguments(choice);
    task.workingFolder = parentFolderOf(program, [](unsigned char) { return false; });
    task.schedule = choice.schedule;
    return task;
}

std::string manualScheduleCommand(const std::string& program, const ScheduleChoice& choice) {
    std::string when;
    const TaskSchedule& s = choice.schedule;
    const std::string at = " /ST " + twoDigits(s.hour) + ":" + twoDigits(s.minute);
    if (s.when == TaskWhen::AtLogOn) {
        when = "/SC ONLOGON";
    } else if (s.when == TaskWhen::Daily) {
        when = "/SC DAILY" + at;
    } else {
        static const char* const names[7] = {"SUN", "MON", "TUE", "WED", "THU", "FRI", "SAT"};
        std::string days;
        for (int i = 0; i < 7; ++i)
            if (s.days & (1u << i)) {
                if (!days.empty())
                    days += ',';
                days += names[i];
            }
        when = "/SC WEEKLY /D " + days + at;
    }
    // Inside /TR every quote of the command is escaped with a backslash.
    std::string command = quoted(program) + " " + scheduledArguments(choice);
    std::string escaped;
    for (char ch : command) {
        if (ch == '"')
            escaped += '\\';
        escaped += ch;
    }
    return "schtasks /Create /TN \"Chathoard backup\" " + when + " /TR \"" + escaped + "\"";
}

std::optional<LoggedRun> lastLoggedRun(const std::string& logText) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < logText.size()) {
        size_t end = logText.find('\n', start);
        if (end == std::string::npos)
            end = logText.size();
        std::string line = logText.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty())
            lines.push_back(line);
        start = end + 1;
    }
    for (size_t i = lines.size(); i-- > 0;)
        if (lines[i].find("  Finished with exit code ") != std::string::npos)
            return LoggedRun{lines[i], i > 0 ? lines[i - 1] : std::string()};
    return std::nullopt;
}

std::string lastRunText(const TaskRunInfo& info, const std::optional<LoggedRun>& logged) {
    std::string text;
    if (info.running)
        text = "Running now.";
    else if (!info.lastRun)
        text = "Not run yet.";
    else
        text = "Last run " + *info.lastRun +
               (info.exitCode ? ", exit code " + std::to_string(*info.exitCode) : "") + ".";
    if (info.nextRun)
        text += " Next run " + *info.nextRun + ".";
    if (logged)
        text += "\r\nThe log's last run: " + logged->why + "\r\n" + logged->finished;
    return text;
}

// --- The window's handlers -----------------------------------------------------------------

FrmSchedule::FrmSchedule(Scheduler& scheduler, const Services& s, std::string program,
                         ScheduleChoice defaults, std::function<bool()> passwordStored)
    : scheduler_(scheduler), s_(s), program_(std::move(program)), defaults_(std::move(defaults)),
      passwordStored_(std::move(passwordStored)) {}

void FrmSchedule::show(const ScheduleChoice& choice) {
    kindIndex = choice.kind == BackupKind::Zip ? 0 : 1;
    txtFrom.setText(choice.from);
    txtTo.setText(choice.to);
    whenIndex = static_cast<int>(choice.schedule.when);
    txtTime.setText(twoDigits(choice.schedule.hour) + ":" + twoDigits(choice.schedule.minute));
    days = choice.schedule.days;
    txtKeep.setText(std::to_string(choice.keep));
    txtWait.setText(std::to_string(choice.waitMinutes));
    encrypted = choice.encrypted;
}

void FrmSchedule::unreachable(const std::string& why, const ScheduleChoice& choice) {
    status = "The Task Scheduler cannot be reached: " + why +
             "\r\nTo schedule this backup by hand, run this command:";
    manualCommand = manualScheduleCommand(program_, choice);
}

void FrmSchedule::load() {
    loaded = true;
    Caption = frmScheduleDesign().caption;
    encryptedEnabled = passwordStored_ && passwordStored_();
    manualCommand.clear();
    lastRun.clear();
    removeEnabled = false;
    try {
        const std::optional<ScheduledTask> task = scheduler_.read();
        const std::optional<ScheduleChoice> choice = task ? choiceOfTask(*task) : std::nullopt;
        show(choice.value_or(defaults_));
        if (!task) {
            status = "No backup is scheduled. OK schedules this one.";
            return;
        }
        removeEnabled = true;
        status = choice ? "This backup is scheduled as shown. OK keeps your changes; Remove "
                          "ends the schedule."
                        : "A scheduled task of this name runs: " + task->program + " " +
                              task->arguments + "\r\nOK replaces it with the backup shown.";
        std::optional<LoggedRun> logged;
        bestEffort([&] { logged = lastLoggedRun(s_.fs.readAll(logPathOf(s_.App))); });
        lastRun = lastRunText(scheduler_.runInfo(), logged);
    } catch (const RuntimeError& e) {
        show(defaults_);
        unreachable(e.description(), defaults_);
    }
}

std::optional<ScheduleChoice> FrmSchedule::choiceOfFields() {
    const auto wrong = [&](const std::string& text) {
        s_.dialogs.msgBox(text, vbExclamation, frmScheduleDesign().caption);
        return std::nullopt;
    };
    ScheduleChoice c;
    c.kind = kindIndex == 1 ? BackupKind::Normal : BackupKind::Zip;
    c.from = txtFrom.Text();
    c.to = txtTo.Text();
    if (c.from.empty())
        return wrong("Give the ICQ folder to back up under \"From\".");
    if (c.to.empty())
        return wrong("Give the folder to back up into under \"To\": a folder or a network "
                     "share such as \\\\server\\share\\backups.");
    if (pathRootLength(c.from, s_.codePage.leadByteTest()) < 3 ||
        pathRootLength(c.to, s_.codePage.leadByteTest()) < 3)
        return wrong("Give full paths under \"From\" and \"To\" (C:\\ICQ, \\\\server\\share): a "
                     "scheduled backup does not start where you are now.");
    c.schedule.when = static_cast<TaskWhen>(whenIndex < 0 || whenIndex > 2 ? 0 : whenIndex);
    c.schedule.days = days & kEveryWeekday;
    if (c.schedule.when != TaskWhen::AtLogOn &&
        !parseTime(txtTime.Text(), c.schedule.hour, c.schedule.minute))
        return wrong("The time " + txtTime.Text() + " is not a time of day: give it as 02:00.");
    if (c.schedule.when == TaskWhen::AtLogOn)
        c.schedule.hour = c.schedule.minute = 0;
    if (c.schedule.when == TaskWhen::Weekdays && c.schedule.days == 0)
        return wrong("Tick at least one day for the backup.");
    if (c.schedule.when != TaskWhen::Weekdays)
        c.schedule.days = TaskSchedule{}.days; // the days belong to the weekly choice alone
    const auto keep = numberIn(txtKeep.Text(), 1, 999);
    if (!keep)
        return wrong("Keep 1 to 999 backups: 1 keeps one, replaced each time.");
    c.keep = *keep;
    const auto wait = numberIn(txtWait.Text(), 0, 1440);
    if (!wait)
        return wrong("Wait 0 to 1440 minutes for ICQ to close: 0 does not wait.");
    c.waitMinutes = *wait;
    c.encrypted = encrypted && encryptedEnabled;
    return c;
}

void FrmSchedule::cmdOK_Click() {
    const std::optional<ScheduleChoice> choice = choiceOfFields();
    if (!choice)
        return;
    try {
        const ScheduledTask wanted = taskOf(program_, *choice);
        scheduler_.save(wanted);
        // What counts is what the scheduler holds: the window shows that from now on.
        const auto held = scheduler_.read();
        if (!held || held->arguments != wanted.arguments || held->schedule != wanted.schedule)
            throw RuntimeError(errDeviceIO, "the task read back differs from the one set");
    } catch (const RuntimeError& e) {
        unreachable(e.description(), *choice);
        s_.dialogs.msgBox("The backup could not be scheduled: " + e.description() +
                              "\r\n\r\nThe window shows a command that schedules it by hand.",
                          vbExclamation, frmScheduleDesign().caption);
        return;
    }
    unload();
}

void FrmSchedule::cmdRemove_Click() {
    if (s_.dialogs.msgBox("Remove the scheduled backup? Backups made so far are kept.",
                          vbOKCancel | vbQuestion | vbDefaultButton2,
                          frmScheduleDesign().caption) != vbOK)
        return;
    try {
        scheduler_.remove();
    } catch (const RuntimeError& e) {
        s_.dialogs.msgBox("The scheduled backup could not be removed: " + e.description(),
                          vbExclamation, frmScheduleDesign().caption);
        return;
    }
    unload();
}

void FrmSchedule::cmdLog_Click() {
    const std::string log = logPathOf(s_.App);
    if (!s_.fs.fileExists(log)) {
        s_.dialogs.msgBox("There is no log yet: " + log +
                              " is written by the first backup from the command line.",
                          vbInformation, frmScheduleDesign().caption);
        return;
    }
    const ShellOutcome opened = s_.shell.open(s_.runtime.form1Handle(), log);
    if (!opened.opened)
        s_.dialogs.msgBox("The log " + log + " could not be opened (reason " +
                              std::to_string(opened.reason) + ").",
                          vbExclamation, frmScheduleDesign().caption);
}

} // namespace ch
