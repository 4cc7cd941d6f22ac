#include <gtest/gtest.h>

#include "platform/runtime_error.h"
#include "tests/support/error_of.h"
#include "tests/support/memory_file_system.h"
#include "tests/unit/backup_scene.h"

namespace ch {
namespace {

using test::BackupScene;
using test::FsOp;
using test::MemoryFileSystem;

using test::errorOf;

TEST(Wildcards, FollowWin32Rules) {
    EXPECT_TRUE(wildcardMatch("*.dat", "Messages.DAT"));
    EXPECT_FALSE(wildcardMatch("*.dat", "x.data"));
    EXPECT_FALSE(wildcardMatch("*.dat", "x.dat.bak"));
    EXPECT_TRUE(wildcardMatch("*.*", "README")); // "*.*" matches names without a dot
    EXPECT_TRUE(wildcardMatch("*.*", "a.b.c"));
    EXPECT_TRUE(wildcardMatch("*", ".hidden"));
    EXPECT_TRUE(wildcardMatch("a?c.idx", "abc.idx"));
    EXPECT_FALSE(wildcardMatch("a?c.idx", "ac.idx"));
    EXPECT_TRUE(wildcardMatch("*.", "noext"));
    EXPECT_FALSE(wildcardMatch("*.", "has.ext"));
    EXPECT_TRUE(wildcardMatch("*a*b*", "xxaYYbzz"));
    EXPECT_FALSE(wildcardMatch("", "x"));

    EXPECT_TRUE(patternListMatch("*.dat;*.idx", "x.IDX"));
    EXPECT_TRUE(patternListMatch("*.dat; *.idx", "x.idx"));
    EXPECT_FALSE(patternListMatch("*.dat;*.idx", "x.txt"));
    EXPECT_FALSE(patternListMatch(";", "x.txt"));
}

TEST(Wildcards, NamesCompareWithoutCase) {
    EXPECT_TRUE(equalNoCase("Db", "dB"));
    EXPECT_FALSE(equalNoCase("db", "db2"));
    EXPECT_TRUE(lessNoCase("apple", "Banana"));
    EXPECT_FALSE(lessNoCase("Banana", "apple"));
    EXPECT_TRUE(lessNoCase("_x", "a"));
}

TEST(MemoryFileSystem, PathsAreReadAsWin32ReadsThem) {
    MemoryFileSystem fs;
    fs.addFile("C:\\ICQ\\db\\Msgs.dat", "abc");
    EXPECT_EQ(fs.readAll("c:\\icq\\DB\\msgs.DAT"), "abc");
    EXPECT_EQ(fs.readAll("C:\\\\ICQ\\\\db\\Msgs.dat"), "abc"); // runs of backslashes
    EXPECT_EQ(fs.readAll("C:/ICQ/db/./x/../Msgs.dat"), "abc");
    EXPECT_EQ(fs.listFiles("C:\\\\ICQ\\db", "*.dat;*.idx"), std::vector<std::string>{"Msgs.dat"});
    fs.setCurrentFolder("C:\\ICQ");
    EXPECT_EQ(fs.readAll("C:db\\Msgs.dat"), "abc"); // relative to the drive's current folder
    fs.addDrive('d');
    EXPECT_EQ(errorOf([&] { fs.makeFolder("D::\\chathoard"); }), errBadFileNameOrNumber);
    EXPECT_EQ(errorOf([&] { fs.makeFolder(":\\chathoard"); }), errBadFileNameOrNumber);
    EXPECT_EQ(errorOf([&] { fs.makeFolder("Q:\\chathoard"); }), errPathNotFound);
}

TEST(MemoryFileSystem, ReturnsTheRuntimeNumbersOfWin32) {
    MemoryFileSystem fs;
    fs.addFile("C:\\a\\f.dat", "x");
    EXPECT_EQ(errorOf([&] { fs.readAll("C:\\a\\missing.dat"); }), errFileNotFound);
    EXPECT_EQ(errorOf([&] { fs.readAll("C:\\nope\\f.dat"); }), errPathNotFound);
    EXPECT_EQ(errorOf([&] { fs.copyFile("C:\\a\\g.dat", "C:\\b.dat"); }), errFileNotFound);
    EXPECT_EQ(errorOf([&] { fs.copyFile("C:\\a\\f.dat", "C:\\nope\\f.dat"); }), errPathNotFound);
    EXPECT_EQ(errorOf([&] { fs.makeFolder("C:\\a"); }), errPathFileAccess);
    EXPECT_EQ(errorOf([&] { fs.makeFolder("C:\\x\\y"); }), errPathNotFound);
    EXPECT_EQ(errorOf([&] { fs.removeFolder("C:\\a"); }), errPathFileAccess); // not empty
    EXPECT_EQ(errorOf([&] { fs.removeFolder("C:\\zz"); }), errPathNotFound);
    EXPECT_EQ(errorOf([&] { fs.deleteByPattern("C:\\a\\*.idx"); }), errFileNotFound);
    EXPECT_EQ(errorOf([&] { fs.deleteByPattern("C:\\zz\\*.*"); }), errPathNotFound);
    EXPECT_EQ(errorOf([&] { fs.listFiles("C:\\zz", "*.*"); }), errPathNotFound);
    EXPECT_EQ(errorOf([&] { fs.listFiles("C:\\a\\f.dat", "*.*"); }), errPathNotFound);
    fs.addFolder("C:\\b");
    EXPECT_EQ(errorOf([&] { fs.rename("C:\\a", "C:\\B"); }), errPathFileAccess);
    EXPECT_EQ(errorOf([&] { fs.rename("C:\\zz", "C:\\y"); }), errFileNotFound);
    fs.rename("C:\\b", "C:\\c");
    EXPECT_TRUE(fs.hasFolder("C:\\c"));
    EXPECT_FALSE(fs.hasFolder("C:\\b"));

    EXPECT_FALSE(fs.fileInUse("C:\\a\\f.dat"));
    fs.setLocked("C:\\a\\f.dat");
    EXPECT_TRUE(fs.fileInUse("C:\\a\\f.dat"));
    try {
        fs.copyFile("C:\\a\\f.dat", "C:\\f.dat");
        ADD_FAILURE() << "a locked source was copied";
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.number(), errPermissionDenied);
        EXPECT_TRUE(isSharingViolation(e));
    }
    fs.setLocked("C:\\a\\f.dat", false);
    fs.setReadOnly("C:\\a\\f.dat");
    try {
        fs.deleteFile("C:\\a\\f.dat");
        ADD_FAILURE() << "a read-only file was deleted";
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.number(), errPermissionDenied);
        EXPECT_FALSE(isSharingViolation(e));
    }
}

