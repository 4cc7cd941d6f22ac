// The copy scheme: a complete copy under a temporary name, flushed, then renamed over the old
// destination; on failure the old destination stays as it was and no temporary file is left.
#include <memory>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/runtime_error.h"
#include "platform/win32/win32_file_system.h"
#include "tests/win32/win32_test_helpers.h"

namespace ch {
namespace {

using test::TempFolder;
using test::writeFile;
using ::testing::HasSubstr;

class Win32CopyTest : public ::testing::Test {
  protected:
    int leftovers() { return test::countStartingWith(dir.path(), kCopyTempPrefix); }

    // Copies and returns the failure, failing the test when the copy succeeds.
    RuntimeError failedCopy(const std::string& source, const std::string& destination) {
        try {
            fs.copyFile(source, destination);
        } catch (const RuntimeError& e) {
            return e;
        }
        ADD_FAILURE() << "copying " << source << " succeeded";
        return RuntimeError(0);
    }

    Win32FileSystem fs;
    TempFolder dir;
};

// Several buffers' worth of bytes that differ from block to block.
std::string bigContent() {
    std::string bytes(5 * 1024 * 1024 + 123, '\0');
    uint32_t x = 12345;
    for (char& c : bytes) {
        x = x * 1103515245u + 12345u;
        c = static_cast<char>(x >> 24);
    }
    return bytes;
}

TEST_F(Win32CopyTest, CopiesEveryByteAndTheModificationTime) {
    const std::string content = bigContent();
    writeFile(dir / "messages.dat", content);
    fs.copyFile(dir / "messages.dat", dir / "backup.dat");
    EXPECT_EQ(test::readFile(dir / "backup.dat"), content);
    EXPECT_EQ(fs.modifiedTime(dir / "backup.dat"), fs.modifiedTime(dir / "messages.dat"));
    EXPECT_EQ(leftovers(), 0);
}

// A staging copy written in place: only under a name not taken, and a copy stopped part-way
// leaves no file of that name.
TEST_F(Win32CopyTest, CopyToNewWritesInPlaceNeverOverAFileAndLeavesNothingWhenStopped) {
    const std::string content = bigContent();
    writeFile(dir / "messages.dat", content);
    ASSERT_TRUE(fs.copyToNew(dir / "messages.dat", dir / "staged.dat"));
    EXPECT_EQ(test::readFile(dir / "staged.dat"), content);
    EXPECT_EQ(fs.modifiedTime(dir / "staged.dat"), fs.modifiedTime(dir / "messages.dat"));

    writeFile(dir / "taken.dat", "someone's");
    EXPECT_FALSE(fs.copyToNew(dir / "messages.dat", dir / "TAKEN.DAT"));
    EXPECT_EQ(test::readFile(dir / "taken.dat"), "someone's");

    const CopyProgress stop = [](uint64_t copied) { return copied < (1u << 20); };
    EXPECT_THROW(fs.copyToNew(dir / "messages.dat", dir / "stopped.dat", stop), WorkCancelled);
    EXPECT_FALSE(test::exists(dir / "stopped.dat"));
    EXPECT_THROW(fs.copyToNew(dir / "missing.dat", dir / "none.dat"), RuntimeError);
    EXPECT_FALSE(test::exists(dir / "none.dat"));
    EXPECT_EQ(leftovers(), 0);
}

// The copy stays open after copyToNew: the archiving library can read it meanwhile, and it
// goes through that handle once packed; closed without remove() it stays.
TEST_F(Win32CopyTest, AnOpenCopyIsReadableAndGoesThroughItsOwnHandle) {
    writeFile(dir / "messages.dat", "history");
    std::unique_ptr<OpenCopy> copy = fs.copyToNew(dir / "messages.dat", dir / "staged.dat");
    ASSERT_TRUE(copy);
    fs.checkReadable(dir / "staged.dat"); // opened and read as the library does
    copy->remove();
    EXPECT_FALSE(test::exists(dir / "staged.dat"));

    fs.copyToNew(dir / "messages.dat", dir / "kept.dat").reset();
    EXPECT_EQ(test::readFile(dir / "kept.dat"), "history");
}

TEST_F(Win32CopyTest, ReplacesAnExistingDestination) {
    writeFile(dir / "a.idx", "new index");
    writeFile(dir / "b.idx", "an older and longer index");
    fs.copyFile(dir / "a.idx", dir / "b.idx");
    EXPECT_EQ(test::readFile(dir / "b.idx"), "new index");
    writeFile(dir / "empty.dat", "");
    fs.copyFile(dir / "empty.dat", dir / "b.idx");
    EXPECT_EQ(test::readFile(dir / "b.idx"), "");
    EXPECT_EQ(leftovers(), 0);
}

TEST_F(Win32CopyTest, SourceHeldByAnotherProgramIsReportedAsInUse) {
    writeFile(dir / "messages.dat", "data");
    writeFile(dir / "backup.dat", "yesterday");
    HANDLE holder = test::startFileHolder(dir / "messages.dat");
    RuntimeError e = failedCopy(dir / "messages.dat", dir / "backup.dat");
    test::releaseFileHolder(holder, dir / "messages.dat");

    EXPECT_EQ(e.number(), errPermissionDenied);
    EXPECT_TRUE(isSharingViolation(e));
    EXPECT_THAT(e.description(), HasSubstr("in use by another program"));
    EXPECT_THAT(e.description(), HasSubstr(dir / "messages.dat"));
    EXPECT_EQ(test::readFile(dir / "backup.dat"), "yesterday");
    EXPECT_EQ(leftovers(), 0);
}

TEST_F(Win32CopyTest, SourceOpenForWritingInThisProcessIsInUse) {
    writeFile(dir / "messages.dat", "data");
    HANDLE writer = CreateFileA((dir / "messages.dat").c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    RuntimeError e = failedCopy(dir / "messages.dat", dir / "backup.dat");
    CloseHandle(writer);
    EXPECT_EQ(e.number(), errPermissionDenied);
    EXPECT_TRUE(isSharingViolation(e));
    EXPECT_FALSE(test::exists(dir / "backup.dat"));
    EXPECT_EQ(leftovers(), 0);
}

TEST_F(Win32CopyTest, FailedRenameKeepsTheOldDestinationAndRemovesTheTemporaryFile) {
    writeFile(dir / "messages.dat", "today");
    writeFile(dir / "backup.dat", "yesterday");
    // Someone reads the old backup without allowing it to be replaced.
    HANDLE reader =
        CreateFileA((dir / "backup.dat").c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    RuntimeError e = failedCopy(dir / "messages.dat", dir / "backup.dat");
    CloseHandle(reader);

    EXPECT_THAT(e.description(), HasSubstr(dir / "backup.dat"));
    EXPECT_EQ(test::readFile(dir / "backup.dat"), "yesterday");
    EXPECT_EQ(leftovers(), 0);
}

TEST_F(Win32CopyTest, FolderInTheWayOfTheDestination) {
    writeFile(dir / "messages.dat", "today");
    fs.makeFolder(dir / "backup.dat");
    RuntimeError e = failedCopy(dir / "messages.dat", dir / "backup.dat");
    EXPECT_EQ(e.number(), errPathFileAccess);
    EXPECT_TRUE(fs.folderExists(dir / "backup.dat"));
    EXPECT_EQ(leftovers(), 0);
}

TEST_F(Win32CopyTest, FolderAsSourceIsNotAFile) {
    fs.makeFolder(dir / "db");
    EXPECT_EQ(failedCopy(dir / "db", dir / "copy").number(), errPathFileAccess);
    EXPECT_FALSE(test::exists(dir / "copy"));
    EXPECT_EQ(leftovers(), 0);
}

TEST_F(Win32CopyTest, CopyOntoItselfIsRefusedAndKeepsTheFile) {
    fs.makeFolder(dir / "db");
    writeFile(dir / "db\\messages.dat", "data");
    for (const std::string& spelling : {dir / "db\\MESSAGES.DAT", dir / "db\\\\messages.dat"}) {
        RuntimeError e = failedCopy(dir / "db\\messages.dat", spelling);
        EXPECT_EQ(e.number(), errPermissionDenied) << spelling;
        EXPECT_FALSE(isSharingViolation(e)) << "not another program's doing";
        EXPECT_EQ(test::readFile(dir / "db\\messages.dat"), "data");
        EXPECT_EQ(test::countStartingWith(dir / "db", kCopyTempPrefix), 0);
    }
}

// A set's two halves: the copy stays beside the old file until it is moved over it, and a
// read-only old file is refused before anything is copied, not at the rename.
TEST_F(Win32CopyTest, CopyToTemporaryThenMoveOverReplacesAndRefusesReadOnlyEarly) {
    writeFile(dir / "a.idx", "new index");
    writeFile(dir / "b.idx", "old index");
    const std::string temporary = fs.copyToTemporary(dir / "a.idx", dir / "b.idx");
    EXPECT_EQ(test::readFile(dir / "b.idx"), "old index");
    EXPECT_EQ(test::readFile(temporary), "new index");
    fs.moveOver(temporary, dir / "b.idx");
    EXPECT_EQ(test::readFile(dir / "b.idx"), "new index");
    EXPECT_EQ(leftovers(), 0);

    writeFile(dir / "ro.idx", "kept", FILE_ATTRIBUTE_READONLY);
    try {
        fs.copyToTemporary(dir / "a.idx", dir / "ro.idx");
        ADD_FAILURE() << "a read-only destination was accepted";
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.number(), errPermissionDenied);
    }
    EXPECT_EQ(leftovers(), 0);
}

} // namespace
} // namespace ch
