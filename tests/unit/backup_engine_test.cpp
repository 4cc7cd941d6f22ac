// The engine on plain values: no window, no boxes; what happened comes back as data.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "app/backup_messages.h"
#include "backup/backup_steps.h"
#include "backup/database_detection.h"
#include "backup/generations.h"
#include "backup/one_at_a_time.h"
#include "platform/runtime_error.h"
#include "tests/support/fake_services.h"

namespace ch {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

struct Engine : ::testing::Test, test::FakeServices {
    Engine() {
        fs.addDrive('d');
        fs.addFile("C:\\ICQ\\db\\a.dat", "chats");
        fs.addFile("C:\\ICQ\\db\\a.idx", "index");
        fs.addFolder("D:\\Save");
        fs.addFolder("C:\\Chathoard");
        job.messengerFolder = "C:\\ICQ";
        job.databaseFiles = {"a.dat", "a.idx"};
        job.destination = "D:\\Save";
        job.stagingDrive = "C";
        job.programFolder = "C:\\Chathoard";
    }
    BackupResult run() { return runBackup(job, {fs, archiver, fs.codePage()}); }
    BackupJob job;
};

TEST_F(Engine, ANormalBackupThatMeetsAFileInUseNamesTheFileTheReasonAndThePaths) {
    fs.setLocked("C:\\ICQ\\db\\a.idx");
    const BackupResult result = run();
    EXPECT_EQ(result.outcome, BackupOutcome::DatabaseInUse);
    ASSERT_TRUE(result.cause);
    EXPECT_EQ(result.cause->file, "a.idx");
    EXPECT_EQ(result.cause->errorNumber, errPermissionDenied);
    EXPECT_EQ(result.cause->step, BackupStep::CopyDatabaseFile);
    ASSERT_TRUE(result.cause->error);
    EXPECT_TRUE(isSharingViolation(*result.cause->error));
    EXPECT_EQ(result.cause->from, "C:\\ICQ\\db\\a.idx");
    EXPECT_EQ(result.cause->to, "D:\\Save\\a.idx");
    // The words are the front ends', from the facts.
    const BackupMessage message = backupMessage(job, result);
    EXPECT_EQ(message.title, "Backup failed");
    EXPECT_TRUE(message.warning);
    EXPECT_THAT(message.text, HasSubstr("Reason: the file is in use by another program"));
    EXPECT_TRUE(result.written.empty());
    EXPECT_TRUE(dialogs.shown.empty());

    fs.setLocked("C:\\ICQ\\db\\a.idx", false);
    const BackupResult done = run();
    EXPECT_EQ(done.outcome, BackupOutcome::Done);
    EXPECT_EQ(done.written, "D:\\Save");
    EXPECT_FALSE(done.cause);
    EXPECT_EQ(fs.content("D:\\Save\\a.idx"), "index");
}

TEST_F(Engine, ADestinationInTheDatabaseFolderIsRefusedBeforeAnythingIsWritten) {
    fs.addFolder("C:\\ICQ\\db\\Keep");
    fs.addFolder("C:\\ICQ\\dbx");
    for (const char* inside : {"C:\\ICQ\\db", "c:\\icq\\DB\\", "C:\\ICQ\\db\\Keep"}) {
        for (BackupKind kind : {BackupKind::Normal, BackupKind::Zip}) {
            job.destination = inside;
            job.kind = kind;
            job.keep = kind == BackupKind::Zip ? std::optional<int>(2) : std::nullopt;
            job.stamp = "2026-12-07-030000";
            const BackupResult result = run();
            EXPECT_EQ(result.outcome, BackupOutcome::Failed) << inside;
            ASSERT_TRUE(result.cause);
            EXPECT_EQ(result.cause->file, inside);
            EXPECT_THAT(backupMessage(job, result).text,
                        HasSubstr("A backup must go elsewhere: choose a backup "
                                  "folder outside C:\\ICQ\\db."));
            EXPECT_TRUE(fs.changes().empty()) << fs.dump();
        }
    }
    job.destination = "C:\\ICQ\\dbx"; // only a name that starts the same
    EXPECT_EQ(run().outcome, BackupOutcome::Done);
}

// The same folders under the other names the system gives them: a long-path prefix, letters
// outside ASCII in another case, an 8.3 alias, a junction either way round.
TEST_F(Engine, TheDatabaseFolderIsRecognisedUnderEveryNameTheSystemGivesIt) {
    fs.addFolder("C:\\\xC4rger\\ICQ\\db");
    fs.setShortName("C:\\\xC4rger", "RGER~1");
    fs.addJunction("D:\\Link", "C:\\ICQ\\db");
    fs.addJunction("D:\\Messenger", "C:\\ICQ");
    const auto refused = [&](const std::string& messenger, const std::string& destination) {
        job.messengerFolder = messenger;
        job.destination = destination;
        return destinationInsideDatabase(job, fs, fs.codePage()).has_value();
    };
    EXPECT_TRUE(refused("C:\\ICQ", "\\\\?\\C:\\ICQ\\db\\x"));
    EXPECT_TRUE(refused("C:\\\xC4rger\\ICQ", "C:\\\xE4rger\\ICQ\\db"));
    EXPECT_TRUE(refused("C:\\\xC4rger\\ICQ", "C:\\RGER~1\\ICQ\\db\\x"));
    EXPECT_TRUE(refused("C:\\ICQ", "D:\\Link"));
    EXPECT_TRUE(refused("C:\\ICQ", "D:\\Link\\new"));
    EXPECT_TRUE(refused("D:\\Messenger", "C:\\ICQ\\db\\x"));
    EXPECT_FALSE(refused("D:\\Messenger", "D:\\Save"));
    EXPECT_FALSE(refused("C:\\ICQ", "C:\\ICQ\\dbx"));
    EXPECT_TRUE(fs.changes().empty()) << fs.dump();
}

TEST_F(Engine, AZipGenerationListsThePrunedBackupsInItsResultAndItsWords) {
    fs.addFile("D:\\Save\\chathoard-2026-01-01-000000.zip", "old");
    job.kind = BackupKind::Zip;
    job.keep = 1;
    job.stamp = "2026-12-07-030000";
    const BackupResult result = run();
    EXPECT_EQ(result.outcome, BackupOutcome::Done);
    EXPECT_EQ(result.written, "D:\\Save\\chathoard-2026-12-07-030000.zip");
    EXPECT_THAT(result.pruning.deleted, ElementsAre("D:\\Save\\chathoard-2026-01-01-000000.zip"));
    const BackupMessage message = backupMessage(job, result);
    ASSERT_EQ(message.lines.size(), 1u);
    EXPECT_EQ(message.lines[0].text,
              "Deleted the older backup D:\\Save\\chathoard-2026-01-01-000000.zip");
    EXPECT_FALSE(message.lines[0].warning);
    EXPECT_THAT(message.boxText(), HasSubstr("pkunzip.exe\r\n" + message.lines[0].text));
    EXPECT_THAT(fs.entries("D:\\Save"), ElementsAre("chathoard-2026-12-07-030000.zip"));
}

TEST_F(Engine, ARunThatCannotHaveTheLockTouchesNothing) {
    backupLock.heldElsewhere = true;
    bool ran = false;
    const BackupResult result = runAlone(backupLock, 2000, [&] {
        ran = true;
        return run();
    });
    EXPECT_FALSE(ran);
    EXPECT_EQ(result.outcome, BackupOutcome::AnotherBackupRunning);
    const BackupMessage message = backupMessage(job, result);
    EXPECT_EQ(message.title, "Another backup is running");
    EXPECT_THAT(message.text, HasSubstr("waited 2 seconds"));
}

// The window's steps: the listed destination as it is, no look at the database before the
// lock, the lock let go at the end.
TEST_F(Engine, TheWindowsStepsTakeTheLockAndLeaveAFileInUseToTheCopy) {
    fs.setLocked("C:\\ICQ\\db\\a.idx");
    BackupSteps steps;
    steps.lockWaitMs = 2000;
    BackupRun ran = runBackupSteps(job, {fs, archiver, fs.codePage()}, backupLock, steps);
    EXPECT_EQ(ran.stoppedAt, StepStop::None);
    EXPECT_EQ(ran.result.outcome, BackupOutcome::DatabaseInUse);
    EXPECT_EQ(backupLock.waits, std::vector<unsigned>{2000});
    EXPECT_FALSE(backupLock.held);

    backupLock.heldElsewhere = true;
    fs.setLocked("C:\\ICQ\\db\\a.idx", false);
    const size_t changes = fs.changes().size();
    ran = runBackupSteps(job, {fs, archiver, fs.codePage()}, backupLock, steps);
    EXPECT_EQ(ran.stoppedAt, StepStop::AnotherBackupRunning);
    ASSERT_TRUE(ran.result.cause);
    EXPECT_EQ(ran.result.cause->step, BackupStep::WaitForOtherBackup);
    EXPECT_EQ(fs.changes().size(), changes);
}

// A typed destination: made when missing (and said), refused with the reason as a value when
// its drive is gone, and never made inside the database.
TEST_F(Engine, PreparedStepsMakeTheDestinationOrSayWhyNot) {
    std::vector<std::string> made;
    BackupSteps steps;
    steps.prepareDestination = true;
    steps.databaseWaitMinutes = 0;
    steps.destinationCreated = [&](const std::string& folder) { made.push_back(folder); };
    job.destination = "D:\\Save\\New\\Deeper";
    BackupRun ran = runBackupSteps(job, {fs, archiver, fs.codePage()}, backupLock, steps);
    EXPECT_EQ(ran.result.outcome, BackupOutcome::Done);
    EXPECT_THAT(made, ElementsAre("D:\\Save\\New\\Deeper"));
    EXPECT_EQ(fs.content("D:\\Save\\New\\Deeper\\a.dat"), "chats");

    job.destination = "E:\\Save";
    ran = runBackupSteps(job, {fs, archiver, fs.codePage()}, backupLock, steps);
    EXPECT_EQ(ran.stoppedAt, StepStop::Destination);
    ASSERT_TRUE(ran.destination);
    EXPECT_EQ(ran.destination->kind, DestinationProblem::Kind::DriveUnavailable);
    EXPECT_EQ(ran.destination->root, "E:");

    job.destination = "C:\\ICQ\\db\\Copies";
    ran = runBackupSteps(job, {fs, archiver, fs.codePage()}, backupLock, steps);
    EXPECT_EQ(ran.stoppedAt, StepStop::InsideDatabase);
    EXPECT_FALSE(fs.folderExists("C:\\ICQ\\db\\Copies"));
    EXPECT_EQ(made.size(), 1u);
    EXPECT_EQ(backupLock.waits.size(), 1u); // only the run that began asked for the lock
}

TEST_F(Engine, FolderDetectionGivesTheDatabaseFilesAsAValue) {
    const MessengerDatabase found = findMessengerDatabase(fs, "C:\\ICQ");
    EXPECT_TRUE(found.found);
    EXPECT_THAT(found.files, ElementsAre("a.dat", "a.idx"));
    fs.addFolder("C:\\Empty\\db");
    EXPECT_FALSE(findMessengerDatabase(fs, "C:\\Empty").found);
    EXPECT_FALSE(findMessengerDatabase(fs, "C:\\Missing").found);
}

} // namespace
} // namespace ch
