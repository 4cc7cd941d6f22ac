// What the ZIP Backup puts in its archive and in what order: the database files are staged,
// listed and archived whole, then the staged copies and the list file go, whatever the paths.
#include "backup/zip_backup.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/unit/backup_scene.h"
#include "tests/unit/zip_backup_checks.h"

namespace ch {
namespace {

using test::BackupScene;
using test::FsOp;
using test::kStagedList;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

TEST(ZipBackupArchive, StagesListsArchivesThenCleansUpInThatOrder) {
    BackupScene s;
    size_t changesAtAddZip = 0;
    s.archiver.duringAddZip = [&] { changesAtAddZip = s.fs.changes().size(); };
    EXPECT_EQ(zipBackup(s), BackupOutcome::Done);

    EXPECT_EQ(s.archiver.listFileAtAddZip, kStagedList);
    for (const auto& [path, existed] : s.archiver.listedAtAddZip)
        EXPECT_TRUE(existed) << path;
    EXPECT_THAT(s.archiver.entriesCalled(), ElementsAre("makeArchive"));
    EXPECT_EQ(s.archiver.requests[0].archivePath, "D:\\Save\\chathoard.zip");
    EXPECT_EQ(s.archiver.requests[0].listFilePath, "C:\\Program Files\\Chathoard\\icqtemp.dat");
    EXPECT_THAT(s.fs.changes(),
                ElementsAre("make-folder C:\\chathoard",
                            "write C:\\chathoard\\~chathoard-staging-folder.tmp",
                            "write C:\\Program Files\\Chathoard\\icqtemp.dat",
                            "write C:\\Program Files\\Chathoard\\icqtemp.dat",
                            "copy-to-temporary C:\\ICQ\\db\\a.dat -> C:\\chathoard\\a.dat",
                            "move-over C:\\chathoard\\~chathoard-1-1.tmp -> C:\\chathoard\\a.dat",
                            "copy-to-temporary C:\\ICQ\\db\\a.idx -> C:\\chathoard\\a.idx",
                            "move-over C:\\chathoard\\~chathoard-1-2.tmp -> C:\\chathoard\\a.idx",
                            "delete C:\\chathoard\\a.dat", "delete C:\\chathoard\\a.idx",
                            "delete C:\\chathoard\\~chathoard-staging-folder.tmp",
                            "remove-folder C:\\chathoard",
                            "delete C:\\Program Files\\Chathoard\\icqtemp.dat"));
    EXPECT_EQ(changesAtAddZip, 8u) << "the library must run after the copies are made";
    expectDoneBox(s);
    expectNoLeftovers(s);
    EXPECT_TRUE(s.fs.hasFile("D:\\Save\\chathoard.zip"));
}

// With a library that asks for each copy as it packs, a copy is made when it is wanted and
// goes once it is packed, so the staging folder holds only the copies ahead of the packing. A
// copy that fails starts the packing again, once; a copy that will not go is left to the end.
TEST(ZipBackupArchive, OnDemandEachCopyComesWhenWantedAndGoesOncePacked) {
    BackupScene s;
    s.archiver.onDemandEntry = true;
    EXPECT_EQ(zipBackup(s), BackupOutcome::Done);
    EXPECT_EQ(s.archiver.listFileAtAddZip, kStagedList);
    for (const auto& [path, existed] : s.archiver.listedAtAddZip)
        EXPECT_TRUE(existed) << path;
    // Each copy is read through the handle that wrote it.
    EXPECT_THAT(s.archiver.handedOver, ElementsAre(0u, 1u));
    EXPECT_THAT(
        s.fs.changes(),
        ElementsAre(
            "make-folder C:\\chathoard", "write C:\\chathoard\\~chathoard-staging-folder.tmp",
            "write C:\\Program Files\\Chathoard\\icqtemp.dat",
            "write C:\\Program Files\\Chathoard\\icqtemp.dat",
            "copy-to-new C:\\ICQ\\db\\a.dat -> C:\\chathoard\\a.dat", "delete C:\\chathoard\\a.dat",
            "copy-to-new C:\\ICQ\\db\\a.idx -> C:\\chathoard\\a.idx", "delete C:\\chathoard\\a.idx",
            "delete C:\\chathoard\\~chathoard-staging-folder.tmp", "remove-folder C:\\chathoard",
            "delete C:\\Program Files\\Chathoard\\icqtemp.dat"));
    expectDoneBox(s);
    expectNoLeftovers(s);
    EXPECT_EQ(s.fs.content("D:\\Save\\chathoard.zip"), "a.dat\na.idx\n");

    BackupScene again;
    again.archiver.onDemandEntry = true;
    again.fs.failOnce(FsOp::CopyToNew, "C:\\chathoard\\a.idx", errDeviceIO);
    again.fs.failOnce(FsOp::DeleteFile, "C:\\chathoard\\a.dat", errPermissionDenied);
    EXPECT_EQ(zipBackup(again), BackupOutcome::Done);
    EXPECT_EQ(again.archiver.requests.size(), 2u);
    // The copy that would not go is made again over itself, the others new.
    EXPECT_EQ(again.fs.logOf({FsOp::CopyToNew}).size(), 3u) << again.fs.dump();
    EXPECT_EQ(again.fs.logOf({FsOp::CopyToTemporary}).size(), 1u) << again.fs.dump();
    expectDoneBox(again);
    expectNoLeftovers(again);

    BackupScene locked;
    locked.archiver.onDemandEntry = true;
    locked.fs.setLocked("C:\\ICQ\\db\\a.idx");
    EXPECT_EQ(zipBackup(locked), BackupOutcome::DatabaseInUse);
    expectFailureBox(locked, "in use by another program");
    EXPECT_EQ(locked.archiver.requests.size(), 2u);
    EXPECT_FALSE(locked.fs.hasFile("D:\\Save\\chathoard.zip"));
    expectNoLeftovers(locked);
}

// With a library that reads a file while it is still being written, a large copy is handed
// over as soon as it is begun, a small one made; also in a run that tells no progress, which
// has no other use for the sizes. Each is read to its end and goes once packed.
TEST(ZipBackupArchive, OnlyALargeCopyIsPackedWhileItIsMade) {
    BackupScene s;
    s.archiver.onDemandEntry = s.archiver.growingEntry = true;
    s.fs.copiesMadeAhead = true;
    s.fs.addFile("C:\\ICQ\\db\\a.dat", std::string(size_t{4} << 20, 'c'));
    EXPECT_EQ(zipBackup(s), BackupOutcome::Done);
    EXPECT_THAT(s.fs.takenBegun, ElementsAre("C:\\chathoard\\a.dat"));
    EXPECT_THAT(s.archiver.handedOver, ElementsAre(0u, 1u));
    expectDoneBox(s);
    expectNoLeftovers(s);
}

TEST(ZipBackupArchive, PassesAndShowsDriveRootPathsUnchanged) {
    BackupScene s;
    s.show("C:\\ICQ", "D:\\");
    s.App.Path = "C:\\";
    EXPECT_EQ(zipBackup(s), BackupOutcome::Done);
    EXPECT_EQ(s.archiver.requests.at(0).archivePath, "D:\\\\chathoard.zip");
    EXPECT_EQ(s.archiver.requests.at(0).listFilePath, "C:\\\\icqtemp.dat");
    EXPECT_THAT(s.onlyBox().prompt, HasSubstr("copied to: D:\\\\chathoard.zip\r\n\r\nYou can"));
    EXPECT_FALSE(s.fs.hasFile("C:\\icqtemp.dat"));
}

TEST(ZipBackupArchive, AnEmptyListMakesAnArchiveFromAnEmptyListFileAndRemovesTheFolder) {
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

// Staged copies are deleted once the archive is made, so they skip the flush that a Normal
// Backup's copies get.
TEST(ZipBackupArchive, StagesWithoutFlushingAndStillArchivesEveryByte) {
    BackupScene s;
    std::vector<std::string> staged;
    s.archiver.duringAddZip = [&] {
        staged = {s.fs.content("C:\\chathoard\\a.dat"), s.fs.content("C:\\chathoard\\a.idx")};
    };
    ASSERT_EQ(s.backUp(BackupKind::Zip, "C"), BackupOutcome::Done);
    EXPECT_EQ(copyFlushes(s), std::vector<CopyFlush>(2, CopyFlush::NotNeeded));
    EXPECT_EQ(staged, (std::vector<std::string>{"chats", "index"}));
}

} // namespace
} // namespace ch