TEST(MemoryFileSystem, DrivesComeAndGoAndMayNotBeReady) {
    MemoryFileSystem fs;
    fs.addDrive('a');
    fs.addDrive('D', "DATA");
    fs.addFolder("D:\\Backups\\old");
    fs.setCurrentFolder("d:\\backups");
    EXPECT_EQ(fs.currentFolder('d'), "D:\\Backups");
    EXPECT_EQ(fs.currentFolder('C'), "C:\\");
    fs.setReady('a', false);
    auto drives = fs.drives();
    ASSERT_EQ(drives.size(), 3u);
    EXPECT_EQ(drives[0].letter, 'a');
    EXPECT_EQ(drives[2].label, "DATA");
    EXPECT_EQ(errorOf([&] { fs.currentFolder('a'); }), errDeviceUnavailable);
    EXPECT_EQ(errorOf([&] { fs.listFolders("A:\\"); }), errDeviceUnavailable);
    EXPECT_FALSE(fs.folderExists("A:\\"));
    fs.setReady('a', true);
    EXPECT_EQ(fs.currentFolder('a'), "A:\\");

    fs.removeFolder("D:\\Backups\\old");
    fs.setCurrentFolder("D:\\Backups\\");
    fs.removeFolder("D:\\Backups");
    EXPECT_EQ(fs.currentFolder('d'), "D:\\"); // a removed current folder falls back to the root
    fs.removeDrive('d');
    EXPECT_EQ(fs.drives().size(), 2u);
    EXPECT_EQ(errorOf([&] { fs.currentFolder('d'); }), errDeviceUnavailable);
}

