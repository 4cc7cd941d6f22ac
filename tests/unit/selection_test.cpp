#include <gtest/gtest.h>

#include "app/selection_handlers.h"
#include "platform/runtime_error.h"
#include "tests/support/memory_file_system.h"
#include "tests/support/scripted_dialogs.h"

namespace ch {
namespace {

using test::FsOp;

// Message boxes answered from a script, with a hook for what the user does meanwhile.
struct UserAtTheBox : test::ScriptedDialogs {
    int msgBox(const std::string& prompt, int style,
               const std::optional<std::string>& title) override {
        if (onShow)
            onShow();
        return ScriptedDialogs::msgBox(prompt, style, title);
    }
    std::function<void()> onShow;
};

// The two selectors, File1 and Label1, wired as the main window wires them.
class Selection : public ::testing::Test {
  protected:
    Selection() {
        fs.addDrive('a');
        fs.addDrive('d', "DATA");
        fs.addFile("C:\\ICQ\\db\\Messages.dat", "m");
        fs.addFile("C:\\ICQ\\db\\Messages.idx", "i");
        fs.addFolder("C:\\Stuff");
        fs.addFolder("D:\\Backups");
        fs.setCurrentFolder("D:\\Backups");
        fs.addFolder("A:\\Disk");
        fs.setCurrentFolder("A:\\Disk");
        fs.setReady('a', false);

        Drive1.init("C:\\");
        Drive2.init("C:\\");
        Dir1.init("C:\\");
        Dir2.init("C:\\");
        File1.init("C:\\");
        Dir1.Change = [this] { Dir1_Change(fs, Dir1, File1, Label1); };
        Drive1.Change = [this] { DriveChange(Drive1, Dir1, Drive2, dialogs); };
        Drive2.Change = [this] { DriveChange(Drive2, Dir2, Drive1, dialogs); };
    }

    std::vector<std::string> prompts() const {
        std::vector<std::string> out;
        for (const auto& box : dialogs.shown)
            out.push_back(box.prompt);
        return out;
    }

