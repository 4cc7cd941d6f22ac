// The copy's two shortcuts keep its promises: telling files apart by index first still finds
// a destination that is the source under another name, and a copy that skips the flush is
// still whole, time-stamped and put in place under its temporary name.
#include <gtest/gtest.h>

#include "platform/runtime_error.h"
#include "platform/win32/win32_file_system.h"
#include "tests/win32/win32_test_helpers.h"

namespace ch {
namespace {

using test::TempFolder;
using test::writeFile;

int errorOfCopy(Win32FileSystem& fs, const std::string& source, const std::string& destination,
                CopyFlush flush = CopyFlush::ToDisk) {
    try {
        fs.copyFile(source, destination, flush);
    } catch (const RuntimeError& e) {
        return e.number();
    }
    return 0;
}

TEST(Win32CopyShortcuts, AHardLinkToTheSourceIsTheSourceItself) {
    Win32FileSystem fs;
    TempFolder dir;
    writeFile(dir / "messages.dat", "data");
    ASSERT_TRUE(
        CreateHardLinkA((dir / "link.dat").c_str(), (dir / "messages.dat").c_str(), nullptr));
    EXPECT_EQ(errorOfCopy(fs, dir / "messages.dat", dir / "link.dat"), errPermissionDenied);
    EXPECT_EQ(test::readFile(dir / "messages.dat"), "data");
    EXPECT_EQ(test::countStartingWith(dir.path(), kCopyTempPrefix), 0);
    // Another file of the same folder is a different file.
    writeFile(dir / "other.dat", "older");
    EXPECT_EQ(errorOfCopy(fs, dir / "messages.dat", dir / "other.dat"), 0);
    EXPECT_EQ(test::readFile(dir / "other.dat"), "data");
}

TEST(Win32CopyShortcuts, AnUnflushedCopyIsWholeAndReplacesOnlyWhenComplete) {
    Win32FileSystem fs;
    TempFolder dir;
    const std::string content(3 * 1024 * 1024 + 7, 'x');
    writeFile(dir / "messages.dat", content);
    writeFile(dir / "staged.dat", "an earlier staged copy");
    EXPECT_EQ(errorOfCopy(fs, dir / "messages.dat", dir / "staged.dat", CopyFlush::NotNeeded), 0);
    EXPECT_EQ(test::readFile(dir / "staged.dat"), content);
    EXPECT_EQ(fs.modifiedTime(dir / "staged.dat"), fs.modifiedTime(dir / "messages.dat"));

    fs.makeFolder(dir / "in the way.dat");
    EXPECT_EQ(errorOfCopy(fs, dir / "messages.dat", dir / "in the way.dat", CopyFlush::NotNeeded),
              errPathFileAccess);
    EXPECT_EQ(test::countStartingWith(dir.path(), kCopyTempPrefix), 0);
}

} // namespace
} // namespace ch
