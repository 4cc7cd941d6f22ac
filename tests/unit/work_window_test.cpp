// Long work from the window: what the progress window says as the work goes on, and the
// handlers running their work through the runner and showing their boxes after it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "app/form1.h"
#include "platform/progress_form.h"
#include "tests/support/fake_services.h"
#include "tests/support/zip_maker.h"

namespace ch {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

WorkProgress packing(uint64_t done, uint64_t total) {
    WorkProgress p;
    p.stage = WorkStage::Packing;
    p.file = "Messages.dat";
    p.fileNumber = 2;
    p.fileCount = 5;
    p.doneBytes = done;
    p.totalBytes = total;
    return p;
}

TEST(ProgressLines, TellTheStageTheShareAndTheTimeLeftOnceItMeansSomething) {
    const ProgressLines first = progressLines(std::nullopt, 600, false);
    EXPECT_EQ(first.stage, "Getting ready...");
    EXPECT_EQ(first.bar, 0);
    EXPECT_EQ(first.time, "Time so far: 0:00");

    // No estimate in the first two seconds, nor before a twentieth of the work.
    EXPECT_EQ(progressLines(packing(500, 1000), 1900, false).time, "Time so far: 0:01");
    EXPECT_EQ(progressLines(packing(40, 1000), 9000, false).time, "Time so far: 0:09");
    const ProgressLines quarter = progressLines(packing(250, 1000), 4000, false);
    EXPECT_EQ(quarter.stage, "Packing Messages.dat (2 of 5)");
    EXPECT_EQ(quarter.bar, kProgressBarRange / 4);
    EXPECT_EQ(quarter.time, "Time so far: 0:04    Time left: about 0:12");

    // Totals beyond 4 GB, a count that overshoots, a job with nothing to count.
    EXPECT_EQ(progressLines(packing(3ull << 32, 4ull << 32), 3000, false).bar,
              kProgressBarRange * 3 / 4);
    EXPECT_EQ(progressLines(packing(1200, 1000), 3000, false).bar, kProgressBarRange);
    EXPECT_EQ(progressLines(packing(1200, 1000), 3000, false).time, "Time so far: 0:03");
    EXPECT_EQ(progressLines(packing(0, 0), 3000, false).bar, 0);

    const ProgressLines cancelling = progressLines(packing(500, 1000), 5000, true);
    EXPECT_EQ(cancelling.stage, "Cancelling, please wait...");
    EXPECT_EQ(cancelling.time, "Time so far: 0:05");

    EXPECT_EQ(clockText(754), "12:34");
    EXPECT_EQ(clockText(3723), "1:02:03");
}

TEST(ProgressDesign, CancelIsTheOnlyControlThatTakesTheFocusAndEscPressesIt) {
    const FormDesign& d = frmProgressDesign();
    EXPECT_EQ(d.border, BorderStyle::FixedDialog);
    EXPECT_FALSE(d.showInTaskbar);
    for (const ControlDesign& c : d.controls) {
        EXPECT_LE(c.left + c.width, d.clientWidth - 120) << c.name;
        EXPECT_LE(c.top + c.height, d.clientHeight - 120) << c.name;
        EXPECT_EQ(c.tabIndex >= 0, c.name == "cmdCancel") << c.name;
    }
    EXPECT_TRUE(d.find("cmdCancel")->isCancel);
    EXPECT_EQ(d.find("prgBar")->kind, ControlKind::ProgressBar);
}

// The window on C:\ICQ's database, backing up into D:\Save; a backup of it in D:\Old.
class WorkFromTheWindow : public ::testing::Test, protected test::FakeServices {
  protected:
    WorkFromTheWindow() {
        fs.addDrive('d');
        fs.addDrive('e'); // the staging drive
        fs.addFile("C:\\ICQ\\db\\a.dat", "chats");
        fs.addFile("C:\\ICQ\\db\\a.idx", "index");
        fs.addFile("C:\\Chathoard\\defaultdrive.ini", "E\r\n");
        fs.addFolder("D:\\Save");
        fs.addFile("D:\\Old\\chathoard.zip", test::makeZip({{"a.dat", "older chats"}}));
        App.Path = "C:\\Chathoard";
        form.load("C:\\");
        form.Dir1.setPath("C:\\ICQ");
        form.Drive2.setDrive("d:");
        form.Dir2.setPath("D:\\Save");
    }
    Form1 form{services};
};

TEST_F(WorkFromTheWindow, EveryLongCommandRunsThroughTheRunnerAndShowsItsBoxesAfterIt) {
    EXPECT_EQ(form.Command1_Click(), BackupOutcome::Done);
    EXPECT_EQ(form.Command2_Click(), BackupOutcome::Done);
    picker.answers = {"D:\\Old\\chathoard.zip", "D:\\Old\\chathoard.zip"};
    dialogs.answers = {vbOK}; // the restore's question
    form.mnuRestore_Click();
    form.mnuCheck_Click();
    EXPECT_THAT(work.titles, ElementsAre("ZIP Backup", "Normal Backup", "Restore a backup",
                                         "Restore a backup", "Check a backup"));
    std::vector<std::string> titles;
    for (const auto& box : dialogs.shown)
        titles.push_back(box.title.value_or(""));
    EXPECT_THAT(titles, ElementsAre("Done !", "Done !", "Restore a backup", "Backup restored"));
    ASSERT_TRUE(runtime.lastCheck);
    EXPECT_THAT(runtime.lastCheck->txtReport.Text(), HasSubstr("D:\\Old\\chathoard.zip"));
    EXPECT_EQ(fs.content("C:\\ICQ\\db\\a.dat"), "older chats");
}

// The work touches no control: a folder opened in the window meanwhile is not restored into.
TEST_F(WorkFromTheWindow, TheRestoreGoesWhereTheWindowPointedBeforeItsWork) {
    fs.addFile("C:\\Other\\db\\a.dat", "other chats");
    picker.answers = {"D:\\Old\\chathoard.zip"};
    dialogs.answers = {vbOK};
    work.duringWork = [&] { form.Dir1.setPath("C:\\Other"); };
    form.mnuRestore_Click();
    EXPECT_EQ(dialogs.shown.back().title, "Backup restored");
    EXPECT_EQ(fs.content("C:\\ICQ\\db\\a.dat"), "older chats");
    EXPECT_EQ(fs.content("C:\\Other\\db\\a.dat"), "other chats");
}

TEST_F(WorkFromTheWindow, CancelShowsTheCancelledBoxAndClosingShowsNoneAndNothingChanges) {
    fs.addFile("D:\\Save\\chathoard.zip", "the earlier archive");
    work.cancelAtReport = 1;
    EXPECT_EQ(form.Command1_Click(), BackupOutcome::Cancelled);
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].style, vbInformation);
    EXPECT_NE(dialogs.shown[0].title, "Done !");
    EXPECT_THAT(dialogs.shown[0].prompt, HasSubstr("was cancelled. Nothing in D:\\Save"));
    EXPECT_EQ(fs.content("D:\\Save\\chathoard.zip"), "the earlier archive");
    EXPECT_FALSE(fs.hasFolder("E:\\chathoard"));
    EXPECT_FALSE(fs.hasFile("C:\\Chathoard\\icqtemp.dat"));

    // A restore cancelled while it unpacks leaves db as it was.
    work.cancelAtReport = 0;
    work.cancelAtStage = WorkStage::Unpacking;
    picker.answers = {"D:\\Old\\chathoard.zip"};
    dialogs.answers = {vbOK};
    form.mnuRestore_Click();
    EXPECT_EQ(dialogs.shown.back().title, "Restore cancelled");
    EXPECT_EQ(dialogs.shown.back().style, vbInformation);
    EXPECT_EQ(fs.content("C:\\ICQ\\db\\a.dat"), "chats");
    const std::string files = fs.dump().substr(0, fs.dump().find("\nlog:"));
    EXPECT_THAT(files, Not(HasSubstr("db.restore-")));
    EXPECT_THAT(files, Not(HasSubstr("db.before-restore-")));

    // Closing the program during a backup: cancelled, and no box at all.
    work.cancelAtStage.reset();
    work.reports.clear();
    work.cancelAtReport = 1;
    work.closeOnCancel = true;
    const size_t boxes = dialogs.shown.size();
    EXPECT_EQ(form.Command2_Click(), BackupOutcome::Cancelled);
    EXPECT_EQ(dialogs.shown.size(), boxes);
    EXPECT_FALSE(fs.hasFile("D:\\Save\\a.dat"));
}

