// Clearing what a killed backup left: only our own names go, and a file in use stays.
#include "backup/leftovers.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "azip32/temporary_name.h"
#include "backup/normal_backup.h"
#include "backup/zip_backup.h"
#include "tests/unit/backup_scene.h"

namespace ch {
namespace {

using test::BackupScene;
using ::testing::ElementsAre;
using ::testing::UnorderedElementsAre;

TEST(Leftovers, RecognisesOnlyTheExactTemporaryNames) {
    for (const char* name : {"~chathoard-264-12.tmp", "~CHATHOARD-1-2.TMP"})
        EXPECT_TRUE(isInterruptedCopyName(name)) << name;
    for (const char* name :
         {"~chathoard-.tmp", "~chathoard-12.tmp", "~chathoard-1-2.tmp.bak", "~chathoard-a-2.tmp",
          "x~chathoard-1-2.tmp", "~chathoard-1--2.tmp", "~chathoard-notes.tmp"})
        EXPECT_FALSE(isInterruptedCopyName(name)) << name;

    for (const char* name : {"chathoard.zip.azip0.tmp", "CHATHOARD.ZIP.azip17.tmp"})
        EXPECT_TRUE(isInterruptedArchiveName(name, "chathoard.zip")) << name;
    for (const char* name : {"chathoard.zip.azip.tmp", "chathoard.zip", "other.zip.azip0.tmp",
                             "chathoard.zip.azip0.tmpx", "chathoard.zip.azip0a.tmp"})
        EXPECT_FALSE(isInterruptedArchiveName(name, "chathoard.zip")) << name;
}

// The clean-up asks the layers that make the names, so it recognises whatever they make.
TEST(Leftovers, RecognisesTheNamesTheCopyLayerAndTheLibraryMake) {
    EXPECT_TRUE(isInterruptedCopyName(copyTemporaryName(4294967295ul, 4294967295u)));
    const std::string archive = "chathoard-2026-01-02-030405.zip";
    const std::string temporary = azip::temporaryArchivePath("D:\\Backups\\" + archive, 99);
    EXPECT_TRUE(isInterruptedArchiveName(temporary.substr(11), archive));
    EXPECT_TRUE(
        wildcardMatch(azip::temporaryArchivePattern("chathoard-*.zip"), temporary.substr(11)));
}

// A ZIP backup killed after writing its list: staged copies, a copy under way, a half-written
// archive and the list file itself remain, beside files that are not ours.
void leaveKilledZipBackup(BackupScene& s) {
    s.fs.addFile(
        "C:\\Program Files\\Chathoard\\icqtemp.dat",
        "C:\\chathoard\\a.dat\r\nc:\\CHATHOARD\\old.idx\r\nC:\\chathoard\\notes.txt\r\n"
        "C:\\Windows\\system.dat\r\nC:\\chathoard\\sub\\x.dat\r\nD:\\chathoard\\b.dat\r\n");
    for (const char* name : {"a.dat", "old.idx", "notes.txt", "~chathoard-264-12.tmp"})
        s.fs.addFile(std::string("C:\\chathoard\\") + name, "left");
    s.fs.addFile("C:\\chathoard\\sub\\x.dat", "mine");
    s.fs.addFile("C:\\Windows\\system.dat", "system");
    s.fs.addFile("D:\\chathoard\\b.dat", "another staging drive");
    s.fs.addFile("D:\\Save\\chathoard.zip", "earlier archive");
    s.fs.addFile("D:\\Save\\chathoard.zip.azip0.tmp", "half an archive");
    s.fs.addFile("D:\\Save\\chathoard.zip.azip-notes.tmp", "mine");
}

TEST(Leftovers, AZipBackupClearsAKilledRunsFilesAndNothingElse) {
    BackupScene s;
    leaveKilledZipBackup(s);
    EXPECT_EQ(s.backUp(BackupKind::Zip, "C"), BackupOutcome::Done);
    EXPECT_EQ(s.archiver.listFileAtAddZip, "C:\\chathoard\\a.dat\r\nC:\\chathoard\\a.idx\r\n");
    EXPECT_THAT(s.fs.entries("C:\\chathoard"), ElementsAre("notes.txt", "sub")) << s.fs.dump();
    EXPECT_TRUE(s.fs.hasFile("C:\\chathoard\\sub\\x.dat"));
    EXPECT_TRUE(s.fs.hasFile("C:\\Windows\\system.dat"));
    EXPECT_TRUE(s.fs.hasFile("D:\\chathoard\\b.dat"));
    EXPECT_THAT(s.fs.entries("D:\\Save"),
                UnorderedElementsAre("chathoard.zip", "chathoard.zip.azip-notes.tmp"));
    EXPECT_FALSE(s.fs.hasFile("C:\\Program Files\\Chathoard\\icqtemp.dat"));
}

// Stopped after its list and its first copy: the list names that copy, the mark the folder.
TEST(Leftovers, AZipBackupStoppedWhileCopyingLeavesNothingThatStopsTheNext) {
    BackupScene s;
    s.fs.addFile("C:\\Program Files\\Chathoard\\icqtemp.dat",
                 "C:\\chathoard\\a.dat\r\nC:\\chathoard\\a.idx\r\n");
    s.fs.addFile("C:\\chathoard\\a.dat", "staged");
    s.fs.addFile("C:\\chathoard\\~chathoard-staging-folder.tmp");
    EXPECT_EQ(s.backUp(BackupKind::Zip, "C"), BackupOutcome::Done);
    EXPECT_FALSE(s.fs.hasFolder("C:\\chathoard")) << s.fs.dump();
    EXPECT_FALSE(s.fs.hasFile("C:\\Program Files\\Chathoard\\icqtemp.dat"));
}

TEST(Leftovers, AFileInUseStaysAndTheBackupStillSucceeds) {
    BackupScene s;
    leaveKilledZipBackup(s);
    s.fs.setLocked("C:\\chathoard\\~chathoard-264-12.tmp");
    s.fs.setLocked("D:\\Save\\chathoard.zip.azip0.tmp");
    EXPECT_EQ(s.backUp(BackupKind::Zip, "C"), BackupOutcome::Done);
    EXPECT_TRUE(s.fs.hasFile("C:\\chathoard\\~chathoard-264-12.tmp"));
    EXPECT_TRUE(s.fs.hasFile("D:\\Save\\chathoard.zip.azip0.tmp"));
    EXPECT_FALSE(s.fs.hasFile("C:\\chathoard\\old.idx"));
}

TEST(Leftovers, ABrokenStagingDriveOrListDoesNotStopTheCheck) {
    BackupScene s;
    s.fs.addFile("C:\\Program Files\\Chathoard\\icqtemp.dat", std::string("\0\xff:\\\r\n\n", 7));
    EXPECT_EQ(s.backUp(BackupKind::Zip, "DE"), BackupOutcome::Failed);
    EXPECT_THAT(s.dialogs.shown.at(0).prompt, ::testing::HasSubstr("DE:\\chathoard"));
}

// A Normal Backup made into the staging folder after a ZIP backup was stopped there: the
// stopped run's list must not make the next ZIP backup delete the Normal Backup's files.
TEST(Leftovers, ANormalBackupIntoTheStagingFolderIsNotTakenForStagedCopies) {
    BackupScene s;
    s.fs.addFile("C:\\Program Files\\Chathoard\\icqtemp.dat",
                 "C:\\chathoard\\a.dat\r\nC:\\chathoard\\a.idx\r\n");
    s.fs.addFile("C:\\chathoard\\a.dat", "staged");
    s.show("C:\\ICQ", "C:\\chathoard");
    EXPECT_EQ(s.backUp(BackupKind::Normal, "c"), BackupOutcome::Done);
    EXPECT_FALSE(s.fs.hasFile("C:\\Program Files\\Chathoard\\icqtemp.dat"));

    s.show("C:\\ICQ", "D:\\Save");
    EXPECT_EQ(s.backUp(BackupKind::Zip, "C"), BackupOutcome::Failed);
    EXPECT_EQ(s.fs.content("C:\\chathoard\\a.dat"), "chats");
    EXPECT_EQ(s.fs.content("C:\\chathoard\\a.idx"), "index");
}

// A scanner holds one staged copy past the clean-up. The list then names that copy alone, as
// it was; a Normal Backup into the staging folder waits for it; and a file of the user's that
// takes its name is not taken for it.
TEST(Leftovers, AClaimStandsForTheVeryCopyItWasMadeForAndNothingElse) {
    BackupScene s;
    const std::string list = "C:\\Program Files\\Chathoard\\icqtemp.dat";
    s.fs.addFile("C:\\ICQ\\db\\a.dat", "chats", 1'200'000'000);
    s.archiver.duringAddZip = [&] { s.fs.setLocked("C:\\chathoard\\a.dat"); };
    EXPECT_EQ(s.backUp(BackupKind::Zip, "C"), BackupOutcome::CleanUpIncomplete);
    EXPECT_EQ(s.fs.content(list), "C:\\chathoard\\a.dat\t5\t1200000000\r\n");

    s.dialogs.shown.clear();
    s.show("C:\\ICQ", "C:\\chathoard");
    EXPECT_EQ(s.backUp(BackupKind::Normal, "C"), BackupOutcome::Failed);
    EXPECT_THAT(s.onlyBox().prompt,
                ::testing::StartsWith("The backup folder C:\\chathoard is the ZIP Backup's "
                                      "staging folder, and it still holds copies an earlier ZIP "
                                      "Backup made and could not delete yet:\r\n"
                                      "C:\\chathoard\\a.dat\r\n"));
    EXPECT_FALSE(s.fs.hasFile("C:\\chathoard\\a.idx"));

    // The user puts a file of the same name there: newer, so not the copy that was listed.
    s.fs.setLocked("C:\\chathoard\\a.dat", false);
    s.fs.addFile("C:\\chathoard\\a.dat", "mine!", 1'300'000'000);
    s.show("C:\\ICQ", "D:\\Save");
    EXPECT_EQ(s.backUp(BackupKind::Zip, "C"), BackupOutcome::Failed);
    EXPECT_EQ(s.fs.content("C:\\chathoard\\a.dat"), "mine!");
    EXPECT_FALSE(s.fs.hasFile(list));
}

// A list that named copies since deleted: only the one still there keeps a claim.
TEST(Leftovers, TheListKeepsOnlyTheCopiesStillThere) {
    BackupScene s;
    const std::string list = "C:\\Program Files\\Chathoard\\icqtemp.dat";
    s.fs.addFile(list, "C:\\chathoard\\a.dat\r\nC:\\chathoard\\a.idx\r\n");
    s.fs.addFile("C:\\chathoard\\a.dat", "staged", 1'100'000'000);
    s.fs.setLocked("C:\\chathoard\\a.dat");
    EXPECT_THAT(removeInterruptedStaging(s.fs, list, "C:\\chathoard"),
                ElementsAre("C:\\chathoard\\a.dat"));
    EXPECT_EQ(s.fs.content(list), "C:\\chathoard\\a.dat\t6\t1100000000\r\n");

    s.fs.setLocked("C:\\chathoard\\a.dat", false);
    s.fs.addFile("C:\\chathoard\\a.idx", "a Normal Backup's");
    EXPECT_THAT(removeInterruptedStaging(s.fs, list, "C:\\chathoard"), ::testing::IsEmpty());
    EXPECT_THAT(s.fs.entries("C:\\chathoard"), ElementsAre("a.idx"));
    EXPECT_FALSE(s.fs.hasFile(list));
}

TEST(Leftovers, ANormalBackupClearsKilledCopiesInTheDestinationOnly) {
    BackupScene s;
    s.fs.addFile("D:\\Save\\~chathoard-31-4.tmp", "half a copy");
    s.fs.addFile("D:\\Save\\~chathoard-notes.tmp", "mine");
    s.fs.addFile("C:\\ICQ\\db\\~chathoard-31-5.tmp", "not the destination");
    EXPECT_EQ(s.backUp(BackupKind::Normal, "C"), BackupOutcome::Done);
    EXPECT_THAT(s.fs.entries("D:\\Save"), ElementsAre("a.dat", "a.idx", "~chathoard-notes.tmp"));
    EXPECT_TRUE(s.fs.hasFile("C:\\ICQ\\db\\~chathoard-31-5.tmp"));
}

} // namespace
} // namespace ch
