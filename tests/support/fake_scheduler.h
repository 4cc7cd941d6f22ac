#pragma once
// A Scheduler that keeps the task in memory, as the Task Scheduler would hold it, and can play
// a scheduler that cannot be reached.
#include <optional>

#include "platform/runtime_error.h"
#include "platform/scheduler.h"

namespace ch::test {

class FakeScheduler : public Scheduler {
  public:
    std::optional<ScheduledTask> task;
    TaskRunInfo info;
    // Every call fails with this text, as when the scheduler's service is not running.
    std::optional<std::string> unreachable;
    int saves = 0;

    std::optional<ScheduledTask> read() override {
        reach();
        return task;
    }
    void save(const ScheduledTask& t) override {
        reach();
        task = t;
        ++saves;
    }
    void remove() override {
        reach();
        task.reset();
    }
    TaskRunInfo runInfo() override {
        reach();
        return task ? info : TaskRunInfo{};
    }

  private:
    void reach() const {
        if (unreachable)
            throw RuntimeError(errPermissionDenied, *unreachable);
    }
};

} // namespace ch::test
