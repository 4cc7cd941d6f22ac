#include "app/command_line.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/unit/command_line_scene.h"

namespace ch {
namespace {

TEST(CommandLineParsing, AcceptsBothBackupsWithEitherSwitchCharacterInAnyCase) {
    auto zip = parseCommandLine({"-ZiP", "C:\\ICQ", "D:\\Save"});
    ASSERT_TRUE(zip);
    EXPECT_EQ(zip->kind, BackupKind::Zip);
    EXPECT_EQ(zip->messengerFolder, "C:\\ICQ");
    EXPECT_EQ(zip->destinationFolder, "D:\\Save");
    auto normal = parseCommandLine({"/NORMAL", "C:\\Program Files\\ICQ", "D:\\"});
    ASSERT_TRUE(normal);
    EXPECT_EQ(normal->kind, BackupKind::Normal);
    EXPECT_EQ(normal->messengerFolder, "C:\\Program Files\\ICQ");
    EXPECT_TRUE(parseCommandLine({"/?"})->showUsage);
}

TEST(CommandLineParsing, RejectsMisspelledSwitchesAndWrongArgumentCounts) {
    EXPECT_FALSE(parseCommandLine({"/nromal", "C:\\ICQ", "D:\\Save"}));
    EXPECT_FALSE(parseCommandLine({"/zip", "C:\\ICQ"}));
    EXPECT_FALSE(parseCommandLine({"/zip", "C:\\ICQ", "D:\\Save", "extra"}));
    EXPECT_FALSE(parseCommandLine({"zip", "C:\\ICQ", "D:\\Save"}));
    EXPECT_FALSE(parseCommandLine({"/zip", "", "D:\\Save"}));
    EXPECT_FALSE(parseCommandLine({}));
}

TEST(CommandLineParsing, HelpSwitchesShowTheUsage) {
    for (const char* help : {"/?", "-?", "/help", "-HELP", "/h", "-h"})
        EXPECT_TRUE(parseCommandLine({help})->showUsage) << help;
    EXPECT_FALSE(parseCommandLine({"/hel"}));
}

TEST(CommandLineSplitting, AQuotedFolderEndingInABackslashIsTheFolder) {
    using Args = std::vector<std::string>;
    EXPECT_EQ(commandLineArguments("chathoard.exe /zip \"C:\\ICQ\" \"E:\\\""),
              (Args{"/zip", "C:\\ICQ", "E:\\"}));
    EXPECT_EQ(commandLineArguments("\"C:\\My Tools\\chathoard.exe\" /zip \"E:\\\" D:\\"),
              (Args{"/zip", "E:\\", "D:\\"}));
    // As the C runtime's own quoting writes a folder with a blank and a final backslash.
    EXPECT_EQ(commandLineArguments("x /normal \"C:\\Program Files\\ICQ\\\\\"  \"\""),
              (Args{"/normal", "C:\\Program Files\\ICQ\\", ""}));
    EXPECT_EQ(commandLineArguments("chathoard.exe   "), Args{});
}

TEST(CommandLineParsing, OutcomesMapToTheDocumentedExitCodes) {
    EXPECT_EQ(exitCodeFor(BackupOutcome::Done), 0);
    EXPECT_EQ(exitCodeFor(BackupOutcome::NoMessengerFolder), 1);
    EXPECT_EQ(exitCodeFor(BackupOutcome::Failed), 2);
    EXPECT_EQ(exitCodeFor(BackupOutcome::CleanUpIncomplete), 0);
    EXPECT_EQ(exitCodeFor(BackupOutcome::DatabaseInUse), 4);
}

struct CommandLineRun : ::testing::Test, test::CommandLineScene {
    std::vector<std::pair<std::string, bool>> lines;

