// Checking and restoring backups over the in-memory platform. Archives come from the tests'
// own minimal ZIP writer, standing for "any ZIP tool".
#include <functional>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <new>

#include "app/backup_window.h"
#include "app/check_messages.h"
#include "app/command_line.h"
#include "app/frm_check.h"
#include "app/selection_handlers.h"
#include "backup/restore.h"
#include "backup/verify.h"
#include "backup/zip_reader.h"
#include "tests/support/fake_services.h"
#include "tests/support/zip_maker.h"
#include "tests/unit/restore_said.h"

namespace ch {
namespace {

using test::FsOp;
using test::makeZip;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

// Data that does not compress, so that an archive cut short breaks inside it.
const std::string kChats = [] {
    std::string s(3000, '\0');
    uint32_t x = 12345;
    for (char& c : s) {
        x = x * 1103515245u + 12345u;
        c = static_cast<char>(x >> 24);
    }
    return s;
}();

// A messenger folder C:\ICQ with a database and a file of the user's own in db, an archive
// D:\Save\chathoard.zip and a folder of copies D:\Copies of a newer database.
struct Restoring : test::FakeServices {
    Restoring() {
        fs.addDrive('d');
        fs.addFile("C:\\ICQ\\db\\a.dat", "old chats");
        fs.addFile("C:\\ICQ\\db\\a.idx", "old index");
        fs.addFile("C:\\ICQ\\db\\notes.txt", "mine");
        fs.addFile("D:\\Save\\chathoard.zip", makeZip({{"a.dat", kChats}, {"a.idx!", "index"}}));
        fs.addFile("D:\\Copies\\a.dat", kChats);
        fs.addFile("D:\\Copies\\a.idx", "index");
        fs.addFile("D:\\Copies\\readme.txt", "not restored");
    }
    SaidRestore restore(const std::string& backup) {
        return restoreSaid(fs, fs.codePage(), checkBackup(fs, fs.codePage(), backup), "C:\\ICQ",
                           "2026-12-07-030000");
    }
    std::vector<std::string> dbFiles() const { return fs.entries("C:\\ICQ\\db"); }
};

struct RestoreScene : ::testing::Test, Restoring {};

TEST_F(RestoreScene, VerifyComparesEachFileWithTheDatabase) {
    fs.addFile("C:\\ICQ\\db\\b.dat", "only in the database");
    fs.addFile("D:\\Save\\chathoard.zip",
               makeZip({{"db/a.dat", "old chats"}, {"db/a.idx", "index"}, {"db/c.idx", "x"}}));
    const VerifyReport report =
        verifyBackup(fs, fs.codePage(), "D:\\Save\\chathoard.zip", "C:\\ICQ");
    EXPECT_TRUE(report.intact);
    ASSERT_EQ(report.lines.size(), 5u);
    EXPECT_EQ(report.lines[0], "db/a.dat: intact, 9 bytes; the same as in the database");
    EXPECT_EQ(report.lines[1], "db/a.idx: intact, 5 bytes; the database's copy has changed since");
    EXPECT_EQ(report.lines[2], "db/c.idx: intact, 1 byte; only in the backup");
    EXPECT_EQ(report.lines[3], "b.dat: missing from the backup (it is in C:\\ICQ\\db)");
    EXPECT_THAT(report.lines[4], HasSubstr("is intact: 3 database files"));

    const VerifyReport folder = verifyBackup(fs, fs.codePage(), "D:\\Copies", std::nullopt);
    EXPECT_TRUE(folder.intact);
    EXPECT_THAT(folder.lines, ElementsAre("a.dat: readable, 3000 bytes", "a.idx: readable, 5 bytes",
                                          HasSubstr("D:\\Copies is readable: 2 database files")));
}

// Plain copies hold no checksums: a copy newer than the database file it differs from was
// changed after the backup or damaged, and is never called intact.
TEST_F(RestoreScene, APlainCopyThatDiffersAndIsNewerThanTheDatabaseIsSuspect) {
    fs.addFile("C:\\ICQ\\db\\a.dat", kChats, 1'500'000'000);
    fs.addFile("C:\\ICQ\\db\\a.idx", "index and more", 1'700'000'000);
    std::string flipped = kChats;
    for (size_t i = 100; i < 116; ++i)
        flipped[i] = static_cast<char>(~flipped[i]);
    fs.addFile("D:\\Copies\\a.dat", flipped, 1'600'000'000);
    fs.addFile("D:\\Copies\\a.idx", "index", 1'600'000'000);
    const VerifyReport report = verifyBackup(fs, fs.codePage(), "D:\\Copies", "C:\\ICQ");
    EXPECT_FALSE(report.intact);
    EXPECT_THAT(report.lines,
                ElementsAre("a.dat: SUSPECT: readable, 3000 bytes; it differs from the "
                            "database's copy (the same size, other contents) though it is "
                            "newer: it was changed after the backup, or is damaged",
                            "a.idx: readable, 5 bytes; it differs from the database's copy (14 "
                            "bytes in the database): ICQ has written to that since, or this "
                            "copy is damaged",
                            "The backup D:\\Copies is SUSPECT: a copy differs from the database "
                            "though newer than it; see the lines above."));
}

TEST_F(RestoreScene, VerifyNamesTheEntryWhereADamagedOrTruncatedArchiveBreaks) {
    const std::string zip = fs.content("D:\\Save\\chathoard.zip");
    // Cut inside the first entry's data: no central directory is left.
    fs.addFile("D:\\Save\\cut.zip", zip.substr(0, 200));
    const VerifyReport cut = verifyBackup(fs, fs.codePage(), "D:\\Save\\cut.zip", std::nullopt);
    EXPECT_FALSE(cut.intact);
    EXPECT_THAT(cut.lines, ::testing::Contains(HasSubstr("central directory is missing")));
    EXPECT_THAT(cut.lines, ::testing::Contains("a.dat: DAMAGED: the archive ends inside this "
                                               "entry (it is truncated)"));
    EXPECT_EQ(cut.lines.back(), "The backup D:\\Save\\cut.zip is DAMAGED: it cannot be restored.");

    // One flipped byte in the stored entry's data: its CRC-32 no longer matches.
    std::string flipped = zip;
    flipped[flipped.find("index")] = 'X';
    fs.addFile("D:\\Save\\flipped.zip", flipped);
    const CheckedBackup damaged = checkBackup(fs, fs.codePage(), "D:\\Save\\flipped.zip");
    EXPECT_FALSE(damaged.intact());
    EXPECT_EQ(damaged.files.at(0).fault, BackupFile::Fault::None);
    EXPECT_EQ(damaged.files.at(1).fault, BackupFile::Fault::Damaged);
    EXPECT_THAT(fileProblemText(damaged.files.at(1)), HasSubstr("CRC-32"));

    fs.addFile("D:\\Save\\junk.zip", "not an archive at all, just text");
    EXPECT_FALSE(verifyBackup(fs, fs.codePage(), "D:\\Save\\junk.zip", std::nullopt).intact);
}

TEST(EntryNames, OnlyNamesThatStayInsideTheTargetFolderAreAccepted) {
    for (const char* good :
         {"a.dat", "db/a.dat", "ICQ\\db\\a.idx", "a..b.dat", "./a.dat", "console.dat", "com10.idx"})
        EXPECT_TRUE(entryNameStaysInside(good, test::isNeverLeadByte)) << good;
    for (const char* bad : {"../a.dat", "db/../../a.dat", "..\\a.dat", "/a.dat", "\\a.dat",
                            "C:a.dat", "C:\\Windows\\a.dat", "db/..", "", "nul.dat", "db/CON.idx",
                            "aux .dat", "lpt1.dat", "Com9"})
        EXPECT_FALSE(entryNameStaysInside(bad, test::isNeverLeadByte)) << bad;
}

TEST_F(RestoreScene, AnArchiveWithAnEntryLeavingTheFolderIsRefusedAndNothingIsWritten) {
    fs.addFile("D:\\Save\\evil.zip", makeZip({{"a.dat", "x"}, {"../../evil.dat", "y"}}));
    const auto before = fs.changes().size();
    const SaidRestore report = restore("D:\\Save\\evil.zip");
    EXPECT_EQ(report.outcome, RestoreOutcome::Refused);
    EXPECT_THAT(report.text, HasSubstr("../../evil.dat would be unpacked outside"));
    EXPECT_EQ(fs.changes().size(), before) << fs.dump();
    EXPECT_EQ(fs.content("C:\\ICQ\\db\\a.dat"), "old chats");
}

TEST_F(RestoreScene, ArchiveInOneFolderAndFolderOfCopiesAreRestoredAndTheOldDbIsKept) {
    fs.addFile("C:\\ICQ\\db\\avatars\\me.bmp", "picture");
    fs.addFile("D:\\Save\\tool.zip", makeZip({{"backup/", ""},
                                              {"backup/a.dat", kChats},
                                              {"backup/a.idx", "index"},
                                              {"backup/readme.txt", "skipped"}}));
    int run = 0;
    for (const char* backup : {"D:\\Save\\tool.zip", "D:\\Copies"}) {
        const std::string stamp = "2026-12-07-03000" + std::to_string(++run);
        const SaidRestore report = restoreSaid(
            fs, fs.codePage(), checkBackup(fs, fs.codePage(), backup), "C:\\ICQ", stamp);
        ASSERT_EQ(report.outcome, RestoreOutcome::Done) << report.text << fs.dump();
        // The database is replaced; the messenger's other files stay where they were.
        EXPECT_THAT(dbFiles(), ElementsAre("a.dat", "a.idx", "avatars", "notes.txt"));
        EXPECT_EQ(fs.content("C:\\ICQ\\db\\avatars\\me.bmp"), "picture");
        EXPECT_EQ(fs.content("C:\\ICQ\\db\\a.dat"), kChats);
        EXPECT_EQ(fs.content("C:\\ICQ\\db\\a.idx"), "index");
        EXPECT_EQ(report.previousFolder, "C:\\ICQ\\db.before-restore-" + stamp);
        EXPECT_THAT(report.text,
                    HasSubstr("Your previous database was kept in " + report.previousFolder));
    }
    // The first restore kept the original database.
    const auto kept = fs.entries("C:\\ICQ");
    ASSERT_EQ(kept.size(), 3u) << fs.dump();
    EXPECT_THAT(fs.entries("C:\\ICQ\\" + kept[1]), ElementsAre("a.dat", "a.idx"));
    EXPECT_EQ(fs.content("C:\\ICQ\\" + kept[1] + "\\a.dat"), "old chats");
}

// Restored files carry the time the archive records for them, not the time of the restore.
TEST_F(RestoreScene, FilesRestoredFromAnArchiveKeepTheArchivesTimes) {
    const CheckedBackup checked = checkBackup(fs, fs.codePage(), "D:\\Save\\chathoard.zip");
    ASSERT_EQ(restoreSaid(fs, fs.codePage(), checked, "C:\\ICQ", "2026-12-07-030000").outcome,
              RestoreOutcome::Done);
    for (const char* name : {"a.dat", "a.idx"}) {
        const int64_t modified = fs.modifiedTime(std::string("C:\\ICQ\\db\\") + name);
        EXPECT_EQ(localDateText(modified), "1980-01-01 00:00") << name;
        EXPECT_EQ(modified, checked.files.at(0).modified) << name;
    }
}

// What the system throws beyond the file errors (memory running out, say) still takes the
// restore's own folder with it, and leaves db as it was.
TEST_F(RestoreScene, AnUnexpectedFailureRemovesWhatTheRestoreWrote) {
    struct FailingWrites : test::MemoryFileSystem {
        std::function<void()> onAppend;
        void writeFile(const std::string& path, const std::string& bytes, WriteMode mode) override {
            if (mode == WriteMode::Append && onAppend)
                onAppend();
            MemoryFileSystem::writeFile(path, bytes, mode);
        }
    };
    std::string large;
    while (large.size() < (size_t{5} << 20))
        large += kChats;
    const std::string zip = makeZip({{"a.idx", "index"}, {"a.dat", large}});
    const auto restoreWith = [&](FailingWrites& disk) {
        disk.addFile("C:\\ICQ\\db\\a.dat", "old chats");
        disk.addFile("D:\\chathoard.zip", zip);
        return restoreSaid(disk, disk.codePage(),
                           checkBackup(disk, disk.codePage(), "D:\\chathoard.zip"), "C:\\ICQ",
                           "2026-12-07-030000");
    };
    const auto expectAsItWas = [](FailingWrites& disk) {
        EXPECT_THAT(disk.entries("C:\\ICQ"), ElementsAre("db")) << disk.dump();
        EXPECT_THAT(disk.entries("C:\\ICQ\\db"), ElementsAre("a.dat"));
    };
    {
        FailingWrites disk;
        disk.addDrive('d');
        disk.onAppend = [] { throw std::bad_alloc(); };
        const SaidRestore report = restoreWith(disk);
        EXPECT_EQ(report.outcome, RestoreOutcome::Failed);
        EXPECT_THAT(report.text, HasSubstr("there was not enough memory"));
        expectAsItWas(disk);
    }
    {
        FailingWrites disk;
        disk.addDrive('d');
        disk.onAppend = [] { throw 42; };
        EXPECT_THROW(restoreWith(disk), int);
        expectAsItWas(disk);
    }
}

// A file larger than a 32-bit process could hold twice over is written as it is inflated, in
// batches; an empty one is still created.
TEST_F(RestoreScene, ALargeEntryIsWrittenInBatchesAndAnEmptyOneIsCreated) {
    std::string large;
    while (large.size() < (size_t{9} << 20))
        large += kChats;
    fs.addFile("D:\\Save\\large.zip", makeZip({{"a.dat!", large}, {"a.idx", ""}}));
    const SaidRestore report =
        restoreSaid(fs, fs.codePage(), checkBackup(fs, fs.codePage(), "D:\\Save\\large.zip"),
                    "C:\\ICQ", "2026-12-07-030000");
    ASSERT_EQ(report.outcome, RestoreOutcome::Done) << report.text;
    EXPECT_TRUE(fs.content("C:\\ICQ\\db\\a.dat") == large);
    EXPECT_EQ(fs.content("C:\\ICQ\\db\\a.idx"), "");
    std::vector<std::string> writes;
    for (const std::string& op : fs.logOf({FsOp::WriteNewFile, FsOp::AppendText}))
        writes.push_back(op.substr(0, op.find(' ')));
    EXPECT_EQ(writes.size(), 4u); // a.dat: a new file, then two appended batches; a.idx

    // A batch that cannot be written takes the half-written file and its folder with it.
    Restoring failing;
    failing.fs.addFile("D:\\Save\\large.zip", fs.content("D:\\Save\\large.zip"));
    failing.fs.failOnce(FsOp::AppendText, "*", errDiskFull);
    const SaidRestore failed = failing.restore("D:\\Save\\large.zip");
    EXPECT_EQ(failed.outcome, RestoreOutcome::Failed);
    EXPECT_THAT(failed.text, HasSubstr("the disk is full"));
    EXPECT_THAT(failing.fs.entries("C:\\ICQ"), ElementsAre("db")) << failed.text;
    EXPECT_EQ(failing.fs.content("C:\\ICQ\\db\\a.dat"), "old chats");
}

TEST_F(RestoreScene, ADatabaseFileInUseRefusesTheRestoreAndChangesNothing) {
    fs.setLocked("C:\\ICQ\\db\\a.idx");
    const auto before = fs.changes().size();
    const SaidRestore report = restore("D:\\Save\\chathoard.zip");
    EXPECT_EQ(report.outcome, RestoreOutcome::Refused);
    EXPECT_THAT(report.text, HasSubstr("If ICQ is running, close it and try again"));
    EXPECT_EQ(fs.changes().size(), before) << fs.dump();
}

// Every call of a successful restore is failed in turn: the restore either still succeeds
// or leaves db exactly as it was, with no folder of its own left behind.
TEST_F(RestoreScene, AFailureAtAnyFileOperationLeavesTheOriginalDbAsItWas) {
    for (const char* backup : {"D:\\Save\\chathoard.zip", "D:\\Copies"}) {
        size_t calls = 0;
        {
            Restoring clean;
            ASSERT_EQ(clean.restore(backup).outcome, RestoreOutcome::Done);
            calls = clean.fs.log.size();
        }
        int failed = 0;
        for (size_t i = 0; i < calls; ++i) {
            Restoring scene;
            scene.fs.failAtCall(i, errDeviceIO);
            const SaidRestore report = scene.restore(backup);
            const std::string where = std::string(backup) + " call " + std::to_string(i) + ": " +
                                      report.text + "\n" + scene.fs.dump();
            if (report.outcome == RestoreOutcome::Done) {
                EXPECT_EQ(scene.fs.content("C:\\ICQ\\db\\a.dat"), kChats) << where;
                continue;
            }
            ++failed;
            EXPECT_THAT(scene.dbFiles(), ElementsAre("a.dat", "a.idx", "notes.txt")) << where;
            EXPECT_EQ(scene.fs.content("C:\\ICQ\\db\\a.dat"), "old chats") << where;
            EXPECT_EQ(scene.fs.content("C:\\ICQ\\db\\a.idx"), "old index") << where;
            EXPECT_EQ(scene.fs.content("C:\\ICQ\\db\\notes.txt"), "mine") << where;
            EXPECT_THAT(scene.fs.entries("C:\\ICQ"), ElementsAre("db")) << where;
        }
        EXPECT_GT(failed, 5) << backup;
    }
}

TEST_F(RestoreScene, WhenTheOldDbCannotBePutBackTheReportSaysWhereItIs) {
    size_t renameToDb = 0;
    {
        Restoring clean;
        clean.restore("D:\\Copies");
        while (clean.fs.log.at(renameToDb).text().find("rename C:\\ICQ\\db.restore-") != 0)
            ++renameToDb;
    }
    // The rename into db fails, and so do the ones putting notes.txt and the old db back.
    fs.failAtCall(renameToDb, errPermissionDenied);
    fs.failAtCall(renameToDb + 1, errPermissionDenied);
    fs.failAtCall(renameToDb + 2, errPermissionDenied);
    const SaidRestore report = restore("D:\\Copies");
    EXPECT_EQ(report.outcome, RestoreOutcome::FailedPreviousDatabaseElsewhere);
    EXPECT_THAT(report.text, HasSubstr("it is complete in C:\\ICQ\\db.before-restore-"));
    EXPECT_EQ(fs.content(report.previousFolder + "\\a.dat"), "old chats");
}

// Both boxes stay within a screen: a long list ends with how many more files and their size,
// one of 15 is listed whole.
TEST_F(RestoreScene, LongFileListsAreCutToAScreenful) {
    for (int i = 0; i < 120; ++i)
        fs.addFile("D:\\Many\\f" + std::to_string(100 + i) + ".dat", std::string(10240, 'x'));
    const CheckedBackup many = checkBackup(fs, fs.codePage(), "D:\\Many");
    const std::string question = restoreQuestion(many, "C:\\ICQ");
    EXPECT_THAT(question, HasSubstr("files:\r\n    f100.dat  (10.0 KB)\r\n"));
    EXPECT_THAT(question, HasSubstr("    f109.dat  (10.0 KB)\r\n    ... and 110 more files, "
                                    "1.1 MB\r\n\r\nwill replace"));
    EXPECT_THAT(question, Not(HasSubstr("f110")));
    const SaidRestore done = restoreSaid(fs, fs.codePage(), many, "C:\\ICQ", "2026-12-07-030000");
    EXPECT_THAT(done.text, HasSubstr("    f109.dat\r\n    ... and 110 more files, 1.1 MB\r\n\r\n"
                                     "Your previous database"));
    EXPECT_THAT(done.text, Not(HasSubstr("f110")));
    EXPECT_EQ(done.restored.size(), 120u);

    for (int i = 0; i < 15; ++i)
        fs.addFile("D:\\Few\\f" + std::to_string(100 + i) + ".idx", "12345");
    const std::string few = restoreQuestion(checkBackup(fs, fs.codePage(), "D:\\Few"), "C:\\ICQ");
    EXPECT_THAT(few, HasSubstr("    f114.idx  (5 bytes)\r\n\r\nwill replace"));
    EXPECT_THAT(few, Not(HasSubstr("more files")));
}

TEST_F(RestoreScene, TheMenuItemPicksConfirmsAndReports) {
    Label Label1("ICQ Directory found !");
    FolderList Dir1(fs, fs.codePage());
    Dir1.init("C:\\ICQ");
    FolderList Dir2(fs, fs.codePage());
    Dir2.init("D:\\Save");
    const auto mnuRestore_Click = [&](const Label& label, const std::string& stamp) {
        ch::mnuRestore_Click(label, Dir1, Dir2, services, stamp);
    };

    // The dialog opens where the backups go; the question shows sizes as people read them, and
    // Enter answers Cancel.
    picker.answers = {"D:\\Copies\\a.idx"};
    dialogs.answers = {vbCancel};
    mnuRestore_Click(Label1, "2026-12-07-030000");
    EXPECT_EQ(picker.initialFolders.front(), "D:\\Save");
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].title, kRestoreTitle);
    EXPECT_EQ(dialogs.shown[0].style, vbOKCancel | vbQuestion | vbDefaultButton2);
    EXPECT_THAT(dialogs.shown[0].prompt, HasSubstr("Restore the backup D:\\Copies from "));
    EXPECT_THAT(dialogs.shown[0].prompt, HasSubstr("a.dat  (2.9 KB)"));
    EXPECT_EQ(fs.content("C:\\ICQ\\db\\a.dat"), "old chats");

    picker.answers = {"D:\\Save\\chathoard.zip"};
    mnuRestore_Click(Label1, "2026-12-07-030000");
    ASSERT_EQ(dialogs.shown.size(), 3u);
    EXPECT_EQ(dialogs.shown[2].title, kRestoredTitle);
    EXPECT_THAT(dialogs.shown[2].prompt, HasSubstr("a.dat\r\n    a.idx"));
    EXPECT_EQ(fs.content("C:\\ICQ\\db\\a.dat"), kChats);

    // Confirmed while a backup runs: the restore waits for it briefly, then changes nothing.
    backupLock.heldElsewhere = true;
    picker.answers = {"D:\\Copies\\a.idx"};
    dialogs.answers = {vbOK};
    mnuRestore_Click(Label1, "2026-12-07-040000");
    ASSERT_EQ(dialogs.shown.size(), 5u);
    EXPECT_EQ(dialogs.shown[4].title, kRestoreFailedTitle);
    EXPECT_THAT(dialogs.shown[4].prompt, HasSubstr("The restore waited 2 seconds"));
    EXPECT_EQ(fs.content("C:\\ICQ\\db\\a.dat"), kChats);
    EXPECT_FALSE(fs.folderExists("C:\\ICQ\\db.before-restore-2026-12-07-040000"));
    backupLock.heldElsewhere = false;

    // Cancelling the open dialog does nothing; without a messenger folder nothing is asked.
    mnuRestore_Click(Label1, "x");
    Label notFound("No ICQ Directory found");
    mnuRestore_Click(notFound, "x");
    ASSERT_EQ(dialogs.shown.size(), 6u);
    EXPECT_EQ(dialogs.shown[5].title, "Oops...");
    EXPECT_EQ(picker.titles.size(), 4u);
}

// File > Check a backup...: /verify's check and comparison, shown in the check window; the
// dialog opens in the backup folder and a database file stands for its folder of copies.
TEST_F(RestoreScene, TheCheckMenuItemShowsTheVerifyReportInItsWindow) {
    Label found(kFoundCaption), notFound(kNotFoundCaption);
    FolderList Dir1(fs, fs.codePage()), Dir2(fs, fs.codePage());
    Dir1.init("C:\\ICQ");
    Dir2.init("D:\\Save");
    std::unique_ptr<FrmCheck> window;

    picker.answers = {"D:\\Copies\\a.idx"};
    mnuCheck_Click(found, Dir1, Dir2, services, window);
    EXPECT_EQ(picker.initialFolders.front(), "D:\\Save");
    ASSERT_EQ(runtime.lastCheck, window.get());
    const std::string& text = window->txtReport.Text();
    EXPECT_THAT(text, HasSubstr("Checking the backup D:\\Copies against the database in "
                                "C:\\ICQ\\db\r\n\r\n"));
    EXPECT_THAT(text, HasSubstr("a.dat: readable, 3000 bytes; it differs from the database's "
                                "copy (9 bytes in the database): ICQ has written to that since, "
                                "or this copy is damaged\r\n"));
    EXPECT_THAT(text, HasSubstr("The backup D:\\Copies is readable: 2 database files"));
    EXPECT_TRUE(dialogs.shown.empty());
    // The verdict is shown first, whatever the report's length; what is wrong under it.
    EXPECT_THAT(window->lblVerdict.Caption(), HasSubstr("D:\\Copies is readable"));
    EXPECT_EQ(window->icon, CheckIcon::Information);
    EXPECT_EQ(window->lblProblems.Caption(), "");

    std::string zip = fs.content("D:\\Save\\chathoard.zip");
    zip[zip.find("index")] = 'X';
    fs.addFile("D:\\Save\\flipped.zip", zip);
    picker.answers = {"D:\\Save\\flipped.zip"};
    mnuCheck_Click(found, Dir1, Dir2, services, window);
    EXPECT_EQ(window->lblVerdict.Caption(),
              "The backup D:\\Save\\flipped.zip is DAMAGED: it cannot be restored.");
    EXPECT_EQ(window->icon, CheckIcon::Error);
    EXPECT_EQ(window->lblProblems.Caption(), "a.idx: DAMAGED: its data does not match its CRC-32");
    CheckReport many;
    many.problems = {"1", "2", "3"};
    window->show(many);
    EXPECT_EQ(window->lblProblems.Caption(), "1\r\n... and 2 more: see the report below.");

    // Without a messenger folder it is only checked; a cancelled dialog shows nothing.
    picker.answers = {"D:\\Save\\chathoard.zip"};
    mnuCheck_Click(notFound, Dir1, Dir2, services, window);
    EXPECT_THAT(window->txtReport.Text(), HasSubstr("not compared"));
    EXPECT_THAT(window->txtReport.Text(), Not(HasSubstr("the same as")));
    mnuCheck_Click(found, Dir1, Dir2, services, window);
    EXPECT_EQ(runtime.modalShown, 3);
}

// One verdict per backup, in words that say one thing; and "from" is the newest database
// file's time whether the backup is an archive or a folder.
TEST_F(RestoreScene, VerifySaysOneVerdictAndDatesEveryBackupByItsNewestFile) {
    const VerifyReport missing = verifyBackup(fs, fs.codePage(), "D:\\Save\\gone.zip", "C:\\ICQ");
    EXPECT_FALSE(missing.intact);
    EXPECT_THAT(missing.lines, ElementsAre("The backup D:\\Save\\gone.zip was not found."));

    fs.clock = 2'000'000'000; // the archive file is newer than its entries (1980-01-01)
    fs.addFile("D:\\Save\\copy.zip", fs.content("D:\\Save\\chathoard.zip"));
    EXPECT_THAT(verifyBackup(fs, fs.codePage(), "D:\\Save\\copy.zip", std::nullopt).lines.back(),
                HasSubstr("from 1980-01-01 00:00 (its newest file's time)."));
    fs.addFile("D:\\Copies\\a.dat", kChats, 1'500'000'000);
    fs.addFile("D:\\Copies\\a.idx", "index", 1'600'000'000);
    EXPECT_THAT(verifyBackup(fs, fs.codePage(), "D:\\Copies", std::nullopt).lines.back(),
                HasSubstr("from " + localDateText(1'600'000'000) + " (its newest file's time)."));

    std::string flipped = fs.content("D:\\Save\\chathoard.zip");
    flipped[flipped.find("index")] = 'X';
    fs.addFile("D:\\Save\\flipped.zip", flipped);
    const VerifyReport damaged =
        verifyBackup(fs, fs.codePage(), "D:\\Save\\flipped.zip", "C:\\ICQ");
    EXPECT_THAT(damaged.lines, ElementsAre("a.dat: intact, 3000 bytes; the database's copy has "
                                           "changed since",
                                           "a.idx: DAMAGED: its data does not match its CRC-32",
                                           "The backup D:\\Save\\flipped.zip is DAMAGED: it "
                                           "cannot be restored."));
}

TEST_F(RestoreScene, CommandLineRestoresWhatTheWindowTakesADatabaseFileForItsFolder) {
    App.Path = "C:\\Tools";
    fs.addFolder("C:\\Tools");
    std::vector<std::string> lines;
    const auto out = [&](const std::string& l, bool) { lines.push_back(l); };
    const auto clock = [] { return std::string("2026-12-07 03:00:00"); };
    EXPECT_EQ(runCommandLine({"/verify", "D:\\Copies\\a.idx"}, commandLine, out, clock), 0);
    EXPECT_EQ(lines.at(0), "Checking the backup D:\\Copies");
    lines.clear();
    EXPECT_EQ(runCommandLine({"/restore", "D:\\Copies\\A.DAT", "C:\\ICQ"}, commandLine, out, clock),
              0)
        << ::testing::PrintToString(lines);
    EXPECT_EQ(lines.at(0), "Restoring the backup D:\\Copies into C:\\ICQ\\db");
    EXPECT_EQ(fs.content("C:\\ICQ\\db\\a.dat"), kChats);
}

// The backup folder itself, as the window names it, stands for the ZIP Backup in it.
TEST_F(RestoreScene, VerifyOfAFolderWithoutCopiesChecksItsZipBackupAndNamesIt) {
    App.Path = "C:\\Tools";
    fs.addFolder("C:\\Tools");
    std::vector<std::string> lines;
    EXPECT_EQ(runCommandLine(
                  {"/verify", "D:\\Save"}, commandLine,
                  [&](const std::string& l, bool) { lines.push_back(l); },
                  [] { return std::string("2026-12-07 03:00:00"); }),
              0)
        << ::testing::PrintToString(lines);
    EXPECT_EQ(lines.at(0), "Checking the backup D:\\Save\\chathoard.zip");

    const std::string zip = fs.content("D:\\Save\\chathoard.zip");
    fs.addFile("D:\\Keep\\chathoard-2026-12-06-030000.zip", zip);
    fs.addFile("D:\\Keep\\chathoard-2026-12-05-030000.zip", zip);
    fs.addFile("D:\\Keep\\chathoard-old.zip", zip);
    EXPECT_EQ(backupToCheck(fs, fs.codePage(), "D:\\Keep"),
              "D:\\Keep\\chathoard-2026-12-06-030000.zip");
    fs.addFile("D:\\Keep\\CHATHOARD.ZIP", zip);
    EXPECT_EQ(backupToCheck(fs, fs.codePage(), "D:\\Keep"), "D:\\Keep\\CHATHOARD.ZIP");
    fs.addFile("D:\\Keep\\a.dat", "a copy");
    EXPECT_EQ(backupToCheck(fs, fs.codePage(), "D:\\Keep"), "D:\\Keep");
    fs.addFile("D:\\chathoard.zip", zip);
    EXPECT_EQ(backupToCheck(fs, fs.codePage(), "D:\\"), "D:\\chathoard.zip");
}

TEST_F(RestoreScene, CommandLineVerifyAndRestoreExitCodes) {
    App.Path = "C:\\Tools";
    fs.addFolder("C:\\Tools");
    std::vector<std::string> lines;
    auto run = [&](const std::vector<std::string>& args) {
        lines.clear();
        return runCommandLine(
            args, commandLine, [&](const std::string& l, bool) { lines.push_back(l); },
            [] { return std::string("2026-12-07 03:00:00"); });
    };
    EXPECT_EQ(run({"/verify", "D:\\Save\\chathoard.zip"}), 0);
    fs.addFile("D:\\Save\\cut.zip", fs.content("D:\\Save\\chathoard.zip").substr(0, 100));
    EXPECT_EQ(run({"-VERIFY", "D:\\Save\\cut.zip", "C:\\ICQ"}), 2);
    EXPECT_THAT(lines, ::testing::Contains(HasSubstr("a.dat: DAMAGED")));
    EXPECT_EQ(run({"/verify"}), 3);
    EXPECT_THAT(lines, ElementsAre("/verify: give the backup, then the messenger folder if it is "
                                   "to be compared",
                                   kSeeUsage, "Finished with exit code 3"));
    EXPECT_EQ(run({"/restore", "D:\\Save\\chathoard.zip"}), 3);
    EXPECT_EQ(run({"/restore", "D:\\Save\\cut.zip", "C:\\ICQ"}), 2);
    // A switch is not a folder; a database folder is not the messenger folder above it.
    EXPECT_EQ(run({"/verify", "D:\\Save\\chathoard.zip", "/wait"}), 3);
    EXPECT_EQ(run({"/restore", "D:\\Save\\chathoard.zip", "C:\\ICQ\\db\\"}), 3);
    EXPECT_THAT(lines, ::testing::Contains(HasSubstr("Did you mean C:\\ICQ?")));
    EXPECT_FALSE(fs.folderExists("C:\\ICQ\\db\\db"));
    // An interrupted restore is described, and nothing is moved.
    fs.addFile("C:\\ICQ2\\db.before-restore-2026-12-06-030000\\a.dat", "previous");
    EXPECT_EQ(run({"/verify", "D:\\Save\\chathoard.zip", "C:\\ICQ2"}), 0);
    EXPECT_THAT(lines, ::testing::Contains(
                           HasSubstr("To put the previous database back, rename "
                                     "C:\\ICQ2\\db.before-restore-2026-12-06-030000 to db.")));
    EXPECT_FALSE(fs.folderExists("C:\\ICQ2\\db"));
    // A backup of that folder shows the window's question, which nobody answers.
    EXPECT_EQ(run({"/normal", "C:\\ICQ2", "D:\\Save"}), 1);
    EXPECT_THAT(lines, ElementsAre(HasSubstr("Normal backup of C:\\ICQ2"),
                                   HasSubstr("[Restore a backup] "), HasSubstr("No messenger"),
                                   "Finished with exit code 1"));
    EXPECT_FALSE(fs.folderExists("C:\\ICQ2\\db"));
    EXPECT_EQ(fs.content("C:\\ICQ\\db\\a.dat"), "old chats");
    // While a backup runs (and copies the database) the restore waits for it, then gives up.
    backupLock.heldElsewhere = true;
    EXPECT_EQ(run({"/restore", "D:\\Save\\chathoard.zip", "C:\\ICQ"}), 5);
    EXPECT_THAT(lines, ::testing::Contains(HasSubstr("The restore waited 20 seconds")));
    EXPECT_EQ(fs.content("C:\\ICQ\\db\\a.dat"), "old chats");
    backupLock.heldElsewhere = false;
    EXPECT_EQ(run({"/restore", "D:\\Save\\chathoard.zip", "C:\\ICQ"}), 0);
    EXPECT_EQ(fs.content("C:\\ICQ\\db\\a.dat"), kChats);
    EXPECT_TRUE(fs.hasFile("C:\\ICQ\\db.before-restore-2026-12-07-030000\\a.dat"));
    EXPECT_THAT(fs.readAll("C:\\Tools\\chathoard.log"), HasSubstr("Finished with exit code 0"));
    EXPECT_FALSE(backupLock.held);
}

// Out of memory, or any other fault that escapes a step, still ends the run with a message,
// a log entry and exit code 2: never an abort whose code reads as "bad arguments".
TEST_F(RestoreScene, AnythingThrownOnTheCommandLineEndsWithCodeTwoAndAMessage) {
    App.Path = "C:\\Tools";
    fs.addFolder("C:\\Tools");
    std::vector<std::string> lines;
    bool thrown = false;
    const int code = runCommandLine(
        {"/verify", "D:\\Save\\chathoard.zip"}, commandLine,
        [&](const std::string& l, bool) {
            if (!std::exchange(thrown, true))
                throw std::bad_alloc();
            lines.push_back(l);
        },
        [] { return std::string("2026-12-07 03:00:00"); });
    EXPECT_EQ(code, 2);
    EXPECT_THAT(
        lines, ElementsAre(HasSubstr("stopped on an internal error"), "Finished with exit code 2"));
    EXPECT_THAT(fs.content("C:\\Tools\\chathoard.log"), HasSubstr("internal error"));
}

} // namespace
} // namespace ch
