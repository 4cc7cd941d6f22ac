#include "backup/normal_backup.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/unit/backup_scene.h"

namespace ch {
namespace {

using test::BackupScene;
using test::FsOp;
using test::MemoryFileSystem;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

TEST(NormalBackup, RefusesWithoutAMessengerFolderAndWritesNothing) {
    BackupScene s;
    s.Label1.setCaption("No ICQ Directory found");
    EXPECT_EQ(s.backUp(BackupKind::Normal, "C"), BackupOutcome::NoMessengerFolder);
    const test::ShownBox& box = s.onlyBox();
    EXPECT_EQ(box.prompt, "You have not yet selected your ICQ directory");
    EXPECT_EQ(box.style, 48);
    EXPECT_EQ(box.title, "Oops...");
    EXPECT_TRUE(s.fs.changes().empty()) << s.fs.dump();
}

TEST(NormalBackup, CopiesInListOrderBetweenDriveRootsAndOverwrites) {
    BackupScene s;
    s.fs.addFile("C:\\db\\b.dat", "new b");
    s.fs.addFile("C:\\db\\a.idx", "new a");
    s.fs.addFile("D:\\b.dat", "old b");
    s.show("C:\\", "D:\\");
    EXPECT_EQ(s.backUp(BackupKind::Normal, "C"), BackupOutcome::Done);
    // A folder at a drive root already ends in a backslash; the joins add another.
    EXPECT_THAT(s.fs.logOf({FsOp::CopyToTemporary}),
                ElementsAre("copy-to-temporary C:\\\\db\\a.idx -> D:\\\\a.idx",
                            "copy-to-temporary C:\\\\db\\b.dat -> D:\\\\b.dat"));
    EXPECT_THAT(s.fs.logOf({FsOp::MoveOver}),
                ElementsAre("move-over D:\\\\~chathoard-1-1.tmp -> D:\\\\a.idx",
                            "move-over D:\\\\~chathoard-1-2.tmp -> D:\\\\b.dat"));
    EXPECT_EQ(s.fs.content("D:\\b.dat"), "new b");
    const test::ShownBox& box = s.onlyBox();
    EXPECT_EQ(box.prompt, "Your ICQ backup has been succesfully copied to: D:\\\r\n");
    EXPECT_EQ(box.style, 64);
    EXPECT_EQ(box.title, "Done !");
}

TEST(NormalBackup, AnEmptyListCopiesNothingAndStillReportsDone) {
    BackupScene s;
    s.fs.addFolder("C:\\Empty\\db");
    s.show("C:\\Empty", "D:\\Save");
    EXPECT_EQ(s.backUp(BackupKind::Normal, "C"), BackupOutcome::Done);
    EXPECT_TRUE(s.fs.changes().empty());
    EXPECT_EQ(s.onlyBox().title, "Done !");
}

// A Normal Backup's copies are the backup: each one is flushed to the disk.
TEST(NormalBackup, FlushesEveryCopy) {
    BackupScene s;
    ASSERT_EQ(s.backUp(BackupKind::Normal, "C"), BackupOutcome::Done);
    EXPECT_EQ(copyFlushes(s), std::vector<CopyFlush>(2, CopyFlush::ToDisk));
}

// Each fault hits the second of three files, a.idx, whose older backup is in the destination.
struct CopyFault {
    const char* name;
    void (*inject)(MemoryFileSystem& fs);
    const char* reason;
    BackupOutcome outcome = BackupOutcome::Failed;
};

class NormalBackupFault : public ::testing::TestWithParam<CopyFault> {};

TEST_P(NormalBackupFault, StopsAtTheFileLeavesTheDestinationAsItWasAndSaysWhyInPlainWords) {
    BackupScene s;
    s.fs.addFile("C:\\ICQ\\db\\b.dat", "more chats");
    s.fs.addFile("D:\\Save\\a.idx", "old index");
    s.show("C:\\ICQ", "D:\\Save");
    GetParam().inject(s.fs);

    EXPECT_EQ(s.backUp(BackupKind::Normal, "C"), GetParam().outcome);
    // The earlier backup stays a consistent set: no new a.dat beside the old a.idx.
    EXPECT_THAT(s.fs.entries("D:\\Save"), ElementsAre("a.idx")) << s.fs.dump();
    EXPECT_EQ(s.fs.content("D:\\Save\\a.idx"), "old index");
    const test::ShownBox& box = s.onlyBox();
    EXPECT_EQ(box.style, 48);
    EXPECT_NE(box.title, "Done !");
    EXPECT_THAT(box.prompt, HasSubstr("From: C:\\ICQ\\db\\a.idx\r\nTo: D:\\Save\\a.idx\r\n"));
    EXPECT_THAT(box.prompt, HasSubstr(GetParam().reason));
    EXPECT_THAT(
        box.prompt,
        HasSubstr("Nothing in D:\\Save was changed; the earlier backup there is as it was."));
}

// Every copy is complete and flushed, and the renames have begun when one fails: what is
// renamed stays, the rest of the temporary copies go, and the message says how far it got.
TEST(NormalBackup, ARenameThatFailsAfterAllCopiesSaysHowManyFilesWereReplaced) {
    BackupScene s;
    s.fs.addFile("D:\\Save\\a.idx", "old index");
    s.fs.failOnce(FsOp::MoveOver, "D:\\Save\\a.idx", errPermissionDenied);
    EXPECT_EQ(s.backUp(BackupKind::Normal, "C"), BackupOutcome::Failed);
    EXPECT_THAT(s.fs.entries("D:\\Save"), ElementsAre("a.dat", "a.idx")) << s.fs.dump();
    EXPECT_EQ(s.fs.content("D:\\Save\\a.idx"), "old index");
    EXPECT_THAT(s.onlyBox().prompt, HasSubstr("1 of 2 files were copied to D:\\Save; the backup "
                                              "is not complete."));
}

INSTANTIATE_TEST_SUITE_P(
    Reasons, NormalBackupFault,
    ::testing::Values(
        CopyFault{"InUse", [](MemoryFileSystem& fs) { fs.setLocked("C:\\ICQ\\db\\a.idx"); },
                  "in use by another program. If ICQ is running, close it and try again",
                  BackupOutcome::DatabaseInUse},
        CopyFault{"BackupInUse", [](MemoryFileSystem& fs) { fs.setLocked("D:\\Save\\a.idx"); },
                  "in use by another program"},
        CopyFault{"ReadOnlyBackup", [](MemoryFileSystem& fs) { fs.setReadOnly("D:\\Save\\a.idx"); },
                  "access was denied"},
        CopyFault{"DiskFull", [](MemoryFileSystem& fs) { fs.setFreeSpace('d', 7); },
                  "the disk is full"},
        CopyFault{"Vanished",
                  [](MemoryFileSystem& fs) {
                      fs.failOnce(FsOp::CopyToTemporary, "C:\\ICQ\\db\\a.idx", errFileNotFound);
                  },
                  "the file was not found"},
        CopyFault{"DriveGone",
                  [](MemoryFileSystem& fs) {
                      fs.failOnce(FsOp::CopyToTemporary, "D:\\Save\\a.idx", errDiskNotReady);
                  },
                  "the drive is not ready"}),
    [](const ::testing::TestParamInfo<CopyFault>& info) { return std::string(info.param.name); });

} // namespace
} // namespace ch
