// How a ZIP Backup that cannot go on stops: no messenger folder, a copy, the list file or the
// archiving library failing, a file the library cannot read, a staged copy that cannot be
// deleted. Each is retried once or explained with the file and the reason, and cleaned up.
#include "backup/zip_backup.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "azip32/azip32.h"
#include "tests/unit/backup_scene.h"
#include "tests/unit/zip_backup_checks.h"

namespace ch {
namespace {

using test::BackupScene;
using test::FsOp;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

TEST(ZipBackupFailures, RefusesWithoutAMessengerFolderAndTouchesNothing) {
    BackupScene s;
    s.Label1.setCaption("No ICQ Directory found");
    EXPECT_EQ(zipBackup(s), BackupOutcome::NoMessengerFolder);
    EXPECT_EQ(s.onlyBox().prompt, "You have not yet selected your ICQ directory");
    EXPECT_EQ(s.onlyBox().title, "Oops...");
    EXPECT_THAT(s.fs.changes(), IsEmpty());
    EXPECT_THAT(s.archiver.calls, IsEmpty());
}

TEST(ZipBackupFailures, ACopyThatFailsOnceIsRetriedWithTheWholeCopyStep) {
    BackupScene s;
    s.fs.failOnce(FsOp::CopyToTemporary, "C:\\chathoard\\a.idx", errDeviceIO);
    EXPECT_EQ(zipBackup(s), BackupOutcome::Done);
    EXPECT_EQ(s.fs.logOf({FsOp::CopyToTemporary}).size(), 4u) << s.fs.dump();
    expectDoneBox(s);
    expectNoLeftovers(s);
}

TEST(ZipBackupFailures, ACopyThatFailsTwiceStopsTheRunAndRemovesItsStagedCopies) {
    BackupScene s;
    s.fs.setLocked("C:\\ICQ\\db\\a.idx");
    EXPECT_EQ(zipBackup(s), BackupOutcome::DatabaseInUse);
    expectFailureBox(s, "in use by another program");
    expectFailureBox(s, "The archive D:\\Save\\chathoard.zip was not written.");
    EXPECT_THAT(s.archiver.calls, IsEmpty());
    expectNoLeftovers(s);

    // Nothing left behind stands in the way of the next run.
    s.fs.setLocked("C:\\ICQ\\db\\a.idx", false);
    s.dialogs.shown.clear();
    EXPECT_EQ(zipBackup(s), BackupOutcome::Done);
}

TEST(ZipBackupFailures, InAnExistingStagingFolderOneFailedCopyStopsAndOnlyThisRunsCopiesGo) {
    BackupScene s;
    s.fs.addFile("C:\\chathoard\\notes.txt", "mine");
    s.fs.failOnce(FsOp::CopyToTemporary, "C:\\chathoard\\a.idx", errDiskFull);
    EXPECT_EQ(zipBackup(s), BackupOutcome::Failed);
    expectFailureBox(s, "the disk is full");
    EXPECT_THAT(s.fs.entries("C:\\chathoard"), ElementsAre("notes.txt"));
    EXPECT_FALSE(s.fs.hasFile("C:\\Program Files\\Chathoard\\icqtemp.dat"));
}

TEST(ZipBackupFailures, AListFileThatCannotBeWrittenStopsTheRunOnItsSecondFailure) {
    BackupScene s;
    s.fs.failAlways(FsOp::WriteAll, "C:\\Program Files\\Chathoard\\icqtemp.dat",
                    errPermissionDenied);
    EXPECT_EQ(zipBackup(s), BackupOutcome::Failed);
    expectFailureBox(
        s, "The list file C:\\Program Files\\Chathoard\\icqtemp.dat could not be written.");
    expectFailureBox(s, "Reason: access was denied");
    EXPECT_THAT(s.fs.logOf({FsOp::CopyToTemporary}), IsEmpty())
        << "the list comes before the copies";
    EXPECT_THAT(s.archiver.calls, IsEmpty());
    expectNoLeftovers(s);
}

TEST(ZipBackupFailures, ALibraryFailureIsReportedCleanedUpAndKeepsTheEarlierArchive) {
    const std::pair<void (*)(test::FakeArchiver&), const char*> failures[] = {
        {[](test::FakeArchiver& a) { a.results["makeArchive"] = {AZIP_ERR_WRITE}; },
         "was not written.\r\nReason: the archive could not be written (the disk may be full"},
        {[](test::FakeArchiver& a) { a.results["makeArchive"] = {-7}; }, "unknown error (code -7)"},
        {[](test::FakeArchiver& a) { a.dllMissing(); }, "azip32.dll could not be loaded"},
        {[](test::FakeArchiver& a) { a.entryMissing("makeArchive"); },
         "azip32.dll lacks a function"},
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

TEST(ZipBackupFailures, AFileTheLibraryCouldNotReadIsNamedWhenItCanBeFound) {
    BackupScene s;
    s.archiver.results["makeArchive"] = {AZIP_ERR_SOURCE_FILE, AZIP_ERR_SOURCE_FILE};
    s.fs.failOnce(FsOp::CheckReadable, "C:\\chathoard\\a.idx", errPermissionDenied, 32);
    EXPECT_EQ(zipBackup(s), BackupOutcome::Failed);
    expectFailureBox(s, "Reason: the staged copy C:\\chathoard\\a.idx could not be read: the "
                        "file is in use by another program.");
    expectNoLeftovers(s);

    BackupScene unnamed; // every copy reads well now: it changed while it was packed
    unnamed.archiver.results["makeArchive"] = {AZIP_ERR_SOURCE_FILE};
    EXPECT_EQ(zipBackup(unnamed), BackupOutcome::Failed);
    expectFailureBox(unnamed, "Reason: one of the files to pack could not be read, or it changed");
}

// A virus scanner holding a fresh copy: the run says so at once, naming it; the copy stays
// listed as this program's, the next run deletes it (or waits for it, naming it), and then
// backs up as usual.
TEST(ZipBackupFailures, AStagedCopyThatCannotBeDeletedIsNamedAndClearedByTheNextRun) {
    auto lockStagedIndex = [](BackupScene& s) {
        s.archiver.duringAddZip = [&s] { s.fs.setLocked("C:\\chathoard\\a.idx"); };
    };
    auto nextRunSucceeds = [](BackupScene& s) {
        s.archiver.duringAddZip = nullptr;
        s.dialogs.shown.clear();
        EXPECT_EQ(zipBackup(s), BackupOutcome::Done);
        expectDoneBox(s);
        expectNoLeftovers(s);
    };
    {
        SCOPED_TRACE("fresh staging folder");
        BackupScene s;
        lockStagedIndex(s);
        EXPECT_EQ(zipBackup(s), BackupOutcome::CleanUpIncomplete);
        EXPECT_THAT(s.fs.entries("C:\\chathoard"),
                    ElementsAre("a.idx", "~chathoard-staging-folder.tmp"));
        EXPECT_EQ(s.onlyBox().title, "Clean-up incomplete");
        expectFailureBox(s, "The staged copy C:\\chathoard\\a.idx could not be deleted.");
        expectFailureBox(s, "The next backup deletes what is left.");

        s.dialogs.shown.clear();
        EXPECT_EQ(zipBackup(s), BackupOutcome::Failed) << "still held open";
        expectFailureBox(s, "still holds copies an earlier backup made and could not delete:"
                            "\r\nC:\\chathoard\\a.idx\r\n");
        EXPECT_THAT(s.archiver.entriesCalled(), ElementsAre("makeArchive"))
            << "only the first run's";

        s.fs.setLocked("C:\\chathoard\\a.idx", false);
        nextRunSucceeds(s);
    }
    {
        SCOPED_TRACE("existing staging folder");
        BackupScene s;
        s.fs.addFolder("C:\\chathoard");
        s.fs.addFile("C:\\chathoard\\notes.txt", "mine");
        lockStagedIndex(s);
        zipBackup(s);
        expectFailureBox(s, "D:\\Save\\chathoard.zip was written, but");
        expectFailureBox(s, "The staged copy C:\\chathoard\\a.idx could not be deleted.\r\n"
                            "Reason: the file is in use by another program");
        expectFailureBox(s, "The next backup deletes what is left.");
        EXPECT_EQ(s.onlyBox().title, "Clean-up incomplete");

        s.fs.setLocked("C:\\chathoard\\a.idx", false);
        s.archiver.duringAddZip = nullptr;
        s.dialogs.shown.clear();
        EXPECT_EQ(zipBackup(s), BackupOutcome::Done);
        EXPECT_THAT(s.fs.entries("C:\\chathoard"), ElementsAre("notes.txt"));
    }
}

} // namespace
} // namespace ch
