// File > Schedule backups...: the window's fields and the task the scheduler holds.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "app/frm_schedule.h"
#include "tests/support/fake_scheduler.h"
#include "tests/support/fake_services.h"

namespace ch {
namespace {

using ::testing::HasSubstr;

constexpr const char* kProgram =
    "C:\\Users\\ann\\AppData\\Local\\Programs\\Chathoard\\chathoard.exe";

ScheduleChoice nightlyToTheNas() {
    ScheduleChoice c;
    c.from = "C:\\Program Files\\ICQ";
    c.to = "\\\\nas\\backups\\";
    c.schedule = {TaskWhen::Weekdays, 23, 5, kMonday | kFriday};
    c.keep = 7;
    c.waitMinutes = 0;
    return c;
}

TEST(ScheduleTask, TheTaskRunsTheProgramInItsFolderWithSwitchesThatReadBackAsTheChoice) {
    ScheduleChoice choice = nightlyToTheNas();
    const ScheduledTask task = taskOf(kProgram, choice);
    EXPECT_EQ(task.program, kProgram);
    EXPECT_EQ(task.workingFolder, "C:\\Users\\ann\\AppData\\Local\\Programs\\Chathoard");
    // A folder quoted with a final backslash would swallow the quote.
    EXPECT_EQ(task.arguments, "/zip \"C:\\Program Files\\ICQ\" \"\\\\nas\\backups\" /keep:7");
    choice.to = "\\\\nas\\backups";
    EXPECT_EQ(choiceOfTask(task), choice);

    choice.kind = BackupKind::Normal;
    choice.keep = 1;
    choice.waitMinutes = 45;
    choice.encrypted = true;
    EXPECT_EQ(choiceOfTask(taskOf(kProgram, choice)), choice);

    ScheduledTask byHand = task;
    byHand.arguments = "/verify \"\\\\nas\\backups\\chathoard.zip\"";
    EXPECT_EQ(choiceOfTask(byHand), std::nullopt);
}

TEST(ScheduleTask, TheCommandForSchedulingByHandEscapesEveryQuote) {
    EXPECT_EQ(manualScheduleCommand("C:\\Chathoard\\chathoard.exe", nightlyToTheNas()),
              "schtasks /Create /TN \"Chathoard backup\" /SC WEEKLY /D MON,FRI /ST 23:05 /TR "
              "\"\\\"C:\\Chathoard\\chathoard.exe\\\" /zip \\\"C:\\Program Files\\ICQ\\\" "
              "\\\"\\\\nas\\backups\\\" /keep:7\"");
    ScheduleChoice atLogOn = nightlyToTheNas();
    atLogOn.schedule.when = TaskWhen::AtLogOn;
    EXPECT_THAT(manualScheduleCommand("C:\\x.exe", atLogOn), HasSubstr("/SC ONLOGON /TR"));
}

TEST(ScheduleTask, TheLastLoggedRunIsItsFinishedLineAndTheLineBefore) {
    const std::string log = "2026-12-06 02:00:01  ZIP backup of C:\\ICQ to \\\\nas\\b\r\n"
                            "2026-12-06 02:00:09  Finished with exit code 0\r\n"
                            "2026-12-07 02:00:01  ZIP backup of C:\\ICQ to \\\\nas\\b\r\n"
                            "2026-12-07 02:00:02  The destination folder \\\\nas\\b cannot be "
                            "used: the network share \\\\nas\\b cannot be reached.\r\n"
                            "2026-12-07 02:00:02  Finished with exit code 2\r\n";
    const auto run = lastLoggedRun(log);
    ASSERT_TRUE(run);
    EXPECT_EQ(run->finished, "2026-12-07 02:00:02  Finished with exit code 2");
    EXPECT_THAT(run->why, HasSubstr("cannot be reached"));
    EXPECT_EQ(lastLoggedRun("2026-12-07 02:00:01  ZIP backup of C:\\ICQ\r\n"), std::nullopt);

    TaskRunInfo info;
    EXPECT_EQ(lastRunText(info, std::nullopt), "Not run yet.");
    info.lastRun = "2026-12-07 02:00";
    info.exitCode = 2;
    info.nextRun = "2026-12-08 02:00";
    EXPECT_EQ(lastRunText(info, run),
              "Last run 2026-12-07 02:00, exit code 2. Next run 2026-12-08 02:00.\r\nThe log's "
              "last run: " +
                  run->why + "\r\n" + run->finished);
}

ScheduleChoice dir1AndDir2() {
    ScheduleChoice c;
    c.from = "C:\\ICQ";
    c.to = "D:\\Backups";
    return c;
}

struct ScheduleWindow : ::testing::Test, test::FakeServices {
    test::FakeScheduler scheduler;
    ScheduleChoice defaults = dir1AndDir2();
    bool password = false;
    FrmSchedule form{scheduler, services, kProgram, defaults, [this] { return password; }};

