#include "app/command_line.h"

#include <atomic>

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
    // An 80-column console wraps a line of 80 before its line break.
    const std::string usage = usageText();
    for (size_t start = 0, end; start < usage.size(); start = end + 2) {
        end = usage.find("\r\n", start);
        ASSERT_NE(end, std::string::npos) << "the usage ends with a line break";
        EXPECT_LE(end - start, 79u) << usage.substr(start, end - start);
    }
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
            args, commandLine,
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

// Every run that stops early says why, and then its exit code, on screen and in the log.
TEST_F(CommandLineRun, EveryEarlyEndSaysWhyThenItsExitCode) {
    fs.addFolder("C:\\Empty");
    const std::pair<std::vector<std::string>, int> runs[] = {
        {{"/normal", "C:\\ICQ", "Q:\\Backups"}, exitBackupFailed},
        {{"/zip", "C:\\Missing", "C:\\Save"}, exitNoMessengerDatabase},
        {{"/zip", "C:\\Empty", "C:\\Save"}, exitNoMessengerDatabase},
        {{"/backup", "C:\\ICQ", "C:\\Save"}, exitBadArguments},
    };
    for (const auto& [args, code] : runs) {
        lines.clear();
        EXPECT_EQ(run(args), code) << args[2];
        ASSERT_GE(lines.size(), 2u);
        EXPECT_EQ(lines.back().first, "Finished with exit code " + std::to_string(code));
        EXPECT_TRUE(lines.back().second);
        EXPECT_TRUE(lines[lines.size() - 2].second);
        EXPECT_EQ(log().substr(log().size() - 27),
                  "Finished with exit code " + std::to_string(code) + "\r\n");
    }
    EXPECT_EQ(lines.front().first, "/backup: not a switch of Chathoard");
}

TEST_F(CommandLineRun, RunsWithoutABackupAreLoggedToo) {
    EXPECT_EQ(run({"/zip", "C:\\ICQ"}), exitBadArguments);
    EXPECT_EQ(lines.front().first, "/zip: give the messenger folder and the destination folder");
    EXPECT_EQ(run({"/help"}), exitDone);
    EXPECT_EQ(log(), "2026-12-07 03:00:00  /zip: give the messenger folder and the destination "
                     "folder\r\n"
                     "2026-12-07 03:00:00  Type chathoard /? to see how the command line is "
                     "written.\r\n"
                     "2026-12-07 03:00:00  Finished with exit code 3\r\n"
                     "2026-12-07 03:00:00  Usage shown\r\n");
}

// The argument at fault and what is wrong with it, then where the usage is: never the usage
// itself, which would push the problem off the screen.
TEST(CommandLineParsing, ABadArgumentIsNamedWithWhatIsWrong) {
    using Args = std::vector<std::string>;
    const std::pair<Args, std::string> cases[] = {
        {{"/zip", "C:\\ICQ", "D:\\Save", "/keep:1000"}, "/keep:1000: keep 1 to 999 backups"},
        {{"/zip", "C:\\ICQ", "D:\\Save", "/wait:0"}, "/wait:0: wait 1 to 1440 minutes"},
        {{"/zip", "C:\\ICQ", "D:\\Save", "/keep:2", "/KEEP:3"}, "/KEEP:3: /keep is given twice"},
        {{"/wait", "/zip", "C:\\ICQ", "D:\\Save", "/wait:5"}, "/wait:5: /wait is given twice"},
        {{"/zip", "/ZIP", "C:\\ICQ", "D:\\Save"}, "/ZIP: given twice"},
        {{"/zip", "C:\\ICQ", "D:\\Save", "/normal"},
         "/normal: give only one of /normal, /zip, /verify or /restore"},
        {{"/zpi", "C:\\ICQ", "D:\\Save"}, "/zpi: not a switch of Chathoard"},
        {{"zip", "C:\\ICQ", "D:\\Save"},
         "zip: the command line starts with /normal, /zip, /verify or /restore"},
        {{"/zip", "C:\\ICQ", "D:\\Save", "E:\\x"}, "E:\\x: one argument too many: /zip takes two"},
        {{"/zip", "", "D:\\Save"}, "\"\": an empty argument where a path belongs"},
        {{"/restore", "D:\\Save\\chathoard.zip"},
         "/restore: give the backup and the messenger folder"},
        {{"/verify", "D:\\Save\\chathoard.zip", "/wait"},
         "/wait: only /normal and /zip wait for the database"},
        {{"/zip", "C:\\ICQ", "D:\\Save", "/?"}, "/?: give it alone to see the usage"},
    };
    for (const auto& [args, text] : cases) {
        ArgumentProblem problem;
        EXPECT_FALSE(parseCommandLine(args, &problem)) << text;
        EXPECT_EQ(problem.text(), text);
    }
    const auto verify = parseCommandLine({"/Verify", "D:\\Save\\chathoard.zip"});
    ASSERT_TRUE(verify);
    EXPECT_EQ(verify->command, Command::Verify);
    EXPECT_EQ(verify->backup, "D:\\Save\\chathoard.zip");
    EXPECT_EQ(verify->messengerFolder, "");
}

