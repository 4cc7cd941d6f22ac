// The copy scheme: a complete copy under a temporary name, flushed, then renamed over the old
// destination; on failure the old destination stays as it was and no temporary file is left.
#include <memory>
#include <optional>
#include <string>
#include <vector>

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

// Copies made ahead on their own thread come back in the order asked for, each with its own
// failure; a stop leaves each copy not taken either whole and handed back or not there at all.
TEST_F(Win32CopyTest, CopiesAheadComeInOrderAndStopLeavesNoHalfCopy) {
    const std::string big = bigContent();
    writeFile(dir / "a.dat", big);
    writeFile(dir / "b.dat", "b");
    writeFile(dir / "d.dat", "d");
    ASSERT_TRUE(CreateDirectoryA((dir / "out").c_str(), nullptr));
    std::unique_ptr<CopiesAhead> ahead = fs.copiesAhead();
    for (const char* name : {"a.dat", "b.dat", "c.dat", "d.dat"})
        ahead->add(dir / name, dir / ("out\\" + std::string(name)));
    EXPECT_NE(ahead->take(), nullptr);
    EXPECT_EQ(test::readFile(dir / "out\\a.dat"), big);
    EXPECT_NE(ahead->take(), nullptr);
    try {
        ahead->take();
        ADD_FAILURE() << "a copy of a missing file was made";
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.number(), errFileNotFound);
        EXPECT_THAT(e.description(), HasSubstr(dir / "c.dat"));
    }
    EXPECT_NE(ahead->take(), nullptr);
    EXPECT_EQ(test::readFile(dir / "out\\d.dat"), "d");

    constexpr int kMore = 12;
    for (int n = 0; n < kMore; ++n)
        ahead->add(dir / "a.dat", dir / ("out\\more" + std::to_string(n)));
    std::vector<std::unique_ptr<OpenCopy>> untaken = ahead->stop();
    ASSERT_EQ(untaken.size(), size_t{kMore});
    for (int n = 0; n < kMore; ++n) {
        const std::string copy = dir / ("out\\more" + std::to_string(n));
        SCOPED_TRACE(copy);
        if (untaken[n]) {
            EXPECT_EQ(test::readFile(copy), big);
            untaken[n]->remove();
        }
        EXPECT_FALSE(test::exists(copy));
    }
    ahead.reset();
}

// A copy taken as soon as it is begun is read whole through its handle, reading on as long as
// it says there is more, and goes with remove(); a copy that fails is its taking's failure.
TEST_F(Win32CopyTest, ACopyTakenWhileItIsMadeIsReadWholeAsItGrows) {
    const std::string big = bigContent();
    writeFile(dir / "a.dat", big);
    ASSERT_TRUE(CreateDirectoryA((dir / "out").c_str(), nullptr));
    std::unique_ptr<CopiesAhead> ahead = fs.copiesAhead();
    ahead->add(dir / "a.dat", dir / "out\\a.dat");
    ahead->add(dir / "c.dat", dir / "out\\c.dat");
    std::unique_ptr<OpenCopy> copy = ahead->takeBegun();
    const auto reader = reinterpret_cast<HANDLE>(copy->readHandle());
    std::string read;
    std::vector<char> buffer(300000);
    for (DWORD got = 1; got > 0 || copy->readOn();) {
        ASSERT_TRUE(
            ReadFile(reader, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr));
        read.append(buffer.data(), got);
    }
    EXPECT_TRUE(read == big) << read.size() << " bytes of " << big.size();
    copy->remove();
    EXPECT_FALSE(test::exists(dir / "out\\a.dat"));
    EXPECT_THROW(ahead->takeBegun(), RuntimeError);
    EXPECT_FALSE(test::exists(dir / "out\\c.dat"));
}

TEST_F(Win32CopyTest, TheFirstFileInUseOfManyIsTheFirstInListOrder) {
    std::vector<std::string> files;
    for (int n = 0; n < 300; ++n) {
        files.push_back(dir / (std::to_string(n) + ".dat"));
        writeFile(files.back(), "x");
    }
    EXPECT_EQ(fs.firstInUse(files), std::nullopt);
    auto holdOpen = [&](int n) {
        return CreateFileA(files[n].c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           0, nullptr);
    };
    const HANDLE last = holdOpen(299);
    EXPECT_EQ(fs.firstInUse(files), std::optional<size_t>(299));
    const HANDLE middle = holdOpen(200);
    const HANDLE first = holdOpen(150);
    EXPECT_EQ(fs.firstInUse(files), std::optional<size_t>(150));
    for (HANDLE held : {last, middle, first})
        CloseHandle(held);
}

} // namespace
} // namespace ch
