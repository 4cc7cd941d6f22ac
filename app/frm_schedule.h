#pragma once
// File > Schedule backups...: one backup task for the current user, set from a window of its
// own. The window shows the task as the scheduler holds it (read back, never a copy of our
// own), changes it or removes it, and tells how it last ran. The Win32 layer renders it from
// frmScheduleDesign() and copies its controls to and from the fields below.
#include <functional>
#include <optional>
#include <string>

#include "backup/backup_job.h"
#include "platform/controls.h"
#include "platform/form_design.h"
#include "platform/forms_runtime.h"
#include "platform/scheduler.h"
#include "platform/services.h"

namespace ch {

const FormDesign& frmScheduleDesign();

// The entries of the window's two drop-down lists, in order.
extern const char* const kScheduleKinds[2]; // ZIP Backup, Normal Backup
extern const char* const kScheduleWhens[3]; // every day, on chosen days, at log-on
// The day check boxes' names, Monday first as the window shows them, and the day each is.
struct DayBox {
    const char* name;
    unsigned day;
};
extern const DayBox kDayBoxes[7];

// What the window sets: the backup and when it runs.
struct ScheduleChoice {
    BackupKind kind = BackupKind::Zip;
    std::string from; // the messenger folder
    std::string to;   // the backup folder: a local folder or \\server\share\...
    TaskSchedule schedule;
    int keep = 1;           // 1: one backup, replaced each time; 2..999: generations
    int waitMinutes = 30;   // 0: do not wait for ICQ to close
    bool encrypted = false; // offered once a password for encrypted backups is stored

    bool operator==(const ScheduleChoice&) const = default;
};

// The backup's switches: /zip "C:\ICQ" "\\nas\backups" /keep:7 /wait:30.
std::string scheduledArguments(const ScheduleChoice& choice);
// The choice a task stands for; nullopt when its arguments are not a backup's (a task changed
// by hand into something else).
std::optional<ScheduleChoice> choiceOfTask(const ScheduledTask& task);
// The task that runs program (chathoard.exe, started in its own folder) as choice says.
ScheduledTask taskOf(const std::string& program, const ScheduleChoice& choice);
// A command that sets the same task by hand, for when the scheduler cannot be reached.
std::string manualScheduleCommand(const std::string& program, const ScheduleChoice& choice);

// The last run that chathoard.log tells of: its "Finished with exit code N" line and the line
// before it, which says why; both with their times. Empty when the log holds no run.
struct LoggedRun {
    std::string finished; // "2026-12-07 02:00:14  Finished with exit code 0"
    std::string why;      // the line before it
};
std::optional<LoggedRun> lastLoggedRun(const std::string& logText);
// The window's "Last run" text from the scheduler and the log.
std::string lastRunText(const TaskRunInfo& info, const std::optional<LoggedRun>& logged);

class FrmSchedule : public ModalForm {
  public:
    // scheduler: the system's; program: the installed chathoard.exe; defaults: the choice for
    // a new task (Dir1's and Dir2's folders). passwordStored says whether encrypted backups
    // can be offered.
    FrmSchedule(Scheduler& scheduler, const Services& s, std::string program,
                ScheduleChoice defaults, std::function<bool()> passwordStored = {});

    bool loaded = false;
    std::string Caption;
    // The fields the window shows and edits; the view copies them to its controls on load and
    // back before a button's handler runs.
    int kindIndex = 0;
    TextBox txtFrom, txtTo, txtTime, txtKeep, txtWait;
    int whenIndex = 0;
    unsigned days = 0;
    bool encrypted = false;
    bool encryptedEnabled = false;
    // Read only: how the task stands, its last run, and, when the scheduler cannot be reached,
    // why and the command to schedule by hand.
    std::string status;
    std::string lastRun;
    std::string manualCommand; // empty while the scheduler answers
    bool removeEnabled = false;

    bool isLoaded() const override { return loaded; }
    // Reads the task back (or the defaults for a new one) and how it last ran.
    void load() override;
    void unload() { loaded = false; }
    // Registers (or changes) the task and reads it back; stays open and says why on failure.
    void cmdOK_Click();
    void cmdRemove_Click();
    void cmdCancel_Click() { unload(); }
    void cmdLog_Click();
    // The choice the fields hold, or nullopt after saying which field is wrong.
    std::optional<ScheduleChoice> choiceOfFields();

  private:
    void show(const ScheduleChoice& choice);
    void unreachable(const std::string& why, const ScheduleChoice& choice);

    Scheduler& scheduler_;
    const Services& s_;
    std::string program_;
    ScheduleChoice defaults_;
    std::function<bool()> passwordStored_;
};

} // namespace ch
