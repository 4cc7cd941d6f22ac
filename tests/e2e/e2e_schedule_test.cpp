// File > Schedule backups...: a task registered, read back, changed and removed through the
// window, checked each time in the .job file the Task Scheduler keeps under windows\tasks, read
// here by its published layout rather than through the scheduler.
#include <gtest/gtest.h>

#include <cstring>

#include "app/frm_schedule.h"
#include "platform/win32/gui_layout.h"
#include "tests/e2e/e2e_scenes.h"

namespace ch::e2e {
namespace {

// The parts of a .job file the test checks: the fixed section's flags, then from the variable
// section the command, its arguments, the working folder and the first trigger.
struct JobFile {
    uint32_t flags = 0;
    std::wstring program, arguments, folder;
    uint16_t triggers = 0;
    uint16_t hour = 0, minute = 0;
    uint32_t triggerType = 0;
    uint16_t days = 0; // a weekly trigger's days, Sunday bit 0
};

JobFile readJob(const std::string& bytes) {
    size_t at = 0;
    const auto u16 = [&] {
        uint16_t v;
        std::memcpy(&v, bytes.data() + at, 2);
        at += 2;
        return v;
    };
    const auto u32 = [&] {
        uint32_t v;
        std::memcpy(&v, bytes.data() + at, 4);
        at += 4;
        return v;
    };
    const auto text = [&] {
        const uint16_t chars = u16(); // with the terminating NUL
        std::wstring s;
        for (uint16_t i = 0; i < chars; ++i)
            s += static_cast<wchar_t>(u16());
        if (!s.empty() && s.back() == L'\0')
            s.pop_back();
        return s;
    };
    JobFile job;
    at = 48; // product and file version, UUID, offsets, retries, idle, priority, run time,
             // exit code, status
    job.flags = u32();
    at = 68; // past the last run's time: the variable section
    u16();   // running instances
    job.program = text();
    job.arguments = text();
    job.folder = text();
    text();      // author
    text();      // comment
    at += u16(); // user data
    at += u16(); // reserved data
    job.triggers = u16();
    if (job.triggers) {
        at += 2 + 2 + 6 + 6; // size, reserved, begin date, end date
        job.hour = u16();
        job.minute = u16();
        at += 4 + 4 + 4; // duration, interval, flags
        job.triggerType = u32();
        u16(); // weeks interval for a weekly trigger
        job.days = u16();
    }
    return job;
}

std::string jobPath() {
    char user[257] = {};
    DWORD size = sizeof user;
    GetUserNameA(user, &size);
    char windows[MAX_PATH] = {};
    GetWindowsDirectoryA(windows, MAX_PATH);
    return std::string(windows) + "\\Tasks\\Chathoard backup (" + user + ").job";
}

HWND scheduleControl(HWND window, const char* name) {
    const FormDesign& design = frmScheduleDesign();
    return GetDlgItem(window, gui::controlId(design, *design.find(name)));
}

HWND openSchedule(Program& program) {
    program.chooseMenu("mnuSchedule");
    return program.waitWindow("Chathoard.frmSchedule");
}

void press(HWND window, const char* button) {
    PostMessageA(scheduleControl(window, button), BM_CLICK, 0, 0);
}

TEST(ScheduleBackups, RegistersReadsBackChangesAndRemovesTheTask) {
    sampleMessenger();
    DeleteFileA(jobPath().c_str());
    Program program("schedule");
    HWND main = startWithSettings(program);
    ASSERT_TRUE(main);
    program.openFolder("Dir1", "ICQ");
    ASSERT_TRUE(program.waitLabel("ICQ Directory found !"));

    HWND window = openSchedule(program);
    ASSERT_TRUE(window);
    EXPECT_EQ(windowText(scheduleControl(window, "txtFrom")), "M:\\ICQ");
    SetWindowTextA(scheduleControl(window, "txtTo"), "\\\\nas\\backups");
    SetWindowTextA(scheduleControl(window, "txtKeep"), "7");
    SetWindowTextA(scheduleControl(window, "txtTime"), "02:00");
    press(window, "cmdOK");
    ASSERT_TRUE(waitFor([&] { return !IsWindow(window); }));

    ASSERT_TRUE(fileExists(jobPath())) << jobPath();
    JobFile job = readJob(readFile(jobPath()));
    EXPECT_EQ(job.program,
              std::wstring(program.folder().begin(), program.folder().end()) + L"\\chathoard.exe");
    EXPECT_EQ(job.arguments, L"/zip \"M:\\ICQ\" \"\\\\nas\\backups\" /keep:7 /wait:30");
    EXPECT_EQ(job.folder, std::wstring(program.folder().begin(), program.folder().end()));
    EXPECT_TRUE(job.flags & 0x2000) << "only while the user is logged on";
    EXPECT_EQ(job.triggers, 1);
    EXPECT_EQ(job.triggerType, 1u); // daily
    EXPECT_EQ(job.hour, 2);

    // Opened again, it shows the task as held; a later time changes it.
    window = openSchedule(program);
    ASSERT_TRUE(window);
    EXPECT_EQ(windowText(scheduleControl(window, "txtTo")), "\\\\nas\\backups");
    EXPECT_EQ(windowText(scheduleControl(window, "txtKeep")), "7");
    SetWindowTextA(scheduleControl(window, "txtTime"), "23:45");
    press(window, "cmdOK");
    ASSERT_TRUE(waitFor([&] { return !IsWindow(window); }));
    job = readJob(readFile(jobPath()));
    EXPECT_EQ(job.hour, 23);
    EXPECT_EQ(job.minute, 45);
    EXPECT_EQ(job.triggers, 1) << "the old time is gone";

    window = openSchedule(program);
    ASSERT_TRUE(window);
    press(window, "cmdRemove");
    const auto ask = program.waitMessageBox();
    ask.answer(IDOK);
    ASSERT_TRUE(waitFor([&] { return !IsWindow(window); }));
    EXPECT_FALSE(fileExists(jobPath()));
}

} // namespace
} // namespace ch::e2e
