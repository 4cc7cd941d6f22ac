#pragma once
// The system's task scheduler, as far as the program needs it: one backup task for the current
// user, set, read back as the scheduler holds it, changed and removed, and how it last ran.
// Failures throw RuntimeError whose description says why in plain words (the scheduler's
// service not running, access refused ...).
#include <cstdint>
#include <optional>
#include <string>

namespace ch {

enum class TaskWhen {
    Daily,    // every day at a time
    Weekdays, // on chosen days of the week at a time
    AtLogOn,  // when the user logs on
};

// Days of the week as bits, as the Task Scheduler counts them: Sunday is bit 0.
enum : unsigned {
    kSunday = 1u << 0,
    kMonday = 1u << 1,
    kTuesday = 1u << 2,
    kWednesday = 1u << 3,
    kThursday = 1u << 4,
    kFriday = 1u << 5,
    kSaturday = 1u << 6,
    kEveryWeekday = 0x7Fu,
};

struct TaskSchedule {
    TaskWhen when = TaskWhen::Daily;
    int hour = 2; // 0..23, local time; not used at log-on
    int minute = 0;
    unsigned days = kMonday | kTuesday | kWednesday | kThursday | kFriday; // for Weekdays

    bool operator==(const TaskSchedule&) const = default;
};

// The task: a program with its arguments, started in a folder, when the schedule says. It runs
// as the user who set it, only while that user is logged on (no password is stored), and a run
// missed while the computer was off is made up when the scheduler allows it.
struct ScheduledTask {
    std::string program;       // full path
    std::string arguments;     // as one command-line text
    std::string workingFolder; // "Start in"
    TaskSchedule schedule;

    bool operator==(const ScheduledTask&) const = default;
};

// How the task last ran, as the scheduler tells it.
struct TaskRunInfo {
    std::optional<std::string> lastRun; // local time "YYYY-MM-DD HH:MM"; none: never ran
    std::optional<uint32_t> exitCode;   // the last run's exit code, when it ended
    bool running = false;
    std::optional<std::string> nextRun; // local time, when the scheduler knows one
};

class Scheduler {
  public:
    virtual ~Scheduler() = default;
    // The user's backup task as the scheduler holds it, or none.
    virtual std::optional<ScheduledTask> read() = 0;
    // Creates the task, or replaces it whole.
    virtual void save(const ScheduledTask& task) = 0;
    // Removes the task; nothing when there is none.
    virtual void remove() = 0;
    // How the task last ran; all empty when there is no task.
    virtual TaskRunInfo runInfo() = 0;
};

} // namespace ch