// As Task Scheduler starts it, in its "Start in" folder: every path is read from there.
TEST_F(CommandLineRun, PathsAreReadFromTheWorkingFolderAndNamedInFullOnTheFirstLine) {
    fs.setCurrentFolder("C:\\");
    EXPECT_EQ(run({"/zip", "ICQ", "Backups\\cli"}), exitDone);
    EXPECT_EQ(lines.at(0).first, "ZIP backup of C:\\ICQ to C:\\Backups\\cli");
    EXPECT_EQ(lines.at(1).first, "Created the destination folder C:\\Backups\\cli");
    EXPECT_TRUE(fs.fileExists("C:\\Backups\\cli\\chathoard.zip"));

    fs.addDrive('d');
    fs.addFolder("D:\\Work");
    fs.setCurrentFolder("D:\\Work");
    fs.setCurrentFolder("C:\\Save");
    lines.clear();
    EXPECT_EQ(run({"/normal", "..\\ICQ\\", "D:copies\\new"}), exitDone);
    EXPECT_EQ(lines.at(0).first, "Normal backup of C:\\ICQ to D:\\Work\\copies\\new");
    EXPECT_EQ(fs.content("D:\\Work\\copies\\new\\a.dat"), "chat");
    lines.clear();
    EXPECT_EQ(run({"/verify", "\\Backups\\cli\\chathoard.zip", "."}), exitBackupFailed);
    EXPECT_EQ(lines.at(0).first, "Checking the backup C:\\Backups\\cli\\chathoard.zip against "
                                 "the database in C:\\Save\\db");
}

TEST_F(CommandLineRun, AMissingDriveIsNamedAndAFolderInTheDatabaseIsRefused) {
    fs.addDrive('e');
    fs.setReady('e', false);
    for (const char* drive : {"Q", "E"}) {
        lines.clear();
        EXPECT_EQ(run({"/zip", "C:\\ICQ", std::string(drive) + ":\\Backups"}), exitBackupFailed);
        EXPECT_EQ(lines.at(1).first, "The destination folder " + std::string(drive) +
                                         ":\\Backups cannot be used: drive " + drive +
                                         ": is not available (a removable disk may be "
                                         "unplugged).");
    }
    lines.clear();
    EXPECT_EQ(run({"/normal", "C:\\ICQ", "C:\\ICQ\\db\\copies", "/keep:2"}), exitBackupFailed);
    EXPECT_THAT(lines.at(1).first, ::testing::HasSubstr("A backup must go elsewhere"));
    EXPECT_FALSE(fs.folderExists("C:\\ICQ\\db\\copies"));
    EXPECT_EQ(lines.back().first, "Finished with exit code 2");
}

// The box's text, each older backup deleted, then the summary: one thing to a line.
TEST_F(CommandLineRun, ASuccessfulRunEndsWithItsSummary) {
    fs.addFile("C:\\Save\\chathoard-2026-12-01-030000.zip", "older");
    EXPECT_EQ(run({"/zip", "C:\\ICQ", "C:\\Save", "/keep:1"}), exitDone);
    const uint64_t archive = fs.fileSize("C:\\Save\\chathoard-2026-12-07-030000.zip");
    ASSERT_GE(lines.size(), 4u);
    EXPECT_THAT(lines[lines.size() - 4].first,
                ::testing::StartsWith("[Done !] Your ICQ backup has been succesfully copied to: "
                                      "C:\\Save\\chathoard-2026-12-07-030000.zip You can unzip"));
    EXPECT_EQ(lines[lines.size() - 3].first,
              "Deleted the older backup C:\\Save\\chathoard-2026-12-01-030000.zip");
    EXPECT_EQ(lines[lines.size() - 2].first, "Summary: 2 files, 9 bytes, archive " +
                                                 std::to_string(archive) + " bytes, 0 seconds.");
    EXPECT_EQ(lines.back().first, "Finished with exit code 0");
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
    archiver.duringAddZip = [&] { fs.setLocked("C:\\chathoard\\a.dat"); };
    EXPECT_EQ(run({"/zip", "C:\\ICQ", "C:\\Save"}), exitDone);
    const std::string warning = "[Clean-up incomplete] The archive C:\\Save\\chathoard.zip was "
                                "written, but the backup's temporary files could not all be "
                                "removed. The staged copy C:\\chathoard\\a.dat could not be "
                                "deleted.";
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[lines.size() - 3].first.rfind(warning, 0), 0u) << lines[lines.size() - 3].first;
    EXPECT_TRUE(lines[lines.size() - 3].second);
    EXPECT_NE(log().find(warning), std::string::npos);
    EXPECT_EQ(lines.back().first, "Finished with exit code 0");
}

