#include "backup/wait_for_database.h"

#include <gtest/gtest.h>

#include <atomic>

#include "app/backup_messages.h"
#include "tests/support/memory_file_system.h"

namespace ch {
namespace {

// A clock that moves only when the code under test sleeps; afterSleep runs at each wake-up.
struct FakeTime {
    int64_t now = 5000;
    std::vector<int> sleeps;
    std::function<void()> afterSleep = [] {};
    Waiting waiting() {
        return {[this] { return now; },
                [this](int s) {
                    sleeps.push_back(s);
                    now += s;
                    afterSleep();
                }};
    }
};

struct WaitForDatabase : ::testing::Test {
    test::MemoryFileSystem fs;
    FakeTime time;
    std::vector<std::string> reports;
    const std::vector<std::string> files = {"C:\\ICQ\\db\\a.dat", "C:\\ICQ\\db\\a.idx"};

    WaitForDatabase() {
        fs.addFile(files[0], "chats");
        fs.addFile(files[1], "index");
    }
    std::optional<std::string> wait(int minutes) {
        return waitForDatabase(
            fs, files, time.now + minutes * 60, time.waiting(),
            [&](const DatabaseWait& w) { reports.push_back(databaseWaitText(w)); });
    }
};

TEST_F(WaitForDatabase, GoesOnOnceTheFileIsFreeAgain) {
    fs.setLocked(files[1]);
    time.afterSleep = [&] {
        if (time.sleeps.size() == 2)
            fs.setLocked(files[1], false);
    };
    EXPECT_EQ(wait(30), std::nullopt);
    EXPECT_EQ(time.sleeps, (std::vector<int>{30, 30}));
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[0], "The database file C:\\ICQ\\db\\a.idx is in use: waiting for ICQ to "
                          "close (up to 30 minutes, looking again every 30 seconds)");
    EXPECT_EQ(reports[1], "ICQ has closed: the database is no longer in use");
}

TEST_F(WaitForDatabase, GivesUpAtTheDeadlineWithTheFileStillInUse) {
    fs.setLocked(files[0]);
    time.afterSleep = [&] {
        if (time.sleeps.size() == 1)
            time.now += 20; // a slow check: the last sleep is cut to the time left
    };
    EXPECT_EQ(wait(1), files[0]);
    EXPECT_EQ(time.sleeps, (std::vector<int>{30, 10}));
    EXPECT_EQ(reports.size(), 1u);
    EXPECT_EQ(databaseInUseText(files[0], 1),
              "The database stayed in use: C:\\ICQ\\db\\a.dat is held open by another program "
              "after waiting 1 minute. If ICQ is running, close it and try again.");
}

// Ctrl+C cuts a sleep short: the wait ends there, however long it had to go.
TEST_F(WaitForDatabase, ACancelEndsTheWait) {
    fs.setLocked(files[0]);
    std::atomic<bool> cancel{false};
    WorkControl control;
    control.cancelRequested = &cancel;
    time.afterSleep = [&] { cancel = time.sleeps.size() == 2; };
    EXPECT_EQ(waitForDatabase(
                  fs, files, time.now + 30 * 60, time.waiting(),
                  [&](const DatabaseWait& w) { reports.push_back(databaseWaitText(w)); }, control),
              files[0]);
    EXPECT_EQ(time.sleeps, (std::vector<int>{30, 30}));
    EXPECT_EQ(reports.size(), 1u);
}

TEST_F(WaitForDatabase, WithoutWaitingAFileInUseIsReportedAtOnce) {
    EXPECT_EQ(wait(0), std::nullopt);
    fs.setLocked(files[1]);
    EXPECT_EQ(wait(0), files[1]);
    EXPECT_TRUE(time.sleeps.empty());
    EXPECT_TRUE(reports.empty());
}

} // namespace
} // namespace ch
