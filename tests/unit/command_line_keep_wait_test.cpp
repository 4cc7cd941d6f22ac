#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "app/command_line.h"
#include "tests/unit/command_line_scene.h"

namespace ch {
namespace {

TEST(CommandLineOptions, KeepAndWaitTakeTheirRangesAnywhereAfterTheBackup) {
    auto cl = parseCommandLine({"/zip", "C:\\ICQ", "-KEEP:7", "D:\\Save", "/Wait"});
    ASSERT_TRUE(cl);
    EXPECT_EQ(cl->keep, 7);
    EXPECT_EQ(cl->waitMinutes, 30);
    EXPECT_EQ(cl->destinationFolder, "D:\\Save");
    cl = parseCommandLine({"/normal", "C:\\ICQ", "D:\\Save", "/wait:1440", "/keep:999"});
    ASSERT_TRUE(cl);
    EXPECT_EQ(cl->waitMinutes, 1440);
    EXPECT_EQ(parseCommandLine({"/normal", "C:\\ICQ", "D:\\Save"})->keep, std::nullopt);
    for (const char* bad : {"/keep:0", "/keep:1000", "/keep:", "/keep", "/keep:3x", "/keep:-1",
                            "/wait:0", "/wait:1441", "/wait:", "/waits"})
        EXPECT_FALSE(parseCommandLine({"/zip", "C:\\ICQ", "D:\\Save", bad})) << bad;
    EXPECT_FALSE(parseCommandLine({"/zip", "C:\\ICQ", "D:\\Save", "/keep:2", "/keep:3"}));
    EXPECT_FALSE(parseCommandLine({"/zip", "C:\\ICQ", "D:\\Save", "/wait", "/wait:5"}));
}

struct KeepWaitRun : ::testing::Test, test::CommandLineScene {
    std::vector<std::string> lines;
    int64_t now = 0;
    std::vector<int> sleeps;
    std::function<void()> afterSleep = [] {};

    int run(const std::vector<std::string>& args) {
        return runCommandLine(
            args, commandLine, [&](const std::string& l, bool) { lines.push_back(l); },
            [] { return std::string("2026-12-07 03:00:00"); },
            {[&] { return now; },
             [&](int s) {
                 sleeps.push_back(s);
                 now += s;
                 afterSleep();
             }});
    }
    bool saw(const std::string& text) const {
        for (const auto& line : lines)
            if (line.find(text) != std::string::npos)
                return true;
        return false;
    }
};

TEST_F(KeepWaitRun, KeepWritesTheGenerationNamedAfterTheLocalTime) {
    fs.addFile("C:\\Save\\chathoard-2026-12-01-030000.zip", "older");
    EXPECT_EQ(run({"/zip", "C:\\ICQ", "C:\\Save", "/keep:1"}), exitDone);
    EXPECT_EQ(fs.entries("C:\\Save"), std::vector<std::string>{"chathoard-2026-12-07-030000.zip"});
    EXPECT_EQ(run({"/normal", "C:\\ICQ", "C:\\Save", "/keep:1"}), exitDone);
    EXPECT_EQ(fs.content("C:\\Save\\2026-12-07-030000\\a.dat"), "chat");
    EXPECT_TRUE(sleeps.empty());
}

TEST_F(KeepWaitRun, ADatabaseInUseGivesCodeFourWithOrWithoutWaiting) {
    fs.setLocked("C:\\ICQ\\db\\a.dat");
    EXPECT_EQ(run({"/normal", "C:\\ICQ", "C:\\Save"}), exitDatabaseInUse);
    EXPECT_TRUE(saw("or add /wait to wait for it to close."));
    EXPECT_EQ(run({"/zip", "C:\\ICQ", "C:\\Save", "/wait:2"}), exitDatabaseInUse);
    EXPECT_EQ(sleeps, (std::vector<int>{30, 30, 30, 30}));
    EXPECT_TRUE(saw("after waiting 2 minutes"));
    EXPECT_EQ(fs.entries("C:\\Save"), std::vector<std::string>{});
    EXPECT_EQ(lines.back(), "Finished with exit code 4");

    // ICQ starting while the archive is made has nothing to do with the library's failure.
    fs.setLocked("C:\\ICQ\\db\\a.dat", false);
    archiver.results["makeArchive"] = {5};
    archiver.duringAddZip = [&] { fs.setLocked("C:\\ICQ\\db\\a.dat"); };
    lines.clear();
    EXPECT_EQ(run({"/zip", "C:\\ICQ", "C:\\Save"}), exitBackupFailed);
    EXPECT_FALSE(saw("The database stayed in use"));
}

TEST_F(KeepWaitRun, WaitingEndsWhenICQClosesAndTheBackupGoesOn) {
    fs.setLocked("C:\\ICQ\\db\\a.idx");
    afterSleep = [&] { fs.setLocked("C:\\ICQ\\db\\a.idx", false); };
    EXPECT_EQ(run({"/normal", "C:\\ICQ", "C:\\Save", "/wait"}), exitDone);
    EXPECT_EQ(sleeps, std::vector<int>{30});
    EXPECT_TRUE(saw("waiting for ICQ to close"));
    EXPECT_EQ(fs.content("C:\\Save\\a.idx"), "index");
}

// A day's /wait must not hold the backup lock, which would refuse every other backup and restore
// meanwhile; ICQ starting again during the lock's wait sends the run back to waiting.
TEST_F(KeepWaitRun, WaitingIsDoneWithoutTheBackupLock) {
    fs.setLocked("C:\\ICQ\\db\\a.dat");
    bool heldWhileWaiting = false;
    afterSleep = [&] {
        heldWhileWaiting |= backupLock.held;
        fs.setLocked("C:\\ICQ\\db\\a.dat", false);
    };
    // Another backup holds the lock at first; ICQ starts while it is waited for.
    backupLock.duringAcquire = [&] {
        backupLock.heldElsewhere = backupLock.waits.size() == 1;
        if (backupLock.waits.size() == 2)
            fs.setLocked("C:\\ICQ\\db\\a.dat");
    };
    EXPECT_EQ(run({"/normal", "C:\\ICQ", "C:\\Save", "/wait:1440"}), exitDone);
    EXPECT_FALSE(heldWhileWaiting);
    EXPECT_THAT(backupLock.waits, ::testing::ElementsAre(0u, 20000u, 0u));
    EXPECT_EQ(sleeps, (std::vector<int>{30, 30}));
    EXPECT_EQ(fs.content("C:\\Save\\a.dat"), "chat");
}

} // namespace
} // namespace ch
