#include "platform/win32/win32_scheduler.h"

#include <windows.h>
// After windows.h, which it needs.
#include <mstask.h>

#include <cstdio>

#include "platform/runtime_error.h"
#include "platform/win32/win32_text.h"

namespace ch {
namespace {

// The scheduler's own codes, which the SDK headers of the toolchain lack.
constexpr HRESULT kTaskRunning = 0x00041301; // SCHED_S_TASK_RUNNING
constexpr HRESULT kServiceNotRunning = static_cast<HRESULT>(0x80041315);

// Holds one reference of a COM interface.
template <class T> class ComRef {
  public:
    ComRef() = default;
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;
    ~ComRef() {
        if (p_)
            p_->Release();
    }
    T** out() { return &p_; }
    T* operator->() const { return p_; }
    T* get() const { return p_; }

  private:
    T* p_ = nullptr;
};

// COM for the length of one call, on whatever thread makes it.
class ComScope {
  public:
    ComScope() : hr_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;
    ~ComScope() {
        if (SUCCEEDED(hr_))
            CoUninitialize();
    }

  private:
    HRESULT hr_;
};

[[noreturn]] void fail(const std::string& what, HRESULT hr) {
    char code[16];
    std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(hr));
    const std::string reason = hr == kServiceNotRunning
                                   ? "the Task Scheduler service is not running"
                                   : systemMessage(static_cast<unsigned long>(hr));
    throw RuntimeError(errPermissionDenied, what + ": " + reason + " (" + code + ")",
                       static_cast<unsigned long>(hr));
}

void check(HRESULT hr, const char* what) {
    if (FAILED(hr))
        fail(what, hr);
}

void connect(ComRef<ITaskScheduler>& scheduler) {
    check(CoCreateInstance(CLSID_CTaskScheduler, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskScheduler,
                           reinterpret_cast<void**>(scheduler.out())),
          "The Task Scheduler cannot be reached");
}

bool isMissing(HRESULT hr) {
    return hr == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) ||
           hr == HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
}

// The task, or false when there is none.
bool activate(ITaskScheduler* scheduler, ComRef<ITask>& task) {
    const HRESULT hr = scheduler->Activate(Win32Scheduler::taskName().c_str(), IID_ITask,
                                           reinterpret_cast<IUnknown**>(task.out()));
    if (isMissing(hr))
        return false;
    check(hr, "The scheduled backup cannot be read");
    return true;
}

// A string the scheduler allocated, handed back to it.
std::string taken(LPWSTR text) {
    if (!text)
        return {};
    std::string s = toAnsi(text);
    CoTaskMemFree(text);
    return s;
}

std::string localTime(const SYSTEMTIME& t) {
    char text[32];
    std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u", t.wYear, t.wMonth, t.wDay, t.wHour,
                  t.wMinute);
    return text;
}

TASK_TRIGGER triggerOf(const TaskSchedule& schedule) {
    TASK_TRIGGER t = {};
    t.cbTriggerSize = sizeof t;
    SYSTEMTIME today;
    GetLocalTime(&today);
    t.wBeginYear = today.wYear;
    t.wBeginMonth = today.wMonth;
    t.wBeginDay = today.wDay;
    t.wStartHour = static_cast<WORD>(schedule.hour);
    t.wStartMinute = static_cast<WORD>(schedule.minute);
    switch (schedule.when) {
    case TaskWhen::Daily:
        t.TriggerType = TASK_TIME_TRIGGER_DAILY;
        t.Type.Daily.DaysInterval = 1;
        break;
    case TaskWhen::Weekdays:
        t.TriggerType = TASK_TIME_TRIGGER_WEEKLY;
        t.Type.Weekly.WeeksInterval = 1;
        t.Type.Weekly.rgfDaysOfTheWeek = static_cast<WORD>(schedule.days & kEveryWeekday);
        break;
    case TaskWhen::AtLogOn:
        t.TriggerType = TASK_EVENT_TRIGGER_AT_LOGON;
        t.wStartHour = 0;
        t.wStartMinute = 0;
        break;
    }
    return t;
}

TaskSchedule scheduleOf(const TASK_TRIGGER& t) {
    TaskSchedule s;
    s.hour = t.wStartHour;
    s.minute = t.wStartMinute;
    if (t.TriggerType == TASK_TIME_TRIGGER_WEEKLY) {
        s.when = TaskWhen::Weekdays;
        s.days = t.Type.Weekly.rgfDaysOfTheWeek & kEveryWeekday;
    } else if (t.TriggerType == TASK_EVENT_TRIGGER_AT_LOGON) {
        s.when = TaskWhen::AtLogOn;
        s.hour = 0;
        s.minute = 0;
    }
    return s;
}

} // namespace

