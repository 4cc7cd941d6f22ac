// Which copies must reach the disk: a Normal Backup's copies are the backup, so each is
// flushed; the ZIP Backup's staged copies are deleted once the archive is made, so they skip
// the flush.
#include <gtest/gtest.h>

#include "backup/normal_backup.h"
#include "backup/zip_backup.h"
#include "tests/unit/backup_scene.h"

namespace ch {
namespace {

using test::BackupScene;
using test::FsOp;

// The flush each copy of the run asked for, in order.
std::vector<CopyFlush> copyFlushes(const BackupScene& s) {
    std::vector<CopyFlush> flushes;
    for (const test::FsCall& call : s.fs.log)
        if (call.op == FsOp::Copy || call.op == FsOp::CopyToTemporary)
            flushes.push_back(call.flush);
    return flushes;
}

TEST(CopyFlush, NormalBackupFlushesEveryCopy) {
    BackupScene s;
    ASSERT_EQ(Command2_Click(s.sources(), s.services), BackupOutcome::Done);
    EXPECT_EQ(copyFlushes(s), std::vector<CopyFlush>(2, CopyFlush::ToDisk));
}

TEST(CopyFlush, ZipBackupStagesWithoutFlushingAndStillArchivesEveryByte) {
    BackupScene s;
    std::vector<std::string> staged;
    s.archiver.duringAddZip = [&] {
        staged = {s.fs.content("C:\\chathoard\\a.dat"), s.fs.content("C:\\chathoard\\a.idx")};
    };
    ASSERT_EQ(Command1_Click(s.sources(), "C", s.services), BackupOutcome::Done);
    EXPECT_EQ(copyFlushes(s), std::vector<CopyFlush>(2, CopyFlush::NotNeeded));
    EXPECT_EQ(staged, (std::vector<std::string>{"chats", "index"}));
}

TEST(CopyFlush, AFailedCopyStillRecordsWhatItWasAskedFor) {
    BackupScene s;
    s.fs.failOnce(FsOp::Copy, "", errDiskFull);
    EXPECT_THROW(s.fs.copyFile("C:\\ICQ\\db\\a.dat", "D:\\Save\\a.dat", CopyFlush::NotNeeded),
                 RuntimeError);
    ASSERT_EQ(s.fs.log.back().op, FsOp::Copy);
    EXPECT_EQ(s.fs.log.back().flush, CopyFlush::NotNeeded);
    EXPECT_EQ(s.fs.log.back().error, errDiskFull);
}

} // namespace
} // namespace ch