    ScheduleWindow() { App.Path = "C:\\Chathoard"; }
};

TEST_F(ScheduleWindow, RegistersShowsWhatTheSchedulerHoldsChangesAndRemoves) {
    form.load();
    EXPECT_EQ(form.txtFrom.Text(), "C:\\ICQ");
    EXPECT_EQ(form.txtTo.Text(), "D:\\Backups");
    EXPECT_FALSE(form.removeEnabled);
    EXPECT_FALSE(form.encryptedEnabled);

    form.txtTo.setText("\\\\nas\\backups");
    form.txtKeep.setText("7");
    form.txtTime.setText("2:30");
    form.cmdOK_Click();
    EXPECT_FALSE(form.loaded);
    ASSERT_TRUE(scheduler.task);
    EXPECT_EQ(scheduler.task->arguments, "/zip \"C:\\ICQ\" \"\\\\nas\\backups\" /keep:7 /wait:30");
    EXPECT_EQ((scheduler.task->schedule),
              (TaskSchedule{TaskWhen::Daily, 2, 30, defaults.schedule.days}));

    // Opened again, the window shows the task as held, whoever changed it since.
    scheduler.task->schedule.hour = 4;
    scheduler.task->arguments = "/normal \"E:\\ICQ\" \"\\\\nas\\backups\\plain\"";
    scheduler.info.lastRun = "2026-12-07 02:30";
    scheduler.info.exitCode = 0;
    fs.addFile("C:\\Chathoard\\chathoard.log",
               "2026-12-07 02:30:09  Summary: 2 files\r\n"
               "2026-12-07 02:30:09  Finished with exit code 0\r\n");
    form.load();
    EXPECT_EQ(form.kindIndex, 1);
    EXPECT_EQ(form.txtFrom.Text(), "E:\\ICQ");
    EXPECT_EQ(form.txtTime.Text(), "04:30");
    EXPECT_EQ(form.txtKeep.Text(), "1");
    EXPECT_EQ(form.txtWait.Text(), "0");
    EXPECT_TRUE(form.removeEnabled);
    EXPECT_THAT(form.lastRun, HasSubstr("Last run 2026-12-07 02:30, exit code 0."));
    EXPECT_THAT(form.lastRun, HasSubstr("Summary: 2 files"));

    form.whenIndex = static_cast<int>(TaskWhen::AtLogOn);
    form.cmdOK_Click();
    EXPECT_EQ(scheduler.task->schedule.when, TaskWhen::AtLogOn);
    EXPECT_EQ(scheduler.task->arguments, "/normal \"E:\\ICQ\" \"\\\\nas\\backups\\plain\"");

    form.load();
    dialogs.answers = {vbOK};
    form.cmdRemove_Click();
    EXPECT_FALSE(scheduler.task);
    EXPECT_FALSE(form.loaded);
}

TEST_F(ScheduleWindow, AWrongFieldIsNamedAndNothingIsScheduled) {
    form.load();
    const auto refused = [&](auto change, const std::string& words) {
        form.load();
        change();
        dialogs.shown.clear();
        form.cmdOK_Click();
        EXPECT_TRUE(form.loaded) << words;
        ASSERT_EQ(dialogs.shown.size(), 1u) << words;
        EXPECT_THAT(dialogs.shown[0].prompt, HasSubstr(words));
    };
    refused([&] { form.txtTime.setText("25:00"); }, "25:00 is not a time of day");
    refused([&] { form.txtKeep.setText("1000"); }, "Keep 1 to 999 backups");
    refused([&] { form.txtWait.setText("-1"); }, "Wait 0 to 1440 minutes");
    refused([&] { form.txtTo.setText("Backups"); }, "Give full paths");
    refused(
        [&] {
            form.whenIndex = static_cast<int>(TaskWhen::Weekdays);
            form.days = 0;
        },
        "Tick at least one day");
    EXPECT_EQ(scheduler.saves, 0);
}

TEST_F(ScheduleWindow, AnUnreachableSchedulerIsExplainedWithTheCommandToUseByHand) {
    scheduler.unreachable = "the Task Scheduler service is not running (0x80041315)";
    form.load();
    EXPECT_THAT(form.status, HasSubstr("cannot be reached: the Task Scheduler service is not "
                                       "running"));
    EXPECT_THAT(form.manualCommand, HasSubstr("schtasks /Create"));
    EXPECT_THAT(form.manualCommand, HasSubstr("/zip \\\"C:\\ICQ\\\" \\\"D:\\Backups\\\""));
    dialogs.answers = {vbOK};
    form.cmdOK_Click();
    EXPECT_TRUE(form.loaded);
    EXPECT_THAT(dialogs.shown.at(0).prompt, HasSubstr("could not be scheduled"));

    // The encrypted choice is offered once a password is stored.
    password = true;
    scheduler.unreachable.reset();
    form.load();
    EXPECT_TRUE(form.encryptedEnabled);
}

} // namespace
} // namespace ch