std::wstring Win32Scheduler::taskName() {
    wchar_t user[257] = {};
    DWORD size = 257;
    if (!GetUserNameW(user, &size))
        user[0] = 0;
    return std::wstring(L"Chathoard backup (") + user + L")";
}

std::optional<ScheduledTask> Win32Scheduler::read() {
    ComScope com;
    ComRef<ITaskScheduler> scheduler;
    connect(scheduler);
    ComRef<ITask> task;
    if (!activate(scheduler.get(), task))
        return std::nullopt;
    ScheduledTask out;
    LPWSTR text = nullptr;
    check(task->GetApplicationName(&text), "The scheduled backup's program cannot be read");
    out.program = taken(text);
    text = nullptr;
    check(task->GetParameters(&text), "The scheduled backup's arguments cannot be read");
    out.arguments = taken(text);
    text = nullptr;
    check(task->GetWorkingDirectory(&text), "The scheduled backup's folder cannot be read");
    out.workingFolder = taken(text);
    WORD triggers = 0;
    check(task->GetTriggerCount(&triggers), "The scheduled backup's times cannot be read");
    if (triggers > 0) {
        ComRef<ITaskTrigger> trigger;
        check(task->GetTrigger(0, trigger.out()), "The scheduled backup's time cannot be read");
        TASK_TRIGGER t = {};
        t.cbTriggerSize = sizeof t;
        check(trigger->GetTrigger(&t), "The scheduled backup's time cannot be read");
        out.schedule = scheduleOf(t);
    }
    return out;
}

void Win32Scheduler::save(const ScheduledTask& wanted) {
    ComScope com;
    ComRef<ITaskScheduler> scheduler;
    connect(scheduler);
    const std::wstring name = taskName();
    // A task is replaced whole, so that no trigger of the old one survives a change.
    const HRESULT deleted = scheduler->Delete(name.c_str());
    if (FAILED(deleted) && !isMissing(deleted))
        fail("The scheduled backup cannot be replaced", deleted);
    ComRef<ITask> task;
    check(scheduler->NewWorkItem(name.c_str(), CLSID_CTask, IID_ITask,
                                 reinterpret_cast<IUnknown**>(task.out())),
          "The scheduled backup cannot be made");
    const char* setting = "The scheduled backup cannot be set";
    check(task->SetApplicationName(toWide(wanted.program).c_str()), setting);
    check(task->SetParameters(toWide(wanted.arguments).c_str()), setting);
    check(task->SetWorkingDirectory(toWide(wanted.workingFolder).c_str()), setting);
    check(task->SetComment(L"Backs up the ICQ database with Chathoard."), setting);
    // As the user who sets it and only while that user is logged on: no password is stored.
    check(task->SetFlags(TASK_FLAG_RUN_ONLY_IF_LOGGED_ON), setting);
    wchar_t user[257] = {};
    DWORD size = 257;
    if (GetUserNameW(user, &size)) {
        const HRESULT account = task->SetAccountInformation(user, nullptr);
        if (FAILED(account) && account != E_NOTIMPL)
            fail(setting, account);
    }
    WORD index = 0;
    ComRef<ITaskTrigger> trigger;
    check(task->CreateTrigger(&index, trigger.out()), setting);
    TASK_TRIGGER t = triggerOf(wanted.schedule);
    check(trigger->SetTrigger(&t), setting);
    ComRef<IPersistFile> file;
    check(task->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.out())), setting);
    check(file->Save(nullptr, TRUE), "The scheduled backup cannot be saved");
}

void Win32Scheduler::remove() {
    ComScope com;
    ComRef<ITaskScheduler> scheduler;
    connect(scheduler);
    const HRESULT hr = scheduler->Delete(taskName().c_str());
    if (FAILED(hr) && !isMissing(hr))
        fail("The scheduled backup cannot be removed", hr);
}

TaskRunInfo Win32Scheduler::runInfo() {
    ComScope com;
    ComRef<ITaskScheduler> scheduler;
    connect(scheduler);
    ComRef<ITask> task;
    TaskRunInfo info;
    if (!activate(scheduler.get(), task))
        return info;
    SYSTEMTIME t = {};
    if (task->GetMostRecentRunTime(&t) == S_OK && t.wYear != 0)
        info.lastRun = localTime(t);
    DWORD code = 0;
    if (task->GetExitCode(&code) == S_OK && info.lastRun)
        info.exitCode = code;
    HRESULT status = S_OK;
    if (SUCCEEDED(task->GetStatus(&status)))
        info.running = status == kTaskRunning;
    SYSTEMTIME next = {};
    if (task->GetNextRunTime(&next) == S_OK && next.wYear != 0)
        info.nextRun = localTime(next);
    return info;
}

} // namespace ch