    test::MemoryFileSystem fs;
    UserAtTheBox dialogs;
    FileList File1{fs, "*.dat;*.idx"};
    FolderList Dir2{fs, fs.codePage()};
    DriveList Drive2{fs};
    FolderList Dir1{fs, fs.codePage()};
    DriveList Drive1{fs};
    Label Label1{"No ICQ Directory found"};
};

// --- Dir1_Change ---------------------------------------------------------------------------

TEST_F(Selection, EitherKindOfDatabaseFileIsAFind) {
    fs.addFile("C:\\OnlyIdx\\db\\a.IDX");
    fs.addFile("C:\\OnlyDat\\db\\a.dat");
    Dir1.setPath("C:\\OnlyIdx");
    EXPECT_EQ(Label1.Caption(), "ICQ Directory found !");
    Dir1.setPath("C:\\Stuff"); // leave, so the next move is a change from a not-found state
    Dir1.setPath("C:\\OnlyDat");
    EXPECT_EQ(Label1.Caption(), "ICQ Directory found !");
    ASSERT_EQ(File1.ListCount(), 1);
    EXPECT_EQ(File1.List(0), "a.dat");
}

TEST_F(Selection, ADbWithoutDatabaseFilesIsNoFind) {
    fs.addFile("C:\\Other\\db\\notes.txt");
    fs.addFolder("C:\\Other\\db\\old.dat");
    Dir1.setPath("C:\\ICQ");
    ASSERT_EQ(Label1.Caption(), "ICQ Directory found !");
    Dir1.setPath("C:\\Other");
    EXPECT_EQ(Label1.Caption(), "No ICQ Directory found");
    EXPECT_EQ(File1.ListCount(), 0);
    EXPECT_EQ(File1.Path(), "C:\\Other\\db");
}

TEST_F(Selection, AtADriveRootTheJoinedPathIsPassedOnUnchanged) {
    fs.addFile("D:\\db\\x.idx");
    Dir1.setPath("D:\\");
    EXPECT_EQ(File1.Path(), "D:\\\\db");
    EXPECT_EQ(fs.logOf({FsOp::ListEntries}).back(), "list-entries D:\\\\db");
    EXPECT_EQ(Label1.Caption(), "ICQ Directory found !");
}

TEST_F(Selection, MovingToAFolderWithoutDbDropsTheVerdictButKeepsTheList) {
    Dir1.setPath("C:\\ICQ");
    ASSERT_EQ(Label1.Caption(), "ICQ Directory found !");
    dialogs.shown.clear();
    Dir1.setPath("C:\\Stuff");
    EXPECT_EQ(Label1.Caption(), "No ICQ Directory found");
    EXPECT_EQ(File1.Path(), "C:\\ICQ\\db");
    EXPECT_EQ(File1.ListCount(), 2);
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(Selection, AFailureToListTheDbIsNoFindAndNoMessage) {
    fs.failOnce(FsOp::ListEntries, "C:\\ICQ\\db", errPermissionDenied);
    Dir1.setPath("C:\\ICQ");
    EXPECT_EQ(Label1.Caption(), "No ICQ Directory found");
    EXPECT_TRUE(dialogs.shown.empty());
}

// --- DriveChange ---------------------------------------------------------------------------

TEST_F(Selection, AReadyPickMovesTheFolderListAndRunsTheDetectionNested) {
    fs.addFile("D:\\Backups\\db\\a.dat");
    Drive1.setDrive("d: [DATA]");
    EXPECT_EQ(Dir1.Path(), "D:\\Backups");
    EXPECT_EQ(File1.Path(), "D:\\Backups\\db");
    EXPECT_EQ(Label1.Caption(), "ICQ Directory found !");
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_EQ(Dir2.Path(), "C:\\");
}

TEST_F(Selection, NotReadyAsksToInsertADiskAndRetryTriesAgain) {
    fs.addFile("A:\\Disk\\db\\Messages.dat");
    dialogs.onShow = [this] { // the user inserts a labelled disk, then presses Retry
        fs.setReady('a', true);
        fs.setLabel('a', "BACKUP1");
    };
    dialogs.answers = {vbRetry};
    Drive1.setDrive("a:");
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].prompt, "Please insert a diskette or CD-ROM");
    EXPECT_EQ(dialogs.shown[0].style, 21); // critical icon, Retry and Cancel
    EXPECT_FALSE(dialogs.shown[0].title.has_value());
    EXPECT_EQ(Dir1.Path(), "A:\\Disk");
    EXPECT_EQ(Drive1.Drive(), "a: [BACKUP1]"); // the Refresh read the inserted disk's label
    EXPECT_EQ(File1.Path(), "A:\\Disk\\db");
    EXPECT_EQ(Label1.Caption(), "ICQ Directory found !");
}

TEST_F(Selection, RetryWhileStillNotReadyBringsTheBoxBack) {
    dialogs.answers = {vbRetry, vbRetry, vbCancel};
    Drive1.setDrive("a:");
    EXPECT_EQ(dialogs.shown.size(), 3u);
    EXPECT_EQ(Drive1.Drive(), "c:"); // gave up: Drive2's drive
    EXPECT_EQ(Dir1.Path(), "C:\\");
}

TEST_F(Selection, GivingUpTakesTheOtherSelectorsDriveWithOneBox) {
    Drive2.setDrive("d:");
    ASSERT_EQ(Dir2.Path(), "D:\\Backups");
    fs.addFile("D:\\Backups\\db\\a.idx");
    dialogs.answers = {vbCancel};
    Drive1.setDrive("a:");
    EXPECT_EQ(prompts(), std::vector<std::string>{"Please insert a diskette or CD-ROM"});
    EXPECT_EQ(Drive1.Drive(), "d: [DATA]");
    EXPECT_EQ(Dir1.Path(), "D:\\Backups");
    EXPECT_EQ(Label1.Caption(), "ICQ Directory found !"); // the nested run detected it
}

TEST_F(Selection, BothDrivesNotReadyShowTwoBoxesAtMost) {
    fs.addDrive('e');
    fs.setReady('e', false);
    Drive2.setDrive("e:"); // Dir2 cannot follow: one box, given up to Drive1's c:
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(Drive2.Drive(), "c:");
    // Put Drive2 on the not-ready e: without its handler, as a user whose disk was just pulled.
    Drive2.Change = nullptr;
    Drive2.setDrive("e:");
    Drive2.Change = [this] { DriveChange(Drive2, Dir2, Drive1, dialogs); };
    dialogs.shown.clear();
    Dir1.setPath("C:\\ICQ");

    Drive1.setDrive("a:"); // a: fails, falls back to e:, which fails too
    EXPECT_EQ(dialogs.shown.size(), 2u);
    EXPECT_EQ(Drive1.Drive(), "e:");
    EXPECT_EQ(Dir1.Path(), "C:\\ICQ"); // the folder it had before the pick
    EXPECT_EQ(Label1.Caption(), "ICQ Directory found !");
}

TEST_F(Selection, TheOtherSelectorOnTheFailedDriveEndsAfterOneBox) {
    Drive2.Change = nullptr;
    Drive2.setDrive("a:");
    Drive2.Change = [this] { DriveChange(Drive2, Dir2, Drive1, dialogs); };
    Drive1.setDrive("a:");
    EXPECT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(Drive1.Drive(), "a:");
    EXPECT_EQ(Dir1.Path(), "C:\\");
}

TEST_F(Selection, Drive2NeverTouchesTheVerdict) {
    Dir1.setPath("C:\\ICQ");
    fs.addFolder("D:\\Backups\\db");
    Drive2.setDrive("d:");
    EXPECT_EQ(Dir2.Path(), "D:\\Backups");
    EXPECT_EQ(Label1.Caption(), "ICQ Directory found !");
    EXPECT_EQ(File1.Path(), "C:\\ICQ\\db");
    dialogs.answers = {vbCancel};
    Drive2.setDrive("a:");
    EXPECT_EQ(Drive2.Drive(), "c:");
    EXPECT_EQ(Dir2.Path(), "C:\\");
    EXPECT_EQ(File1.Path(), "C:\\ICQ\\db");
    EXPECT_EQ(Label1.Caption(), "ICQ Directory found !");
}

TEST_F(Selection, APickedDriveThatVanishedSinceTheListWasReadIsNotReady) {
    Drive2.setDrive("d:");
    fs.addDrive('e', "STICK");
    fs.addFolder("E:\\Saved");
    fs.setCurrentFolder("E:\\Saved");
    Drive1.Refresh();
    const std::string stick = Drive1.entries().back();
    ASSERT_EQ(stick, "e: [STICK]");
    fs.removeDrive('e'); // pulled out while the list still shows it

    dialogs.answers = {vbRetry, vbCancel};
    Drive1.pick(stick);
    EXPECT_EQ(prompts(), std::vector<std::string>(2, "Please insert a diskette or CD-ROM"));
    EXPECT_EQ(Drive1.Drive(), "d: [DATA]");
    EXPECT_EQ(Dir1.Path(), "D:\\Backups");

    // Put back in before Retry: the Refresh finds it again.
    dialogs.shown.clear();
    dialogs.onShow = [this] { fs.addDrive('e', "STICK"), fs.addFolder("E:\\Saved"); };
    dialogs.answers = {vbRetry};
    Drive1.pick(stick);
    EXPECT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(Drive1.Drive(), "e: [STICK]");
    EXPECT_EQ(Dir1.Path(), "E:\\");
}

TEST_F(Selection, AFailingFallBackLeavesBothListsAndCarriesOn) {
    Drive2.setDrive("d:");
    fs.removeDrive('d'); // Drive2 still shows d:, which has gone
    dialogs.answers = {vbCancel};
    EXPECT_NO_THROW(Drive1.setDrive("a:"));
    EXPECT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(Drive1.Drive(), "a:");
    EXPECT_EQ(Drive2.Drive(), "d: [DATA]");
    EXPECT_EQ(Dir1.Path(), "C:\\");
}

TEST_F(Selection, OtherFailuresEndSilentlyOnThePickedDrive) {
    Dir1.setPath("C:\\ICQ");
    fs.failOnce(FsOp::ListEntries, "D:\\Backups", errDeviceIO);
    Drive1.setDrive("d:");
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_EQ(Drive1.Drive(), "d: [DATA]");
    EXPECT_EQ(Dir1.Path(), "C:\\ICQ");
    EXPECT_EQ(Label1.Caption(), "ICQ Directory found !");
}

} // namespace
} // namespace ch