// Yes to "Cancel it and close the program?" may come once the work has ended, or is past the
// point where Cancel is heard: what it did is shown before the program closes.
TEST_F(WorkFromTheWindow, ClosingTooLateForCancelStillShowsTheResult) {
    work.closeAfterRun = 1;
    EXPECT_EQ(form.Command2_Click(), BackupOutcome::Done);
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].title, "Done !");

    picker.answers = {"D:\\Old\\chathoard.zip"};
    dialogs.answers = {vbOK};
    work.closeAfterRun = 3; // the restore itself, after its check
    form.mnuRestore_Click();
    ASSERT_EQ(dialogs.shown.size(), 3u);
    EXPECT_EQ(dialogs.shown[2].title, "Backup restored");
    EXPECT_EQ(fs.content("C:\\ICQ\\db\\a.dat"), "older chats");

    // Closed as the restore's check ends: nothing was changed, so nothing is asked or said.
    picker.answers = {"D:\\Old\\chathoard.zip"};
    work.closeAfterRun = 4;
    form.mnuRestore_Click();
    EXPECT_EQ(dialogs.shown.size(), 3u);
}

// Cancel while another backup holds the lock: the work is cancelled, not refused as waiting.
TEST_F(WorkFromTheWindow, CancelDuringTheWaitForAnotherBackupCancels) {
    backupLock.heldElsewhere = true;
    backupLock.duringAcquire = [&] { work.pressCancel(); };
    EXPECT_EQ(form.Command1_Click(), BackupOutcome::Cancelled);
    EXPECT_EQ(dialogs.shown.back().title, "Backup cancelled");
    picker.answers = {"D:\\Old\\chathoard.zip"};
    dialogs.answers = {vbOK};
    form.mnuRestore_Click();
    EXPECT_EQ(dialogs.shown.back().title, "Restore cancelled");
    EXPECT_EQ(fs.content("C:\\ICQ\\db\\a.dat"), "chats");
}

} // namespace
} // namespace ch
