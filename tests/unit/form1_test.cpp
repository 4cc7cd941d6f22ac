#include "app/form1.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "app/startup.h"
#include "tests/support/fake_services.h"
#include "tests/support/zip_maker.h"

namespace ch {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

std::vector<std::string> names(const std::vector<ControlDesign>& controls) {
    std::vector<std::string> out;
    for (const auto& c : controls)
        out.push_back(c.name);
    return out;
}

TEST(Form1Design, WindowFacts) {
    const FormDesign& d = form1Design();
    EXPECT_EQ(d.caption, "Tavrik's Chathoard 0.10 beta");
    EXPECT_EQ(d.border, BorderStyle::FixedSingle);
    EXPECT_TRUE(d.minButton);
    EXPECT_FALSE(d.maxButton);
    EXPECT_TRUE(d.showInTaskbar);
    EXPECT_THAT(names(d.controls),
                ElementsAre("Text1", "File1", "Frame2", "Dir2", "Drive2", "Frame1", "Dir1",
                            "Drive1", "Command2", "Command1", "Label1", "lblEncrypted"));
}

TEST(Form1Design, TabOrderRunsOverTheVisibleFocusableControls) {
    std::vector<const ControlDesign*> focusable;
    for (const auto& c : form1Design().controls) {
        const bool canFocus = c.kind == ControlKind::Button || c.kind == ControlKind::DriveList ||
                              c.kind == ControlKind::FolderList || c.kind == ControlKind::TextBox ||
                              c.kind == ControlKind::FileList;
        if (canFocus && c.visible)
            focusable.push_back(&c);
    }
    std::sort(focusable.begin(), focusable.end(),
              [](auto* a, auto* b) { return a->tabIndex < b->tabIndex; });
    std::vector<std::string> order;
    for (auto* c : focusable)
        order.push_back(c->name);
    EXPECT_THAT(order, ElementsAre("Command1", "Command2", "Drive1", "Dir1", "Drive2", "Dir2"));
}

TEST(Form1Design, ControlDetailsThatTheUserSees) {
    const FormDesign& d = form1Design();
    EXPECT_FALSE(d.find("Text1")->visible);
    EXPECT_FALSE(d.find("File1")->visible);
    EXPECT_EQ(d.find("File1")->caption, "*.dat;*.idx");

    const ControlDesign& label = *d.find("Label1");
    EXPECT_EQ(label.caption, "No ICQ Directory found");
    EXPECT_TRUE(label.centred);

    for (const char* inFrame1 : {"Dir1", "Drive1"})
        EXPECT_EQ(d.find(inFrame1)->parent, "Frame1");
    for (const char* inFrame2 : {"Dir2", "Drive2"})
        EXPECT_EQ(d.find(inFrame2)->parent, "Frame2");
    EXPECT_EQ(d.find("Frame1")->caption, "Your ICQ directory:");
    EXPECT_EQ(d.find("Frame2")->caption, "Backup directory:");

    const ControlDesign& zip = *d.find("Command1");
    EXPECT_EQ(zip.caption, "ZIP Backup");
    EXPECT_EQ(zip.toolTip, "This will zip (using pkzip.exe) to the selected directory");
    EXPECT_FALSE(zip.isDefault);
    EXPECT_EQ(d.find("Command2")->toolTip,
              "This will copy your ICQ files to the selected directory");
}

TEST(Form1Design, MenuTree) {
    std::vector<std::string> menus;
    for (const auto& m : form1Design().menus)
        menus.push_back(std::to_string(m.level) + " " + m.name + " " + m.caption);
    EXPECT_THAT(menus,
                ElementsAre("0 mnuFile &File", "1 mnuCheck &Check a backup...",
                            "1 mnuRestore &Restore a backup...",
                            "1 mnuSchedule &Schedule backups...",
                            "1 mnuPassword ZIP Backup &password...", "1 mnuExit E&xit",
                            "0 mnuHelp &Help", "1 mnuContets &Contents", "1 mnuHomepage H&omepage",
                            "1 mnuEmail &E-mail", "1 streep -", "1 mnuAbout &About"));
}

// The window with every service faked, started in C:\ICQ, which holds a messenger database.
class Form1Wiring : public ::testing::Test, protected test::FakeServices {
  protected:
    Form1Wiring() {
        fs.addDrive('d', "DATA");
        fs.addFile("C:\\ICQ\\db\\a.dat", "chats");
        fs.addFile("C:\\ICQ\\db\\a.idx", "index");
        fs.addFile("C:\\ICQ\\top.dat", "not in db");
        fs.addFolder("C:\\Chathoard");
        fs.addFolder("D:\\Save");
        fs.addFile("D:\\ICQ2\\db\\b.dat", "other");
        fs.setCurrentFolder("D:\\ICQ2");
        fs.addFile("C:\\Chathoard\\defaultdrive.ini", "E\r\n");
        App.Path = "C:\\Chathoard";
        form.load("C:\\ICQ");
    }
    Form1 form{services};
};

TEST_F(Form1Wiring, LoadStartsOnTheCurrentFolderWithoutEventsThenRunsFormLoad) {
    EXPECT_EQ(form.Drive1.Drive(), "c:");
    EXPECT_EQ(form.Drive2.Drive(), "c:");
    EXPECT_EQ(form.Dir1.Path(), "C:\\ICQ");
    EXPECT_EQ(form.Dir2.Path(), "C:\\ICQ");
    EXPECT_EQ(form.File1.Path(), "C:\\ICQ");
    ASSERT_EQ(form.File1.ListCount(), 1);
    EXPECT_EQ(form.File1.List(0), "top.dat");
    // No Dir1 change yet: the verdict is the design's, though C:\ICQ holds a database.
    EXPECT_EQ(form.Label1.Caption(), "No ICQ Directory found");
    EXPECT_EQ(form.DefaultDrive, "E");
    EXPECT_EQ(form.Text1.Text(), "E");
    EXPECT_THAT(archiver.entriesCalled(), ElementsAre("addZIP_Initialise"));
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(Form1Wiring, ADriveChangeRunsTheFolderDetectionNested) {
    form.Drive1.setDrive("d: [DATA]");
    EXPECT_EQ(form.Dir1.Path(), "D:\\ICQ2");
    EXPECT_EQ(form.File1.Path(), "D:\\ICQ2\\db");
    EXPECT_EQ(form.Label1.Caption(), "ICQ Directory found !");
    EXPECT_EQ(form.Dir2.Path(), "C:\\ICQ");
}

TEST_F(Form1Wiring, ARestoreRunsTheFolderDetectionAgain) {
    form.Dir1.open(0);
    form.Dir1.setPath("C:\\ICQ");
    fs.addFile("D:\\Save\\chathoard.zip", test::makeZip({{"b.dat", "restored"}}));
    picker.answers = {"D:\\Save\\chathoard.zip"};
    dialogs.answers = {vbOK};
    form.mnuRestore_Click();
    EXPECT_EQ(fs.content("C:\\ICQ\\db\\b.dat"), "restored") << fs.dump();
    EXPECT_EQ(form.File1.Path(), "C:\\ICQ\\db");
    ASSERT_EQ(form.File1.ListCount(), 1);
    EXPECT_EQ(form.File1.List(0), "b.dat");
    EXPECT_EQ(form.Label1.Caption(), "ICQ Directory found !");
}

// Power lost between a restore's two renames: no db, the previous database beside it.
TEST_F(Form1Wiring, AnInterruptedRestoreIsNamedAndPutBackOnlyWhenTheUserSaysSo) {
    fs.addFile("D:\\ICQ3\\db.before-restore-2026-12-07-030000\\a.dat", "previous");
    fs.addFile("D:\\ICQ3\\db.restore-2026-12-07-030000\\a.dat", "restored");
    dialogs.answers = {vbCancel, vbOK};
    for (int visit = 0; visit < 2; ++visit) {
        form.Dir1.setPath("D:\\Save");
        form.Dir1.setPath("D:\\ICQ3");
    }
    ASSERT_EQ(dialogs.shown.size(), 2u);
    EXPECT_THAT(dialogs.shown[0].prompt,
                HasSubstr("Your previous database is complete in "
                          "D:\\ICQ3\\db.before-restore-2026-12-07-030000. The restored database "
                          "is in D:\\ICQ3\\db.restore-2026-12-07-030000."));
    EXPECT_EQ(fs.content("D:\\ICQ3\\db\\a.dat"), "previous");
    EXPECT_EQ(form.Label1.Caption(), "ICQ Directory found !");
}

TEST_F(Form1Wiring, TheDestinationSelectorTouchesNothingElse) {
    form.Dir1.setPath("C:\\ICQ"); // no change: no detection either
    EXPECT_EQ(form.Label1.Caption(), "No ICQ Directory found");
    form.Drive2.setDrive("d:");
    EXPECT_EQ(form.Dir2.Path(), "D:\\ICQ2");
    form.Dir2.setPath("D:\\Save");
    EXPECT_EQ(form.Label1.Caption(), "No ICQ Directory found");
    EXPECT_EQ(form.File1.Path(), "C:\\ICQ");
    EXPECT_EQ(form.Dir1.Path(), "C:\\ICQ");
}

TEST_F(Form1Wiring, TheButtonsReadTheWindowAsTheUserLeftIt) {
    backupLock.heldElsewhere = true; // no backup starts, so none running is waited for
    for (auto click : {&Form1::Command1_Click, &Form1::Command2_Click}) {
        EXPECT_EQ((form.*click)(), BackupOutcome::NoMessengerFolder);
        EXPECT_EQ(dialogs.shown.back().title, "Oops...");
    }
    EXPECT_TRUE(backupLock.waits.empty());
    backupLock.heldElsewhere = false;

    form.Dir1.open(0);            // up to C:\ ...
    form.Dir1.setPath("C:\\ICQ"); // ... and back into the messenger folder
    form.Drive2.setDrive("d:");
    form.Dir2.setPath("D:\\Save");
    EXPECT_EQ(form.Command2_Click(), BackupOutcome::Done);
    EXPECT_EQ(fs.content("D:\\Save\\a.dat"), "chats");
    EXPECT_EQ(fs.content("D:\\Save\\a.idx"), "index");
}

// Both buttons take the backup lock for their whole run, and let it go before their box: an
// open "Done !" must not hold up a scheduled backup.
TEST_F(Form1Wiring, TheButtonsBackUpOneAtATime) {
    fs.addDrive('e'); // the staging drive of defaultdrive.ini
    form.Dir1.open(0);
    form.Dir1.setPath("C:\\ICQ");
    form.Drive2.setDrive("d:");
    form.Dir2.setPath("D:\\Save");
    bool heldWhileArchiving = false;
    archiver.duringAddZip = [&] { heldWhileArchiving = backupLock.held; };
    bool heldAtBox = true;
    dialogs.duringBox = [&] { heldAtBox = backupLock.held; };
    EXPECT_EQ(form.Command1_Click(), BackupOutcome::Done);
    EXPECT_TRUE(heldWhileArchiving);
    EXPECT_FALSE(heldAtBox);
    EXPECT_EQ(dialogs.shown.back().title, "Done !");

    backupLock.heldElsewhere = true;
    dialogs.shown.clear();
    const size_t changesBefore = fs.changes().size();
    const size_t archiverCallsBefore = archiver.calls.size();
    for (auto click : {&Form1::Command1_Click, &Form1::Command2_Click}) {
        EXPECT_EQ((form.*click)(), BackupOutcome::AnotherBackupRunning);
        EXPECT_EQ(dialogs.shown.back().style, vbExclamation);
        EXPECT_EQ(dialogs.shown.back().title, "Another backup is running");
        EXPECT_THAT(dialogs.shown.back().prompt, HasSubstr("waited 2 seconds"));
    }
    EXPECT_EQ(fs.changes().size(), changesBefore) << fs.dump();
    EXPECT_EQ(archiver.calls.size(), archiverCallsBefore);
    EXPECT_THAT(backupLock.waits, ElementsAre(2000u, 2000u, 2000u));
}

// The backup folder list may sit on db itself or in a folder under it: neither button copies
// the database into itself.
TEST_F(Form1Wiring, BothButtonsRefuseABackupFolderInsideTheDatabase) {
    fs.addDrive('e');
    fs.addFolder("C:\\ICQ\\db\\old");
    form.Dir1.open(0);
    form.Dir1.setPath("C:\\ICQ");
    for (const char* inside : {"C:\\ICQ\\DB", "C:\\ICQ\\db\\old"}) {
        form.Dir2.setPath(inside);
        for (auto click : {&Form1::Command1_Click, &Form1::Command2_Click}) {
            const size_t changesBefore = fs.changes().size();
            EXPECT_EQ((form.*click)(), BackupOutcome::Failed) << inside;
            EXPECT_EQ(dialogs.shown.back().style, vbExclamation);
            EXPECT_THAT(dialogs.shown.back().prompt, HasSubstr("A backup must go elsewhere"));
            EXPECT_EQ(fs.changes().size(), changesBefore) << fs.dump();
        }
    }
    EXPECT_THAT(fs.entries("C:\\ICQ\\db"), ElementsAre("a.dat", "a.idx", "old"));
    form.Dir2.setPath("C:\\ICQ"); // beside db is elsewhere
    EXPECT_EQ(form.Command2_Click(), BackupOutcome::Done);
}

TEST_F(Form1Wiring, MenusReachTheRuntime) {
    form.mnuAbout_Click();
    form.mnuAbout_Click();
    EXPECT_EQ(runtime.aboutShown, 2);
    ASSERT_NE(runtime.lastAbout, nullptr);
    FrmAbout* first = runtime.lastAbout;
    form.mnuAbout_Click();
    EXPECT_EQ(runtime.lastAbout, first); // one About box object for the whole run
    form.mnuHomepage_Click();
    ASSERT_EQ(shell.calls.size(), 1u);
    EXPECT_EQ(shell.calls[0].ownerWindow, runtime.handle);
    form.mnuExit_Click();
    EXPECT_EQ(runtime.endProgramCalls, 1);
}

} // namespace
} // namespace ch
