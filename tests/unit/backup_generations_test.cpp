#include "backup/generations.h"

#include <gtest/gtest.h>

#include "app/backup_messages.h"
#include "tests/unit/backup_scene.h"

namespace ch {
namespace {

using test::FsOp;
constexpr auto npos = std::string::npos;

struct Generations : ::testing::Test, test::BackupScene {
    const std::string stamp = "2026-12-07-030000";
    const std::string newArchive = "D:\\Save\\chathoard-2026-12-07-030000.zip";

    BackupOutcome zip(int keep) { return backUp(BackupKind::Zip, "C", keep, stamp); }
    BackupOutcome normal(int keep) { return backUp(BackupKind::Normal, "C", keep, stamp); }
    const test::ShownBox& lastBox() const { return dialogs.shown.back(); }
};

TEST(GenerationNames, OnlyTheExactFormsAreGenerations) {
    EXPECT_EQ(generationStamp("2026-12-07 03:04:05"), "2026-12-07-030405");
    EXPECT_EQ(generationStamp("07.12.2026 03:04"), "");
    EXPECT_TRUE(isGenerationArchiveName("chathoard-2026-12-07-030405.zip"));
    EXPECT_TRUE(isGenerationFolderName("2026-12-07-030405"));
    for (const char* name : {"chathoard.zip", "chathoard-2026-12-07-030405.zip.bak",
                             "chathoard-2026-12-07-03040.zip", "chathoard-2026-12-07-0304x5.zip",
                             "old chathoard-2026-12-07-030405.zip", "chathoard-2026-12-07.zip"})
        EXPECT_FALSE(isGenerationArchiveName(name)) << name;
    for (const char* name :
         {"2026-12-07", "2026-12-07-030405.incomplete", "2026-12-07 030405", "x2026-12-07-030405"})
        EXPECT_FALSE(isGenerationFolderName(name)) << name;
}

TEST_F(Generations, ZipPrunesTheOldestExactNamesOnlyOnceTheNewArchiveIsInPlace) {
    for (const char* day : {"01", "02", "03"})
        fs.addFile(std::string("D:\\Save\\chathoard-2026-01-") + day + "-000000.zip", "old");
    const std::vector<std::string> others = {
        "D:\\Save\\chathoard.zip", "D:\\Save\\chathoard-2025-01-01-000000.zip.bak",
        "D:\\Save\\chathoard-2025-1-1-000000.zip", "D:\\Save\\my chathoard-2025-01-01-000000.zip"};
    for (const auto& path : others)
        fs.addFile(path, "mine");
    fs.addFolder("D:\\Save\\chathoard-2025-01-01-000000.zip.d");
    bool oldOnesThereAtAddZip = false;
    archiver.duringAddZip = [&] {
        oldOnesThereAtAddZip = fs.hasFile("D:\\Save\\chathoard-2026-01-01-000000.zip");
    };

    EXPECT_EQ(zip(2), BackupOutcome::Done) << fs.dump();
    EXPECT_TRUE(oldOnesThereAtAddZip);
    EXPECT_EQ(archiver.calls.at(0).argument, newArchive);
    EXPECT_TRUE(fs.hasFile(newArchive));
    EXPECT_TRUE(fs.hasFile("D:\\Save\\chathoard-2026-01-03-000000.zip"));
    EXPECT_FALSE(fs.hasFile("D:\\Save\\chathoard-2026-01-02-000000.zip"));
    EXPECT_FALSE(fs.hasFile("D:\\Save\\chathoard-2026-01-01-000000.zip"));
    for (const auto& path : others)
        EXPECT_EQ(fs.content(path), "mine") << path;
    EXPECT_TRUE(fs.hasFolder("D:\\Save\\chathoard-2025-01-01-000000.zip.d"));
    EXPECT_EQ(lastBox().title, kDoneTitle);
    EXPECT_NE(lastBox().prompt.find("Deleted the older backup "
                                    "D:\\Save\\chathoard-2026-01-01-000000.zip"),
              npos);
}

// A clock that runs behind must not make pruning take the real, newer backups for the oldest.
TEST_F(Generations, AGenerationNewerThanTheNewOneKeepsEveryBackupAndSaysSo) {
    fs.addFile("D:\\Save\\chathoard-2027-01-01-000000.zip", "named by a later clock");
    fs.addFolder("D:\\Save\\2026-01-01-000000"); // older name, newer file time
    fs.addFile("D:\\Save\\2026-01-01-000000\\a.dat", "old");
    fs.addFile("D:\\Save\\2025-01-01-000000\\a.dat", "old");
    fs.clock -= 60; // the clock goes back after those were written
    for (auto run : {&Generations::zip, &Generations::normal}) {
        dialogs.shown.clear();
        EXPECT_EQ((this->*run)(1), BackupOutcome::Done);
        EXPECT_EQ(lastBox().title, kDoneTitle);
        EXPECT_EQ(lastBox().style, vbExclamation);
        EXPECT_NE(lastBox().prompt.find("No older backup was deleted: D:\\Save\\"), npos);
        EXPECT_NE(lastBox().prompt.find("The computer's clock may be behind"), npos);
    }
    EXPECT_EQ(fs.entries("D:\\Save").size(), 5u) << fs.dump();
}

TEST_F(Generations, AFailedRunDeletesNoGeneration) {
    fs.addFile("D:\\Save\\chathoard-2026-01-01-000000.zip", "old");
    fs.addFolder("D:\\Save\\2026-01-01-000000");
    fs.addFile("D:\\Save\\2026-01-01-000000\\a.dat", "old");
    archiver.results["makeArchive"] = {5};
    EXPECT_EQ(zip(1), BackupOutcome::Failed);
    fs.failOnce(FsOp::CopyToTemporary, "*a.idx", errDiskFull, 112);
    EXPECT_EQ(normal(1), BackupOutcome::Failed);
    fs.failOnce(FsOp::Rename, "*.incomplete", errPermissionDenied, 5);
    EXPECT_EQ(normal(1), BackupOutcome::Failed);

    EXPECT_EQ(fs.entries("D:\\Save"),
              (std::vector<std::string>{"2026-01-01-000000", "chathoard-2026-01-01-000000.zip"}))
        << fs.dump();
    EXPECT_EQ(fs.entries("D:\\Save\\2026-01-01-000000"), std::vector<std::string>{"a.dat"});
    for (const auto& box : dialogs.shown)
        EXPECT_EQ(box.title, kBackupFailedTitle) << box.prompt;
}

TEST_F(Generations, NormalRunCompletesUnderATemporaryNameAndPrunesOnlyItsOwnFolders) {
    for (const char* old : {"2026-01-01-000000", "2026-01-02-000000", "2026-01-03-000000"}) {
        fs.addFile(std::string("D:\\Save\\") + old + "\\a.dat", "old");
        fs.addFile(std::string("D:\\Save\\") + old + "\\a.idx", "old");
    }
    fs.addFile("D:\\Save\\2026-01-02-000000\\notes.txt", "mine"); // never deleted
    fs.addFile("D:\\Save\\2026-01-01\\a.dat", "mine");            // not of the form
    fs.addFile("D:\\Save\\2026-01-01-000000.txt", "mine");
    fs.addFile("D:\\Save\\2025-12-31-235959.incomplete\\a.dat", "interrupted");
    bool copiedUnderTemporaryName = true;
    fs.log.clear();

    EXPECT_EQ(normal(2), BackupOutcome::Done) << fs.dump();
    for (const auto& copy : fs.logOf({FsOp::CopyToTemporary}))
        copiedUnderTemporaryName &= copy.find("\\2026-12-07-030000.incomplete\\") != npos;
    EXPECT_TRUE(copiedUnderTemporaryName);
    EXPECT_EQ(fs.content("D:\\Save\\2026-12-07-030000\\a.idx"), "index");
    EXPECT_EQ(fs.entries("D:\\Save"),
              (std::vector<std::string>{"2026-01-01", "2026-01-01-000000.txt", "2026-01-02-000000",
                                        "2026-01-03-000000", "2026-12-07-030000"}))
        << fs.dump();
    EXPECT_EQ(fs.content("D:\\Save\\2026-01-02-000000\\notes.txt"), "mine");
    EXPECT_EQ(lastBox().title, kDoneTitle);
    EXPECT_NE(lastBox().prompt.find("succesfully copied to: D:\\Save\\2026-12-07-030000"), npos);
    EXPECT_NE(lastBox().prompt.find("Kept the older backup D:\\Save\\2026-01-02-000000"), npos);
}

// Explorer's hidden desktop.ini or Thumbs.db is a file Chathoard did not write.
TEST_F(Generations, AHiddenFileKeepsItsGenerationFolderWhole) {
    fs.addFile("D:\\Save\\2026-01-01-000000\\a.dat", "old");
    fs.addFile("D:\\Save\\2026-01-01-000000\\desktop.ini", "explorer");
    fs.setHidden("D:\\Save\\2026-01-01-000000\\desktop.ini");
    fs.addFile("D:\\Save\\2026-01-02-000000\\a.dat", "old");
    fs.setHidden("D:\\Save\\2026-01-02-000000\\a.dat"); // ours, though hidden
    EXPECT_EQ(normal(1), BackupOutcome::Done) << fs.dump();
    EXPECT_EQ(fs.entries("D:\\Save\\2026-01-01-000000"),
              (std::vector<std::string>{"a.dat", "desktop.ini"}));
    EXPECT_FALSE(fs.hasFolder("D:\\Save\\2026-01-02-000000"));
    EXPECT_NE(lastBox().prompt.find("Kept the older backup D:\\Save\\2026-01-01-000000, which "
                                    "holds files that Chathoard did not write"),
              npos);
}

// A junction or symbolic link named like a generation leads to files that are not its own.
TEST_F(Generations, PruningNeverFollowsAJunctionOrSymbolicLink) {
    for (const char* link :
         {"D:\\Save\\2026-01-01-000000", "D:\\Save\\2026-01-02-000000.incomplete"}) {
        fs.addFile(std::string(link) + "\\a.dat", "the target's");
        fs.setReparsePoint(link);
    }
    EXPECT_EQ(normal(1), BackupOutcome::Done) << fs.dump();
    EXPECT_TRUE(fs.hasFile("D:\\Save\\2026-01-01-000000\\a.dat"));
    EXPECT_TRUE(fs.hasFile("D:\\Save\\2026-01-02-000000.incomplete\\a.dat"));
    EXPECT_NE(lastBox().prompt.find("Kept the older backup D:\\Save\\2026-01-01-000000, which is a "
                                    "junction or symbolic link to another folder"),
              npos);
}

// The archive is complete, so the older ones go; the warning box carries what was deleted.
TEST_F(Generations, AnIncompleteCleanUpStillPrunes) {
    fs.addFile("D:\\Save\\chathoard-2026-01-01-000000.zip", "old");
    fs.addFolder("C:\\chathoard");
    archiver.duringAddZip = [&] { fs.setLocked("C:\\chathoard\\a.dat"); };
    EXPECT_EQ(zip(1), BackupOutcome::CleanUpIncomplete);
    EXPECT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(lastBox().title, kCleanUpIncompleteTitle);
    EXPECT_NE(lastBox().prompt.find("The staged copy C:\\chathoard\\a.dat could not be deleted"),
              npos);
    EXPECT_NE(lastBox().prompt.find("Deleted the older backup "
                                    "D:\\Save\\chathoard-2026-01-01-000000.zip"),
              npos);
}

TEST_F(Generations, APruningFailureIsReportedInsteadOfDone) {
    fs.addFile("D:\\Save\\chathoard-2026-01-01-000000.zip", "old");
    fs.setLocked("D:\\Save\\chathoard-2026-01-01-000000.zip");
    EXPECT_EQ(zip(1), BackupOutcome::Failed);
    EXPECT_TRUE(fs.hasFile(newArchive));
    EXPECT_EQ(lastBox().title, kBackupFailedTitle);
    EXPECT_NE(lastBox().prompt.find("The older backup D:\\Save\\chathoard-2026-01-01-000000.zip "
                                    "could not be deleted"),
              npos)
        << lastBox().prompt;
}

TEST_F(Generations, ASecondRunInTheSameSecondWaitsForTheNextOne) {
    fs.addFile(newArchive, "made a moment ago");
    std::vector<std::string> times = {"2026-12-07 03:00:00", "2026-12-07 03:00:01"};
    std::vector<int> slept;
    const std::string next = newGenerationStamp(
        fs, "D:\\Save", true,
        [&] {
            std::string t = times.front();
            times.erase(times.begin());
            return t;
        },
        [&](int s) { slept.push_back(s); });
    EXPECT_EQ(next, "2026-12-07-030001");
    EXPECT_EQ(slept, std::vector<int>{1});
}

} // namespace
} // namespace ch
