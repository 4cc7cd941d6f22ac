// Cancel at every point of a job: each run asks to stop at its Nth progress report, for every
// N, and must end either cancelled with every disk as it was before, byte for byte, or (past
// the point of no return) done with the disks as a run left alone leaves them.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <set>

#include "app/backup_messages.h"
#include "app/check_messages.h"
#include "backup/backup_common.h"
#include "backup/restore.h"
#include "tests/support/fake_services.h"
#include "tests/support/zip_maker.h"
#include "tests/unit/restore_said.h"

namespace ch {
namespace {

using ::testing::HasSubstr;

// ZipOwnStagingFolder: the program folder is elsewhere, so the ZIP Backup makes its staging
// folder C:\chathoard itself (in the others the program folder is that folder). ZipOnDemand:
// that, with a library that asks for each copy as it packs; ZipCopiesAhead: that, with every
// copy asked for ahead made at once, so that a Cancel finds copies made and never taken.
enum class Job {
    Zip,
    ZipOwnStagingFolder,
    ZipOnDemand,
    ZipCopiesAhead,
    ZipGenerations,
    Normal,
    NormalGenerations,
    RestoreArchive,
    RestoreFolder
};

// Larger than a copy's piece, so that copies are stopped part-way too.
const std::string kChats(2500, 'c');
const std::string kIndex(1500, 'i');

struct JobRun : test::FakeServices {
    explicit JobRun(Job job)
        : job_(job), programFolder_(job == Job::ZipOwnStagingFolder || job == Job::ZipOnDemand ||
                                            job == Job::ZipCopiesAhead
                                        ? "C:\\Program Files\\Chathoard"
                                        : "C:\\Chathoard") {
        archiver.onDemandEntry = job == Job::ZipOnDemand || job == Job::ZipCopiesAhead;
        fs.copiesMadeAhead = job == Job::ZipCopiesAhead;
        fs.copyPiece = 1024;
        fs.addDrive('d');
        fs.addFile("C:\\ICQ\\db\\a.dat", kChats);
        fs.addFile("C:\\ICQ\\db\\a.idx", kIndex);
        fs.addFile(programFolder_ + "\\defaultdrive.ini", "C\r\n");
        // What each kind of job must leave alone when cancelled, and replace or prune if not.
        fs.addFile("D:\\Save\\chathoard.zip", "the earlier archive");
        fs.addFile("D:\\Save\\a.dat", "earlier chats");
        fs.addFile("D:\\Save\\chathoard-2026-01-01-000000.zip", "older");
        fs.addFile("D:\\Save\\chathoard-2026-01-02-000000.zip", "old");
        fs.addFile("D:\\Save\\2026-01-01-000000\\a.dat", "older chats");
        fs.addFile("D:\\Save\\2026-01-02-000000\\a.dat", "old chats");
        fs.addFile("D:\\Save\\backup.zip", test::makeZip({{"a.dat", "restored chats" + kChats},
                                                          {"a.idx", "restored index" + kIndex}}));
        fs.addFile("D:\\Save\\copies\\a.dat", "copied chats" + kChats);
        fs.addFile("D:\\Save\\copies\\a.idx", "copied index" + kIndex);
    }

    // Runs the job, asking to stop at report number cancelAt (never when 0).
    BackupOutcome go(size_t cancelAt) {
        control.report = [this, cancelAt](const WorkProgress& p) {
            reports.push_back(p);
            if (reports.size() == cancelAt)
                cancel = true;
        };
        control.cancelRequested = &cancel;
        if (job_ == Job::RestoreArchive || job_ == Job::RestoreFolder) {
            const CheckedBackup checked = checkBackup(
                fs, fs.codePage(),
                job_ == Job::RestoreArchive ? "D:\\Save\\backup.zip" : "D:\\Save\\copies", control);
            if (checked.cancelled) {
                text = restoreCancelledText("C:\\ICQ");
                return BackupOutcome::Cancelled;
            }
            restoreStart = reports.size();
            const SaidRestore r =
                restoreSaid(fs, fs.codePage(), checked, "C:\\ICQ", "2026-12-07-030000", control);
            text = r.text;
            return r.outcome == RestoreOutcome::Done        ? BackupOutcome::Done
                   : r.outcome == RestoreOutcome::Cancelled ? BackupOutcome::Cancelled
                                                            : BackupOutcome::Failed;
        }
        BackupJob job;
        job.kind = job_ == Job::Zip || job_ == Job::ZipOwnStagingFolder ||
                           job_ == Job::ZipOnDemand || job_ == Job::ZipCopiesAhead ||
                           job_ == Job::ZipGenerations
                       ? BackupKind::Zip
                       : BackupKind::Normal;
        job.messengerFolder = "C:\\ICQ";
        job.databaseFiles = {"a.dat", "a.idx"};
        job.destination = "D:\\Save";
        job.stagingDrive = "C";
        job.programFolder = programFolder_;
        if (job_ == Job::ZipGenerations || job_ == Job::NormalGenerations) {
            job.keep = 2;
            job.stamp = "2026-12-07-030000";
        }
        job.control = control;
        const BackupResult result = runBackup(job, {fs, archiver, fs.codePage()});
        const BackupMessage message = backupMessage(job, result);
        text = message.text;
        if (result.outcome == BackupOutcome::Cancelled) {
            EXPECT_EQ(message.title, "Backup cancelled");
            EXPECT_FALSE(message.warning);
        }
        return result.outcome;
    }