// As Windows reads a path typed in a Command Prompt, or in a scheduled task's "Start in".
TEST(MemoryFileSystem, FullPathsAreTakenFromTheWorkingFolderAsWindowsTakesThem) {
    MemoryFileSystem fs;
    fs.addDrive('d');
    fs.addFolder("D:\\Data\\Old");
    fs.addFolder("C:\\Users\\me");
    fs.setCurrentFolder("D:\\Data\\Old");
    fs.setCurrentFolder("C:\\Users\\me");
    EXPECT_EQ(fs.fullPath("ICQ"), "C:\\Users\\me\\ICQ");
    EXPECT_EQ(fs.fullPath(".\\ICQ\\"), "C:\\Users\\me\\ICQ\\");
    EXPECT_EQ(fs.fullPath("..\\x\\.\\y"), "C:\\Users\\x\\y");
    EXPECT_EQ(fs.fullPath("\\x"), "C:\\x");
    EXPECT_EQ(fs.fullPath("D:x"), "D:\\Data\\Old\\x"); // drive D's own current folder
    EXPECT_EQ(fs.fullPath("Q:x"), "Q:\\x");            // a drive that is not there
    EXPECT_EQ(fs.fullPath("D:\\a\\..\\b"), "D:\\b");
    EXPECT_EQ(fs.fullPath("d:"), "D:\\Data\\Old");
}

TEST(MemoryFileSystem, ListsOnlyOrdinaryMatchingFilesSortedWithoutCase) {
    MemoryFileSystem fs;
    fs.addFile("C:\\db\\b.IDX");
    fs.addFile("C:\\db\\A.dat");
    fs.addFile("C:\\db\\c.data");
    fs.addFile("C:\\db\\h.dat");
    fs.setHidden("C:\\db\\h.dat");
    fs.addFolder("C:\\db\\z.dat");
    fs.addFolder("C:\\db\\Sub");
    fs.addFolder("C:\\db\\alpha");
    EXPECT_EQ(fs.listFiles("C:\\db", "*.dat;*.idx"), (std::vector<std::string>{"A.dat", "b.IDX"}));
    EXPECT_EQ(fs.listFolders("C:\\db"), (std::vector<std::string>{"alpha", "Sub", "z.dat"}));
    EXPECT_EQ(fs.findFirstFile("C:\\db\\*.dat"), "A.dat");
    EXPECT_EQ(fs.findFirstFile("C:\\db\\h.dat"), "");
    EXPECT_EQ(fs.findFirstFile("C:\\nowhere\\*.*"), "");
}

TEST(MemoryFileSystem, FailedCopyLeavesTheOldDestinationAndNoTemporaryFile) {
    MemoryFileSystem fs;
    fs.addDrive('e');
    fs.addFile("C:\\db\\big.dat", std::string(1000, 'n'), 42);
    fs.addFile("E:\\bak\\big.dat", "old good copy");
    fs.setFreeSpace('e', 500);
    EXPECT_EQ(errorOf([&] { fs.copyFile("C:\\db\\big.dat", "E:\\bak\\big.dat"); }), errDiskFull);
    EXPECT_EQ(fs.content("E:\\bak\\big.dat"), "old good copy");
    EXPECT_EQ(fs.entries("E:\\bak"), std::vector<std::string>{"big.dat"});

    // The old copy is only given up once the new one is complete.
    fs.setFreeSpace('e', 1000);
    fs.copyFile("C:\\db\\big.dat", "E:\\bak\\BIG.dat");
    EXPECT_EQ(fs.content("E:\\bak\\big.dat").size(), 1000u);
    EXPECT_EQ(fs.modifiedTime("E:\\bak\\big.dat"), 42);
    EXPECT_EQ(fs.freeSpace('e'), 13u);

    fs.failOnce(FsOp::CopyToTemporary, "e:\\BAK\\*", errDeviceIO);
    fs.addFile("C:\\db\\big.dat", "newer");
    EXPECT_EQ(errorOf([&] { fs.copyFile("C:\\db\\big.dat", "E:\\\\bak\\big.dat"); }), errDeviceIO);
    EXPECT_EQ(fs.content("E:\\bak\\big.dat").size(), 1000u);
    fs.copyFile("C:\\db\\big.dat", "E:\\bak\\big.dat"); // failOnce is used up
    EXPECT_EQ(fs.content("E:\\bak\\big.dat"), "newer");
}