    int run(const std::vector<std::string>& args) {
        return runCommandLine(
            args, services,
            [&](const std::string& l, bool p) {
                lines.push_back({l, p});
            },
            [] { return std::string("2026-12-07 03:00:00"); });
    }
    std::string log() { return fs.readAll("C:\\Tools\\Chathoard\\chathoard.log"); }
};

TEST_F(CommandLineRun, NormalBackupCopiesReportsOnOneLineAndLogs) {
    EXPECT_EQ(run({"/normal", "C:\\ICQ", "C:\\Save"}), exitDone);
    EXPECT_EQ(fs.readAll("C:\\Save\\a.dat"), "chat");
    EXPECT_EQ(fs.readAll("C:\\Save\\a.idx"), "index");
    bool sawDone = false;
    for (auto& [line, problem] : lines) {
        EXPECT_EQ(line.find('\r'), std::string::npos) << line;
        if (line == "[Done !] Your ICQ backup has been succesfully copied to: C:\\Save") {
            sawDone = true;
            EXPECT_FALSE(problem);
        }
    }
    EXPECT_TRUE(sawDone);
    EXPECT_NE(log().find("2026-12-07 03:00:00  [Done !] Your ICQ backup"), std::string::npos);
}

TEST_F(CommandLineRun, FolderWithoutDatabaseGivesCodeOneAndWritesNothing) {
    fs.addFolder("C:\\Empty");
    EXPECT_EQ(run({"/zip", "C:\\Empty", "C:\\Save"}), exitNoMessengerDatabase);
    EXPECT_EQ(run({"/zip", "C:\\Missing", "C:\\Save"}), exitNoMessengerDatabase);
    EXPECT_FALSE(fs.fileExists("C:\\Save\\chathoard.zip"));
    for (const auto& call : archiver.calls)
        EXPECT_EQ(call.entry, "addZIP_Initialise");
    EXPECT_TRUE(lines.back().second);
}

TEST_F(CommandLineRun, MissingDestinationAndBadArgumentsGiveTheirCodes) {
    EXPECT_EQ(run({"/normal", "C:\\ICQ", "C:\\Nowhere"}), exitBackupFailed);
    EXPECT_EQ(run({"/backup", "C:\\ICQ", "C:\\Save"}), exitBadArguments);
    EXPECT_NE(lines.back().first.find("Exit codes"), std::string::npos);
}

TEST_F(CommandLineRun, RunsWithoutABackupAreLoggedToo) {
    EXPECT_EQ(run({"/zip", "C:\\ICQ"}), exitBadArguments);
    EXPECT_EQ(lines.front().first, "The arguments were not understood: /zip C:\\ICQ");
    EXPECT_EQ(run({"/help"}), exitDone);
    EXPECT_EQ(log(), "2026-12-07 03:00:00  The arguments were not understood: /zip C:\\ICQ\r\n"
                     "2026-12-07 03:00:00  Finished with exit code 3\r\n"
                     "2026-12-07 03:00:00  Usage shown\r\n");
}

TEST_F(CommandLineRun, ZipBackupMakesTheArchiveFromTheStagedCopies) {
    EXPECT_EQ(run({"/zip", "C:\\ICQ\\", "C:\\Save"}), exitDone);
    EXPECT_TRUE(fs.fileExists("C:\\Save\\chathoard.zip"));
    EXPECT_EQ(archiver.listFileAtAddZip, "C:\\chathoard\\a.dat\r\nC:\\chathoard\\a.idx\r\n");
    EXPECT_FALSE(fs.folderExists("C:\\chathoard"));
    EXPECT_FALSE(fs.fileExists("C:\\Tools\\Chathoard\\icqtemp.dat"));
}

// The archive is whole, so a staged copy left behind is a warning, not a failed backup.
TEST_F(CommandLineRun, AStagedCopyLeftBehindIsAWarningWithCodeZero) {
    fs.addFile("C:\\chathoard\\notes.txt", "mine"); // an existing folder spends the catch
    archiver.duringAddZip = [&] { fs.setLocked("C:\\chathoard\\a.dat"); };
    EXPECT_EQ(run({"/zip", "C:\\ICQ", "C:\\Save"}), exitDone);
    const std::string warning = "[Clean-up incomplete] The archive C:\\Save\\chathoard.zip was "
                                "written, but the backup's temporary files could not all be "
                                "removed. The staged copy C:\\chathoard\\a.dat could not be "
                                "deleted.";
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[lines.size() - 2].first.rfind(warning, 0), 0u) << lines[lines.size() - 2].first;
    EXPECT_TRUE(lines[lines.size() - 2].second);
    EXPECT_NE(log().find(warning), std::string::npos);
    EXPECT_EQ(lines.back().first, "Finished with exit code 0");
}

// A scheduled run while another backup runs: it waits, then says so with code 5, touching
// neither the staging folder, the list file nor the destination (only the log gets its lines).
TEST_F(CommandLineRun, AnotherBackupRunningGivesCodeFiveAndTouchesNothing) {
    backupLock.heldElsewhere = true;
    EXPECT_EQ(run({"/zip", "C:\\ICQ", "C:\\Save"}), exitAnotherBackupRunning);
    EXPECT_THAT(backupLock.waits, ::testing::ElementsAre(20000u));
    for (const std::string& change : fs.changes())
        EXPECT_EQ(change, "append C:\\Tools\\Chathoard\\chathoard.log");
    EXPECT_THAT(archiver.entriesCalled(), ::testing::ElementsAre("addZIP_Initialise"));
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[lines.size() - 2].first.rfind("[Another backup is running] Another backup is "
                                                  "running on this computer",
                                                  0),
              0u);
    EXPECT_EQ(lines.back().first, "Finished with exit code 5");
    EXPECT_TRUE(lines.back().second);
    EXPECT_NE(usageText().find("5 another backup was running (this one waited 20 seconds"),
              std::string::npos);

    backupLock.heldElsewhere = false;
    EXPECT_EQ(run({"/zip", "C:\\ICQ", "C:\\Save"}), exitDone);
    EXPECT_FALSE(backupLock.held);
}

TEST_F(CommandLineRun, LogKeepsEarlierRuns) {
    run({"/normal", "C:\\ICQ", "C:\\Save"});
    std::string first = log();
    run({"/normal", "C:\\ICQ", "C:\\Save"});
    EXPECT_EQ(log().substr(0, first.size()), first);
    EXPECT_GT(log().size(), first.size());
}

// A full disk at the log: the earlier runs' entries stay, the log is never rewritten, and the
// failure is said once on standard error, not once per message.
TEST_F(CommandLineRun, FullDiskAtTheLogKeepsEarlierEntriesAndSaysSoOnce) {
    run({"/normal", "C:\\ICQ", "C:\\Save"});
    const std::string earlier = log();
    fs.setFreeSpace('c', 10);
    lines.clear();
    run({"/normal", "C:\\ICQ", "C:\\Save"});
    EXPECT_EQ(log().substr(0, earlier.size()), earlier);
    EXPECT_TRUE(fs.logOf({test::FsOp::WriteAll}).empty());
    int logFailures = 0;
    for (auto& [line, problem] : lines)
        if (line.find("chathoard.log could not be written (the disk is full)") !=
            std::string::npos) {
            ++logFailures;
            EXPECT_TRUE(problem);
        }
    EXPECT_EQ(logFailures, 1);
}

} // namespace
} // namespace ch