    Job job_;
    std::string programFolder_;
    std::atomic<bool> cancel{false};
    WorkControl control;
    std::vector<WorkProgress> reports;
    size_t restoreStart = 0; // the first report of a restore after its check
    std::string text;
};

struct CancelAtEveryReport : ::testing::TestWithParam<Job> {};

TEST_P(CancelAtEveryReport, LeavesEverythingAsItWasOrFinishesPastThePointOfNoReturn) {
    JobRun whole(GetParam());
    const std::string before = whole.fs.tree();
    ASSERT_EQ(whole.go(0), BackupOutcome::Done) << whole.text << whole.fs.dump();
    const std::string after = whole.fs.tree();
    if (GetParam() == Job::ZipOwnStagingFolder || GetParam() == Job::ZipOnDemand ||
        GetParam() == Job::ZipCopiesAhead) {
        EXPECT_THAT(whole.fs.logOf({test::FsOp::MakeFolder}),
                    ::testing::Contains("make-folder C:\\chathoard"));
    }
    const std::vector<WorkProgress>& reports = whole.reports;

    // Bytes over the whole job only grow and end at its total. A restore's check and its
    // unpacking are two jobs, with the question between them.
    ASSERT_FALSE(reports.empty());
    for (size_t i = 0; i < reports.size(); ++i) {
        const bool first = i == 0 || i == whole.restoreStart;
        EXPECT_GT(reports[i].totalBytes, 0u);
        if (!first) {
            EXPECT_EQ(reports[i].totalBytes, reports[i - 1].totalBytes) << "report " << i;
            EXPECT_GE(reports[i].doneBytes, reports[i - 1].doneBytes) << "report " << i;
        }
        if (i + 1 == reports.size() || i + 1 == whole.restoreStart) {
            EXPECT_EQ(reports[i].doneBytes, reports[i].totalBytes) << "report " << i;
        }
    }

    std::set<WorkStage> cancelledIn;
    bool pastNoReturn = false;
    for (size_t n = 1; n <= reports.size(); ++n) {
        JobRun run(GetParam());
        const BackupOutcome outcome = run.go(n);
        SCOPED_TRACE("cancelled at report " + std::to_string(n) + ": " +
                     workStageText(reports[n - 1]));
        if (outcome == BackupOutcome::Cancelled) {
            EXPECT_FALSE(pastNoReturn) << "cancelled after an earlier Cancel had no effect";
            EXPECT_EQ(run.fs.tree(), before) << run.fs.dump();
            EXPECT_THAT(run.text, HasSubstr("was cancelled. Nothing in "));
            // It stops at once: no report follows the one that asked.
            EXPECT_EQ(run.reports.size(), n);
            cancelledIn.insert(reports[n - 1].stage);
        } else {
            ASSERT_EQ(outcome, BackupOutcome::Done) << run.text;
            EXPECT_EQ(run.fs.tree(), after) << run.fs.dump();
            pastNoReturn = true;
        }
    }
    std::set<WorkStage> expected;
    switch (GetParam()) {
    case Job::Zip:
    case Job::ZipOwnStagingFolder:
    case Job::ZipOnDemand:
    case Job::ZipCopiesAhead:
    case Job::ZipGenerations:
        expected = {WorkStage::Copying, WorkStage::Packing, WorkStage::Checking};
        break;
    case Job::Normal:
    case Job::NormalGenerations:
        expected = {WorkStage::Copying};
        break;
    case Job::RestoreArchive:
        expected = {WorkStage::Checking, WorkStage::Unpacking};
        break;
    case Job::RestoreFolder:
        expected = {WorkStage::Checking, WorkStage::Copying};
        break;
    }
    EXPECT_EQ(cancelledIn, expected);
}

INSTANTIATE_TEST_SUITE_P(Jobs, CancelAtEveryReport,
                         ::testing::Values(Job::Zip, Job::ZipOwnStagingFolder, Job::ZipOnDemand,
                                           Job::ZipCopiesAhead, Job::ZipGenerations, Job::Normal,
                                           Job::NormalGenerations, Job::RestoreArchive,
                                           Job::RestoreFolder));

} // namespace
} // namespace ch