// A scheduled run while another backup runs: it waits, then says so with code 5, touching
// neither the staging folder, the list file nor the destination (only the log gets its lines).
TEST_F(CommandLineRun, AnotherBackupRunningGivesCodeFiveAndTouchesNothing) {
    backupLock.heldElsewhere = true;
    EXPECT_EQ(run({"/zip", "C:\\ICQ", "C:\\Save"}), exitAnotherBackupRunning);
    EXPECT_THAT(backupLock.waits, ::testing::ElementsAre(0u, 20000u));
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

// Ctrl+C part-way through: the run stops as the window's Cancel stops it, the destination as it
// was, and ends with its own exit code. The progress line goes to the console alone, never to
// the log.
TEST_F(CommandLineRun, CtrlCCancelsTheBackupWithItsOwnExitCodeAndLeavesTheDestination) {
    fs.addFile("C:\\Save\\a.dat", "older backup");
    std::atomic<bool> cancel{false};
    std::vector<std::string> progress;
    RunControl control;
    control.cancel = &cancel;
    control.progress = [&](const std::string& text) {
        progress.push_back(text);
        cancel = true; // pressed while the first file is copied
    };
    const auto runControlled = [&](const std::vector<std::string>& args) {
        lines.clear();
        return runCommandLine(
            args, commandLine,
            [&](const std::string& l, bool p) {
                lines.push_back({l, p});
            },
            [] { return std::string("2026-12-07 03:00:00"); }, Waiting::real(), control);
    };
    for (const char* kind : {"/normal", "/zip"}) {
        cancel = false;
        progress.clear();
        EXPECT_EQ(runControlled({kind, "C:\\ICQ", "C:\\Save"}), exitCancelled) << kind;
        EXPECT_EQ(lines.back().first, "Finished with exit code 6");
        EXPECT_THAT(lines[lines.size() - 2].first, ::testing::HasSubstr("cancelled"));
        EXPECT_THAT(fs.entries("C:\\Save"), ::testing::ElementsAre("a.dat")) << fs.dump();
        EXPECT_EQ(fs.content("C:\\Save\\a.dat"), "older backup");
        ASSERT_FALSE(progress.empty()) << kind;
        EXPECT_THAT(progress[0], ::testing::MatchesRegex("(Copying|Packing) .*%"));
    }
    EXPECT_FALSE(fs.folderExists("C:\\chathoard"));
    EXPECT_EQ(log().find("Copying"), std::string::npos);
    EXPECT_EQ(log().find('%'), std::string::npos);

    // Pressed before the run began (during /wait's pauses, say): nothing is touched.
    cancel = true;
    EXPECT_EQ(runControlled({"/zip", "C:\\ICQ", "C:\\Save", "/keep:2"}), exitCancelled);
    EXPECT_EQ(lines[lines.size() - 2].first,
              "Cancelled (Ctrl+C) before the backup began; nothing was written.");
    EXPECT_THAT(fs.entries("C:\\Save"), ::testing::ElementsAre("a.dat"));

    // Pressed while another backup holds the lock: cancelled, not "another backup is running".
    cancel = false;
    backupLock.heldElsewhere = true;
    backupLock.duringAcquire = [&] { cancel = true; };
    EXPECT_EQ(runControlled({"/normal", "C:\\ICQ", "C:\\Save"}), exitCancelled);
    cancel = false;
    EXPECT_EQ(runControlled({"/restore", "C:\\Save", "C:\\ICQ"}), exitCancelled);
    EXPECT_THAT(fs.entries("C:\\Save"), ::testing::ElementsAre("a.dat"));
    EXPECT_FALSE(fs.folderExists("C:\\ICQ\\db.before-restore-2026-12-07-030000"));
}

TEST(CommandLineProgress, TheProgressLineRewritesItselfAndIsClearedBeforeALine) {
    std::string screen;
    ProgressLine line([&](const std::string& text) { screen += text; });
    line.clear(); // nothing shown: nothing to clear
    line.show("Copying a.dat (1 of 2), 10%");
    line.show("Copying a.dat (1 of 2), 10%"); // the same text is not written again
    line.show("Packing, 90%");
    line.clear();
    EXPECT_EQ(screen, "\rCopying a.dat (1 of 2), 10%"
                      "\rPacking, 90%               "
                      "\r            \r");
    WorkProgress p;
    p.stage = WorkStage::Copying;
    p.file = "a.dat";
    p.fileNumber = 1;
    p.fileCount = 2;
    p.doneBytes = 5;
    p.totalBytes = 9;
    EXPECT_EQ(progressLineText(p), "Copying a.dat (1 of 2), 55%");
}

} // namespace
} // namespace ch
