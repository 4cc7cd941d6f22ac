#pragma once
#include <string>

#include "platform/scheduler.h"

namespace ch {

// The Task Scheduler's 1.0 interface (ITaskScheduler, ITask; mstask.dll). It is on every
// Windows the program runs on, and Wine implements it whole: it writes a .job file under
// windows\tasks and reads the command, arguments, working folder and triggers back from it.
// The 2.0 interface (ITaskService) is newer, but Wine's registers a task without its triggers
// and actions, so nothing set through it could be read back there.
//
// The task is named "Chathoard backup (<user>)", one per user. 1.0 has no setting for making
// up a missed run (2.0's StartWhenAvailable); a daily task missed while the computer was off
// simply runs at its next time.
class Win32Scheduler : public Scheduler {
  public:
    std::optional<ScheduledTask> read() override;
    void save(const ScheduledTask& task) override;
    void remove() override;
    TaskRunInfo runInfo() override;

    // The task's name in the scheduler (and of its .job file) for the current user.
    static std::wstring taskName();
};

} // namespace ch