// The conveniences built on the primitives: what they answer and which primitive a failure
// comes from.
TEST(FileSystemConveniences, AnswerFromThePrimitives) {
    MemoryFileSystem fs;
    fs.addFile("C:\\db\\a.dat", "data");
    fs.addFile("C:\\db\\held.dat", "x");
    fs.setLocked("C:\\db\\held.dat");
    EXPECT_TRUE(fs.fileInUse("C:\\db\\held.dat"));
    EXPECT_FALSE(fs.fileInUse("C:\\db\\missing.dat")); // the copy says why in its own words
    EXPECT_FALSE(fs.fileInUse("C:\\db"));
    EXPECT_EQ(errorOf([&] { fs.checkNotInUse("C:\\db\\held.dat"); }), errPermissionDenied);
    EXPECT_EQ(fs.fileSize("C:\\db\\a.dat"), 4u);
    EXPECT_EQ(errorOf([&] { fs.fileSize("C:\\db"); }), errPathFileAccess); // a folder, as on Win32
    try {
        fs.deleteByPattern("C:\\gone\\*.dat");
        ADD_FAILURE() << "deleted in a missing folder";
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.number(), errPathNotFound);
        EXPECT_EQ(std::string(e.what()), "Path not found: C:\\gone\\*.dat");
    }
    EXPECT_EQ(fs.findFirstFile("C:\\gone\\*.dat"), "");

    // A rename that fails after the copy leaves the old destination and no temporary file.
    fs.addDrive('d');
    fs.addFile("D:\\bak\\a.dat", "old");
    fs.failOnce(FsOp::MoveOver, "", errPermissionDenied);
    EXPECT_EQ(errorOf([&] { fs.copyFile("C:\\db\\a.dat", "D:\\bak\\a.dat"); }),
              errPermissionDenied);
    EXPECT_EQ(fs.entries("D:\\bak"), std::vector<std::string>{"a.dat"});
    EXPECT_EQ(fs.content("D:\\bak\\a.dat"), "old");
}

TEST(MemoryFileSystem, WriteBeyondTheQuotaLeavesAPartialFile) {
    MemoryFileSystem fs;
    fs.addFile("C:\\s.ini", "old content");
    fs.setFreeSpace('c', 4);
    // Truncating frees the old bytes first, as a real open for output does.
    EXPECT_EQ(errorOf([&] { fs.writeAll("C:\\s.ini", std::string(20, 'x')); }), errDiskFull);
    EXPECT_EQ(fs.content("C:\\s.ini"), std::string(15, 'x'));
}

TEST(MemoryFileSystem, LogsCallsInOrderWithThePathsAsPassed) {
    MemoryFileSystem fs;
    fs.addFile("C:\\db\\a.dat");
    fs.failAlways(FsOp::RemoveFolder, "", errPermissionDenied);
    fs.makeFolder("C:\\\\stage");
    fs.copyFile("C:\\db\\a.dat", "C:\\\\stage\\a.dat");
    EXPECT_TRUE(fs.fileExists("C:\\stage\\A.DAT"));
    fs.deleteByPattern("C:\\stage\\*.*");
    EXPECT_EQ(errorOf([&] { fs.removeFolder("C:\\stage"); }), errPermissionDenied);
    EXPECT_EQ(errorOf([&] { fs.removeFolder("C:\\stage"); }), errPermissionDenied);
    EXPECT_EQ(fs.changes(),
              (std::vector<std::string>{"make-folder C:\\\\stage",
                                        "copy-to-temporary C:\\db\\a.dat -> "
                                        "C:\\\\stage\\a.dat",
                                        "move-over C:\\\\stage\\~chathoard-1-1.tmp "
                                        "-> C:\\\\stage\\a.dat",
                                        "delete C:\\stage\\a.dat", "remove-folder C:\\stage !70",
                                        "remove-folder C:\\stage !70"}))
        << fs.dump();
    EXPECT_NE(fs.dump().find("stage\\"), std::string::npos);
}

TEST(MemoryFileSystem, AFailedCopyStillRecordsWhatItWasAskedFor) {
    BackupScene s;
    s.fs.failOnce(FsOp::CopyToTemporary, "", errDiskFull);
    EXPECT_THROW(s.fs.copyFile("C:\\ICQ\\db\\a.dat", "D:\\Save\\a.dat", CopyFlush::NotNeeded),
                 RuntimeError);
    ASSERT_EQ(s.fs.log.back().op, FsOp::CopyToTemporary);
    EXPECT_EQ(s.fs.log.back().flush, CopyFlush::NotNeeded);
    EXPECT_EQ(s.fs.log.back().error, errDiskFull);
}

} // namespace
} // namespace ch
