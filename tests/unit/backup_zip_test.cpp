#include "backup/zip_backup.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "azip32/azip32.h"
#include "tests/unit/backup_scene.h"

namespace ch {
namespace {

using test::BackupScene;
using test::FsOp;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

const char* const kDonePrompt = "Your ICQ backup has been succesfully copied to: "
                                "D:\\Save\\chathoard.zip\r\n\r\n"
                                "You can unzip the files by using Winzip or pkunzip.exe";
const char* const kStagedList = "C:\\chathoard\\a.dat\r\nC:\\chathoard\\a.idx\r\n";

BackupOutcome zipBackup(BackupScene& s, const std::string& DefaultDrive = "C") {
    return Command1_Click(s.sources(), DefaultDrive, s.services);
}

void expectDoneBox(const BackupScene& s) {
    const test::ShownBox& box = s.onlyBox();
    EXPECT_EQ(box.prompt, kDonePrompt);
    EXPECT_EQ(box.style, 64);
    EXPECT_EQ(box.title, "Done !");
}

void expectFailureBox(const BackupScene& s, const std::string& what) {
    const test::ShownBox& box = s.onlyBox();
    EXPECT_EQ(box.style, 48);
    EXPECT_NE(box.title, "Done !");
    EXPECT_THAT(box.prompt, HasSubstr(what));
}

// Nothing of the run is left but what it was asked to write.
void expectNoLeftovers(BackupScene& s) {
    EXPECT_FALSE(s.fs.hasFolder("C:\\chathoard")) << s.fs.dump();
    EXPECT_FALSE(s.fs.hasFile("C:\\Program Files\\Chathoard\\icqtemp.dat")) << s.fs.dump();
}

TEST(ZipBackup, RefusesWithoutAMessengerFolderAndTouchesNothing) {
    BackupScene s;
    s.Label1.setCaption("No ICQ Directory found");
    EXPECT_EQ(zipBackup(s), BackupOutcome::NoMessengerFolder);
    EXPECT_EQ(s.onlyBox().prompt, "You have not yet selected your ICQ directory");
    EXPECT_EQ(s.onlyBox().title, "Oops...");
    EXPECT_THAT(s.fs.changes(), IsEmpty());
    EXPECT_THAT(s.archiver.calls, IsEmpty());
}

TEST(ZipBackup, StagesListsArchivesThenCleansUpInThatOrder) {
    BackupScene s;
    size_t changesAtAddZip = 0;
    s.archiver.duringAddZip = [&] { changesAtAddZip = s.fs.changes().size(); };
    EXPECT_EQ(zipBackup(s), BackupOutcome::Done);

    EXPECT_EQ(s.archiver.listFileAtAddZip, kStagedList);
    for (const auto& [path, existed] : s.archiver.listedAtAddZip)
        EXPECT_TRUE(existed) << path;
    EXPECT_THAT(s.archiver.entriesCalled(),
                ElementsAre("addZIP_ArchiveName", "addZIP_IncludeListFile", "addZIP"));
    EXPECT_EQ(s.archiver.calls[0].argument, "D:\\Save\\chathoard.zip");
    EXPECT_EQ(s.archiver.calls[1].argument, "C:\\Program Files\\Chathoard\\icqtemp.dat");
    EXPECT_THAT(
        s.fs.changes(),
        ElementsAre(
            "make-folder C:\\chathoard", "write C:\\chathoard\\~chathoard-staging-folder.tmp",
            "write C:\\Program Files\\Chathoard\\icqtemp.dat",
            "write C:\\Program Files\\Chathoard\\icqtemp.dat",
            "copy C:\\ICQ\\db\\a.dat -> C:\\chathoard\\a.dat",
            "copy C:\\ICQ\\db\\a.idx -> C:\\chathoard\\a.idx", "delete C:\\chathoard\\a.dat",
            "delete C:\\chathoard\\a.idx", "delete C:\\chathoard\\~chathoard-staging-folder.tmp",
            "remove-folder C:\\chathoard", "delete C:\\Program Files\\Chathoard\\icqtemp.dat"));
    EXPECT_EQ(changesAtAddZip, 6u) << "the library must run after the copies are made";
    expectDoneBox(s);
    expectNoLeftovers(s);
    EXPECT_TRUE(s.fs.hasFile("D:\\Save\\chathoard.zip"));
}

TEST(ZipBackup, UsesAnExistingStagingFolderWithoutTouchingItsOtherFiles) {
    // The program itself installed in the staging folder: its files are not archived and stay.
    BackupScene s;
    s.App.Path = "C:\\chathoard";
    s.fs.addFile("C:\\chathoard\\chathoard.exe", "program");
    EXPECT_EQ(zipBackup(s), BackupOutcome::Done);
    EXPECT_EQ(s.archiver.listFileAtAddZip, kStagedList);
    EXPECT_THAT(s.fs.entries("C:\\chathoard"), ElementsAre("chathoard.exe"));
    EXPECT_EQ(s.fs.content("C:\\chathoard\\chathoard.exe"), "program");
    expectDoneBox(s);
}

TEST(ZipBackup, ACopyThatFailsOnceIsRetriedWithTheWholeCopyStep) {
    BackupScene s;
    s.fs.failOnce(FsOp::Copy, "C:\\chathoard\\a.idx", errDeviceIO);
    EXPECT_EQ(zipBackup(s), BackupOutcome::Done);
    EXPECT_EQ(s.fs.logOf({FsOp::Copy}).size(), 4u) << s.fs.dump();
    expectDoneBox(s);
    expectNoLeftovers(s);
}

TEST(ZipBackup, ACopyThatFailsTwiceStopsTheRunAndRemovesItsStagedCopies) {
    BackupScene s;
    s.fs.setLocked("C:\\ICQ\\db\\a.idx");
    EXPECT_EQ(zipBackup(s), BackupOutcome::Failed);
    expectFailureBox(s, "in use by another program");
    expectFailureBox(s, "The archive D:\\Save\\chathoard.zip was not written.");
    EXPECT_THAT(s.archiver.calls, IsEmpty());
    expectNoLeftovers(s);

    // Nothing left behind stands in the way of the next run.
    s.fs.setLocked("C:\\ICQ\\db\\a.idx", false);
    s.dialogs.shown.clear();
    EXPECT_EQ(zipBackup(s), BackupOutcome::Done);
}

TEST(ZipBackup, InAnExistingStagingFolderOneFailedCopyStopsAndOnlyThisRunsCopiesGo) {
    BackupScene s;
    s.fs.addFile("C:\\chathoard\\notes.txt", "mine");
    s.fs.failOnce(FsOp::Copy, "C:\\chathoard\\a.idx", errDiskFull);
    EXPECT_EQ(zipBackup(s), BackupOutcome::Failed);
    expectFailureBox(s, "the disk is full");
    EXPECT_THAT(s.fs.entries("C:\\chathoard"), ElementsAre("notes.txt"));
    EXPECT_FALSE(s.fs.hasFile("C:\\Program Files\\Chathoard\\icqtemp.dat"));
}

TEST(ZipBackup, AListFileThatCannotBeWrittenStopsTheRunOnItsSecondFailure) {
    BackupScene s;
    s.fs.failAlways(FsOp::WriteAll, "C:\\Program Files\\Chathoard\\icqtemp.dat",
                    errPermissionDenied);
    EXPECT_EQ(zipBackup(s), BackupOutcome::Failed);
    expectFailureBox(
        s, "The list file C:\\Program Files\\Chathoard\\icqtemp.dat could not be written.");
    expectFailureBox(s, "Reason: access was denied");
    EXPECT_THAT(s.fs.logOf({FsOp::Copy}), IsEmpty()) << "the list comes before the copies";
    EXPECT_THAT(s.archiver.calls, IsEmpty());
    expectNoLeftovers(s);
}

TEST(ZipBackup, ALibraryFailureIsReportedCleanedUpAndKeepsTheEarlierArchive) {
    const std::pair<void (*)(test::FakeArchiver&), const char*> failures[] = {
        {[](test::FakeArchiver& a) { a.results["addZIP"] = {AZIP_ERR_WRITE}; },
         "was not written.\r\nReason: the archive could not be written (the disk may be full"},
        {[](test::FakeArchiver& a) { a.results["addZIP"] = {-7}; }, "unknown error (code -7)"},
        {[](test::FakeArchiver& a) { a.dllMissing(); }, "azip32.dll could not be loaded"},
        {[](test::FakeArchiver& a) { a.entryMissing("addZIP"); }, "azip32.dll lacks a function"},
    };
    for (const auto& [fail, reason] : failures) {
        SCOPED_TRACE(reason);
        BackupScene s;
        s.fs.addFile("D:\\Save\\chathoard.zip", "earlier archive");
        fail(s.archiver);
        EXPECT_EQ(zipBackup(s), BackupOutcome::Failed);
        expectFailureBox(s, "The archive D:\\Save\\chathoard.zip was not written.");
        expectFailureBox(s, reason);
        EXPECT_EQ(s.fs.content("D:\\Save\\chathoard.zip"), "earlier archive");
        expectNoLeftovers(s);
    }
}

TEST(ZipBackup, AFileTheLibraryCouldNotReadIsNamedWhenItCanBeFound) {
    BackupScene s;
    s.archiver.results["addZIP"] = {AZIP_ERR_SOURCE_FILE, AZIP_ERR_SOURCE_FILE};
    s.fs.failOnce(FsOp::CheckReadable, "C:\\chathoard\\a.idx", errPermissionDenied, 32);
    EXPECT_EQ(zipBackup(s), BackupOutcome::Failed);
    expectFailureBox(s, "Reason: the staged copy C:\\chathoard\\a.idx could not be read: the "
                        "file is in use by another program.");
    expectNoLeftovers(s);

    BackupScene unnamed; // every copy reads well now: it changed while it was packed
    unnamed.archiver.results["addZIP"] = {AZIP_ERR_SOURCE_FILE};
    EXPECT_EQ(zipBackup(unnamed), BackupOutcome::Failed);
    expectFailureBox(unnamed, "Reason: one of the files to pack could not be read, or it changed");
}

TEST(ZipBackup, PassesAndShowsDriveRootPathsUnchanged) {
    BackupScene s;
    s.show("C:\\ICQ", "D:\\");
    s.App.Path = "C:\\";
    EXPECT_EQ(zipBackup(s), BackupOutcome::Done);
    EXPECT_EQ(s.archiver.calls.at(0).argument, "D:\\\\chathoard.zip");
    EXPECT_EQ(s.archiver.calls.at(1).argument, "C:\\\\icqtemp.dat");
    EXPECT_THAT(s.onlyBox().prompt, HasSubstr("copied to: D:\\\\chathoard.zip\r\n\r\nYou can"));
    EXPECT_FALSE(s.fs.hasFile("C:\\icqtemp.dat"));
}

TEST(ZipBackup, AStagingDriveThatNamesNoFolderIsExplainedAndNothingIsWritten) {
    for (const std::string drive : {"D:", "DE", "", "Q"}) {
        SCOPED_TRACE("DefaultDrive=" + drive);
        BackupScene s;
        EXPECT_EQ(zipBackup(s, drive), BackupOutcome::Failed);
        expectFailureBox(s, "The staging folder " + drive +
                                ":\\chathoard could not be created."
                                "\r\nReason: there is no such drive, or the path is not valid.");
        expectFailureBox(
            s, "defaultdrive.ini in the program folder (C:\\Program Files\\Chathoard\\defaultdrive."
               "ini), which should hold one drive letter");
        EXPECT_THAT(s.archiver.calls, IsEmpty());
        EXPECT_THAT(s.fs.entries("C:\\"), ElementsAre("ICQ", "Program Files"));
        EXPECT_THAT(s.fs.entries("D:\\"), ElementsAre("Save"));
    }
}

TEST(ZipBackup, AnEmptyListMakesAnArchiveFromAnEmptyListFileAndRemovesTheFolder) {
    BackupScene s;
    s.fs.addFolder("C:\\Empty\\db");
    s.show("C:\\Empty", "D:\\Save");
    std::string listAtAddZip = "none";
    s.archiver.duringAddZip = [&] {
        listAtAddZip = s.fs.content("C:\\Program Files\\Chathoard\\icqtemp.dat");
    };
    EXPECT_EQ(zipBackup(s), BackupOutcome::Done);
    EXPECT_EQ(listAtAddZip, "");
    expectDoneBox(s);
    expectNoLeftovers(s);
}

TEST(ZipBackup, AStagedCopyThatCannotBeDeletedIsLeftOnceThenReported) {
    auto lockStagedIndex = [](BackupScene& s) {
        s.archiver.duringAddZip = [&s] { s.fs.setLocked("C:\\chathoard\\a.idx"); };
    };
    {
        SCOPED_TRACE("fresh staging folder: the run's catch absorbs it");
        BackupScene s;
        lockStagedIndex(s);
        EXPECT_EQ(zipBackup(s), BackupOutcome::Done);
        EXPECT_THAT(s.fs.entries("C:\\chathoard"),
                    ElementsAre("a.idx", "~chathoard-staging-folder.tmp"));
        EXPECT_FALSE(s.fs.hasFile("C:\\Program Files\\Chathoard\\icqtemp.dat"));
        expectDoneBox(s);
    }
    {
        SCOPED_TRACE("existing staging folder: the catch is spent");
        BackupScene s;
        s.fs.addFolder("C:\\chathoard");
        lockStagedIndex(s);
        EXPECT_EQ(zipBackup(s), BackupOutcome::Failed);
        expectFailureBox(s, "D:\\Save\\chathoard.zip was written, but");
        expectFailureBox(s, "The staged copy C:\\chathoard\\a.idx could not be deleted.");
        EXPECT_EQ(s.onlyBox().title, "Clean-up incomplete");
        EXPECT_FALSE(s.fs.hasFile("C:\\Program Files\\Chathoard\\icqtemp.dat"));
    }
}

// A Normal Backup once made into C:\chathoard, the folder ZIP Backup stages in: its files are
// neither replaced by staged copies nor deleted with them, and the run writes nothing at all.
TEST(ZipBackup, SameNamedFilesInTheStagingFolderStopTheRunBeforeAnythingIsWritten) {
    BackupScene s;
    s.fs.addFile("C:\\chathoard\\a.dat", "my backup");
    s.fs.addFile("C:\\chathoard\\a.idx", "my index");
    EXPECT_EQ(zipBackup(s), BackupOutcome::Failed);
    EXPECT_THAT(s.fs.changes(), IsEmpty()) << s.fs.dump();
    EXPECT_THAT(s.archiver.calls, IsEmpty());
    EXPECT_EQ(s.fs.content("C:\\chathoard\\a.dat"), "my backup");
    EXPECT_EQ(s.fs.content("C:\\chathoard\\a.idx"), "my index");
    expectFailureBox(s, "The staging folder C:\\chathoard already holds files named like the "
                        "database files:\r\nC:\\chathoard\\a.dat\r\nC:\\chathoard\\a.idx\r\n");
    expectFailureBox(s, "Move them elsewhere, or set another staging drive in defaultdrive.ini");
    expectFailureBox(s, "The archive D:\\Save\\chathoard.zip was not written.");
}

TEST(ZipBackup, AStagingFolderThatWasThereBeforeTheRunStays) {
    BackupScene s;
    s.fs.addFolder("C:\\chathoard");
    EXPECT_EQ(zipBackup(s), BackupOutcome::Done);
    EXPECT_TRUE(s.fs.hasFolder("C:\\chathoard")) << s.fs.dump();
    EXPECT_THAT(s.fs.entries("C:\\chathoard"), IsEmpty());
}

} // namespace
} // namespace ch
