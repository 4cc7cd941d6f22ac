// Win32FileSystem against real folders: the same error numbers as the in-memory file system
// for the same faults, and the listing rules of the classic file and folder lists.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/runtime_error.h"
#include "platform/win32/win32_errors.h"
#include "platform/win32/win32_file_system.h"
#include "platform/win32/win32_text.h"
#include "tests/support/error_of.h"
#include "tests/win32/win32_test_helpers.h"

namespace ch {
namespace {

using test::TempFolder;
using test::writeFile;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

using test::errorOf;

class Win32FileSystemTest : public ::testing::Test {
  protected:
    Win32FileSystem fs;
    TempFolder dir;
};

TEST_F(Win32FileSystemTest, MissingThingsGiveTheRuntimeNumbers) {
    writeFile(dir / "a.dat", "x");
    fs.makeFolder(dir / "full");
    writeFile(dir / "full\\inside.txt", "x");
    const std::string missingFolder = dir / "nowhere";

    EXPECT_EQ(errorOf([&] { fs.readAll(dir / "missing.dat"); }), errFileNotFound);
    EXPECT_EQ(errorOf([&] { fs.deleteFile(dir / "missing.dat"); }), errFileNotFound);
    EXPECT_EQ(errorOf([&] { fs.copyFile(dir / "missing.dat", dir / "b.dat"); }), errFileNotFound);
    EXPECT_EQ(errorOf([&] { fs.modifiedTime(dir / "missing.dat"); }), errFileNotFound);
    EXPECT_EQ(errorOf([&] { fs.deleteByPattern(dir / "*.idx"); }), errFileNotFound);

    EXPECT_EQ(errorOf([&] { fs.listFiles(missingFolder, "*.*"); }), errPathNotFound);
    EXPECT_EQ(errorOf([&] { fs.listFolders(missingFolder); }), errPathNotFound);
    EXPECT_EQ(errorOf([&] { fs.listFiles(dir / "a.dat", "*.*"); }), errPathNotFound);
    EXPECT_EQ(errorOf([&] { fs.makeFolder(missingFolder + "\\child"); }), errPathNotFound);
    EXPECT_EQ(errorOf([&] { fs.removeFolder(missingFolder); }), errPathNotFound);
    EXPECT_EQ(errorOf([&] { fs.removeFolder(dir / "a.dat"); }), errPathNotFound);
    EXPECT_EQ(errorOf([&] { fs.deleteByPattern(missingFolder + "\\*.*"); }), errPathNotFound);
    EXPECT_EQ(errorOf([&] { fs.copyFile(dir / "a.dat", missingFolder + "\\a.dat"); }),
              errPathNotFound);
    EXPECT_EQ(errorOf([&] { fs.writeAll(missingFolder + "\\a.ini", "C"); }), errPathNotFound);

    EXPECT_EQ(errorOf([&] { fs.makeFolder(dir / "full"); }), errPathFileAccess);
    EXPECT_EQ(errorOf([&] { fs.makeFolder(dir / "a.dat"); }), errPathFileAccess);
    EXPECT_EQ(errorOf([&] { fs.removeFolder(dir / "full"); }), errPathFileAccess);
    EXPECT_EQ(errorOf([&] { fs.deleteFile(dir / "full"); }), errPathFileAccess);
    EXPECT_TRUE(fs.folderExists(dir / "full"));
}

// Faults a test cannot provoke on a healthy disk, straight through the table.
TEST(Win32ErrorTableTest, FaultsOfFullOrMissingMediaKeepTheirNumbers) {
    EXPECT_EQ(mapWin32Error(ERROR_DISK_FULL).number, errDiskFull);
    EXPECT_EQ(mapWin32Error(ERROR_HANDLE_DISK_FULL).number, errDiskFull);
    EXPECT_EQ(mapWin32Error(ERROR_NOT_READY).number, errDiskNotReady);
    EXPECT_EQ(mapWin32Error(ERROR_WRITE_PROTECT).number, errPermissionDenied);
    EXPECT_EQ(mapWin32Error(ERROR_LOCK_VIOLATION).number, errPermissionDenied);
    EXPECT_THAT(mapWin32Error(ERROR_LOCK_VIOLATION).words, HasSubstr("another program"));
    EXPECT_EQ(mapWin32Error(ERROR_GEN_FAILURE).number, errDeviceIO);
    // Anything else keeps the system's own words rather than a vague number alone.
    MappedError other = mapWin32Error(ERROR_NOT_ENOUGH_QUOTA);
    EXPECT_EQ(other.number, errPathFileAccess);
    EXPECT_FALSE(other.words.empty());
    EXPECT_NE(other.words.back(), '\n');
}

TEST_F(Win32FileSystemTest, DescriptionsNameThePathAndTheCause) {
    try {
        fs.readAll(dir / "settings.ini");
        FAIL() << "no error";
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.description(), "File not found: " + (dir / "settings.ini"));
        EXPECT_EQ(e.systemError(), 2u);
    }
}

TEST_F(Win32FileSystemTest, FileListShowsOrdinaryFilesOfAPatternListSorted) {
    writeFile(dir / "b.idx", "");
    writeFile(dir / "A.DAT", "");
    writeFile(dir / "c.dat", "");
    writeFile(dir / "notes.data", "");
    writeFile(dir / "readme.txt", "");
    writeFile(dir / "ro.dat", "", FILE_ATTRIBUTE_READONLY);
    writeFile(dir / "hidden.dat", "", FILE_ATTRIBUTE_HIDDEN);
    writeFile(dir / "system.idx", "", FILE_ATTRIBUTE_SYSTEM);
    fs.makeFolder(dir / "folder.dat");

    EXPECT_THAT(fs.listFiles(dir.path(), "*.dat;*.idx"),
                ElementsAre("A.DAT", "b.idx", "c.dat", "ro.dat"));
    EXPECT_THAT(fs.listFiles(dir.path(), "*.IDX"), ElementsAre("b.idx"));
    EXPECT_TRUE(fs.listFiles(dir.path(), "*.zip").empty());
    // Repeated backslashes are one separator, as the program joins "C:\" + "\db".
    EXPECT_THAT(fs.listFiles(dir.path() + "\\\\", "*.idx"), ElementsAre("b.idx"));
}

TEST_F(Win32FileSystemTest, FolderListSortsFoldersAndLeavesOutSystemFolders) {
    fs.makeFolder(dir / "beta");
    fs.makeFolder(dir / "Alpha");
    fs.makeFolder(dir / "gamma");
    fs.makeFolder(dir / "Application Data");
    SetFileAttributesA((dir / "Application Data").c_str(), FILE_ATTRIBUTE_HIDDEN);
    fs.makeFolder(dir / "System Volume Information");
    SetFileAttributesA((dir / "System Volume Information").c_str(),
                       FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    writeFile(dir / "file.txt", "");

    EXPECT_THAT(fs.listFolders(dir.path()),
                ElementsAre("Alpha", "Application Data", "beta", "gamma"));
    EXPECT_TRUE(fs.listFolders(dir / "beta").empty());
}

// What pruning decides by: hidden and system files are entries too, and a link is marked as one.
TEST_F(Win32FileSystemTest, EntryListShowsHiddenFilesAndMarksLinks) {
    writeFile(dir / "desktop.ini", "", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    fs.makeFolder(dir / "real");
    // Some Wine versions answer success without making the link.
    const bool linked = CreateSymbolicLinkA((dir / "link").c_str(), (dir / "real").c_str(),
                                            SYMBOLIC_LINK_FLAG_DIRECTORY) != 0 &&
                        fs.folderExists(dir / "link");
    std::vector<std::string> seen;
    for (const FolderEntry& e : fs.listEntries(dir.path()))
        seen.push_back(e.name + (e.folder ? "\\" : "") + (e.reparsePoint ? " (link)" : ""));
    if (!linked)
        EXPECT_THAT(seen, ElementsAre("desktop.ini", "real\\"));
    else
        EXPECT_THAT(seen, ElementsAre("desktop.ini", "link\\ (link)", "real\\"));
    EXPECT_EQ(errorOf([&] { fs.listEntries(dir / "missing"); }), errPathNotFound);
}

TEST_F(Win32FileSystemTest, FindFirstFileMatchesOrdinaryFilesOnly) {
    writeFile(dir / "hidden.exe", "", FILE_ATTRIBUTE_HIDDEN);
    fs.makeFolder(dir / "folder.exe");
    EXPECT_EQ(fs.findFirstFile(dir / "*.exe"), "");
    EXPECT_EQ(fs.findFirstFile(dir / "MSINFO32.EXE"), "");
    EXPECT_EQ(fs.findFirstFile(dir / "nowhere\\MSINFO32.EXE"), "");

    writeFile(dir / "msinfo32.exe", "MZ");
    EXPECT_EQ(fs.findFirstFile(dir / "MSINFO32.EXE"), "msinfo32.exe");
    EXPECT_EQ(fs.findFirstFile(dir / "*.exe"), "msinfo32.exe");
    EXPECT_EQ(fs.findFirstFile(dir / "*.ex"), "");
}

TEST_F(Win32FileSystemTest, DeleteByPatternTakesOnlyMatchingOrdinaryFiles) {
    writeFile(dir / "one.dat", "");
    writeFile(dir / "TWO.DAT", "");
    writeFile(dir / "keep.idx", "");
    writeFile(dir / "keep.data", "");
    writeFile(dir / "hidden.dat", "", FILE_ATTRIBUTE_HIDDEN);

    fs.deleteByPattern(dir / "*.dat");

    EXPECT_FALSE(fs.fileExists(dir / "one.dat"));
    EXPECT_FALSE(fs.fileExists(dir / "TWO.DAT"));
    EXPECT_TRUE(fs.fileExists(dir / "keep.idx"));
    EXPECT_TRUE(fs.fileExists(dir / "keep.data"));
    EXPECT_TRUE(fs.fileExists(dir / "hidden.dat"));
    EXPECT_EQ(errorOf([&] { fs.deleteByPattern(dir / "*.dat"); }), errFileNotFound);
}

TEST_F(Win32FileSystemTest, MakeAndRemoveFolder) {
    fs.makeFolder(dir / "chathoard");
    EXPECT_TRUE(fs.folderExists(dir / "chathoard"));
    EXPECT_FALSE(fs.fileExists(dir / "chathoard"));
    fs.removeFolder(dir / "chathoard");
    EXPECT_FALSE(fs.folderExists(dir / "chathoard"));
}

TEST_F(Win32FileSystemTest, RenamingAFolderNeverReplacesAnExistingName) {
    fs.makeFolder(dir / "2026.incomplete");
    writeFile(dir / "2026.incomplete\\a.dat", "x");
    fs.makeFolder(dir / "taken");
    EXPECT_EQ(errorOf([&] { fs.rename(dir / "2026.incomplete", dir / "taken"); }), 75);
    EXPECT_EQ(errorOf([&] { fs.rename(dir / "missing", dir / "other"); }), 53);
    fs.rename(dir / "2026.incomplete", dir / "2026");
    EXPECT_EQ(fs.readAll(dir / "2026\\a.dat"), "x");
    EXPECT_FALSE(fs.folderExists(dir / "2026.incomplete"));
}

TEST_F(Win32FileSystemTest, AFileIsInUseOnlyWhileAWriterHoldsIt) {
    writeFile(dir / "a.dat", "x");
    EXPECT_FALSE(fs.fileInUse(dir / "a.dat"));
    EXPECT_FALSE(fs.fileInUse(dir / "missing.dat"));
    HANDLE reader = CreateFileA((dir / "a.dat").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_FALSE(fs.fileInUse(dir / "a.dat"));
    CloseHandle(reader);
    HANDLE writer = CreateFileA((dir / "a.dat").c_str(), GENERIC_READ | GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(fs.fileInUse(dir / "a.dat"));
    CloseHandle(writer);
    EXPECT_FALSE(fs.fileInUse(dir / "a.dat"));
}

TEST_F(Win32FileSystemTest, WholeFilesRoundTripByteForByte) {
    const std::string bytes = std::string("C\r\n", 3) + std::string(1, '\0') + "\xff\x80 end";
    fs.writeAll(dir / "defaultdrive.ini", bytes);
    EXPECT_EQ(fs.readAll(dir / "defaultdrive.ini"), bytes);

    fs.writeAll(dir / "defaultdrive.ini", "D\r\n");
    EXPECT_EQ(fs.readAll(dir / "defaultdrive.ini"), "D\r\n");
    fs.writeAll(dir / "empty.ini", "");
    EXPECT_EQ(fs.readAll(dir / "empty.ini"), "");
    EXPECT_TRUE(fs.fileExists(dir / "empty.ini"));
}

TEST_F(Win32FileSystemTest, ModifiedTimeIsUnixSeconds) {
    writeFile(dir / "a.dat", "x");
    HANDLE h = CreateFileA((dir / "a.dat").c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    // 2001-09-09 01:46:40 UTC = 1000000000 s after 1970.
    ULARGE_INTEGER t;
    t.QuadPart = (1000000000ULL + 11644473600ULL) * 10000000ULL;
    FILETIME ft{t.LowPart, t.HighPart};
    ASSERT_TRUE(SetFileTime(h, nullptr, nullptr, &ft));
    CloseHandle(h);
    EXPECT_EQ(fs.modifiedTime(dir / "a.dat"), 1000000000);

    // Set back as a restore sets it, also while a reader has the file open.
    HANDLE reader = CreateFileA((dir / "a.dat").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    fs.setModifiedTime(dir / "a.dat", 315532800); // 1980-01-01 00:00:00 UTC
    CloseHandle(reader);
    EXPECT_EQ(fs.modifiedTime(dir / "a.dat"), 315532800);
    EXPECT_EQ(errorOf([&] { fs.setModifiedTime(dir / "b.dat", 0); }), errFileNotFound);
}

TEST_F(Win32FileSystemTest, PathsBeyondTheClassicLimitWork) {
    std::string deep = dir.path();
    while (deep.size() < 300)
        deep += "\\a-rather-long-folder-name";
    for (size_t at = dir.path().size() + 1; at <= deep.size(); ++at)
        if (at == deep.size() || deep[at] == '\\')
            fs.makeFolder(deep.substr(0, at));
    writeFile(dir / "src.dat", "payload");
    fs.copyFile(dir / "src.dat", deep + "\\copy.dat");
    EXPECT_EQ(fs.readAll(deep + "\\copy.dat"), "payload");
    EXPECT_THAT(fs.listFiles(deep, "*.dat"), ElementsAre("copy.dat"));
    fs.deleteByPattern(deep + "\\*.dat");
    EXPECT_FALSE(fs.fileExists(deep + "\\copy.dat"));
}

TEST_F(Win32FileSystemTest, NamesInTheAnsiCodePageSurviveListingAndCopying) {
    const std::string name = "caf\xe9-\xe4.dat"; // café-ä.dat in Windows-1252
    if (GetACP() != 1252)
        GTEST_SKIP() << "the test names are Windows-1252 text; code page is " << GetACP();
    fs.writeAll(dir / name, "x");
    EXPECT_THAT(fs.listFiles(dir.path(), "*.dat"), ElementsAre(name));
    fs.copyFile(dir / name, dir / ("copy-" + name));
    EXPECT_EQ(fs.readAll(dir / ("copy-" + name)), "x");
}

// Every spelling of a folder leads to the same one: another case, a long-path prefix, its
// 8.3 alias (where the volume makes them), a link to it.
TEST_F(Win32FileSystemTest, EverySpellingOfAFolderResolvesToItAndHasItsIdentity) {
    fs.makeFolder(dir / "Long folder name");
    fs.makeFolder(dir / "Long folder name\\db");
    const std::string db = dir / "Long folder name\\db";
    const auto id = fs.identityOf(db);
    ASSERT_TRUE(id);
    EXPECT_EQ(fs.identityOf(dir / "LONG FOLDER NAME\\DB"), id);
    EXPECT_EQ(fs.identityOf("\\\\?\\" + db), id);
    EXPECT_NE(fs.identityOf(dir / "Long folder name"), id);
    EXPECT_FALSE(fs.identityOf(dir / "missing"));
    EXPECT_EQ(fs.resolvedPath("\\\\?\\" + db + "\\new"), fs.resolvedPath(db) + "\\new");

    char shortPath[MAX_PATH];
    const DWORD n = GetShortPathNameA(db.c_str(), shortPath, MAX_PATH);
    if (n > 0 && n < MAX_PATH && std::string(shortPath) != db) {
        EXPECT_EQ(fs.resolvedPath(std::string(shortPath) + "\\x"), fs.resolvedPath(db) + "\\x");
        EXPECT_EQ(fs.identityOf(shortPath), id);
    }
    const bool linked =
        CreateSymbolicLinkA((dir / "link").c_str(), db.c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY) &&
        fs.folderExists(dir / "link");
    if (linked) {
        EXPECT_EQ(fs.identityOf(dir / "link"), id);
    }
}

TEST_F(Win32FileSystemTest, NameOutsideTheCodePageIsListedByAUsableName) {
    // A Cyrillic name has no Windows-1252 form; the listing must give a name that opens the
    // same file, never a lossy one with "?" in it.
    const std::wstring wide = toWide(dir.path()) + L"\\\x0436\x0443\x0440\x043d\x0430\x043b.dat";
    HANDLE h = CreateFileW(wide.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(h, "log", 3, &written, nullptr);
    CloseHandle(h);
    if (fitsAnsi(wide))
        GTEST_SKIP() << "the code page " << GetACP() << " has Cyrillic letters";

    std::vector<std::string> names = fs.listFiles(dir.path(), "*.dat");
    ASSERT_EQ(names.size(), 1u);
    EXPECT_EQ(names[0].find('?'), std::string::npos) << names[0];
    fs.copyFile(dir / names[0], dir / "copy.bak");
    EXPECT_EQ(fs.readAll(dir / "copy.bak"), "log");
}

TEST_F(Win32FileSystemTest, DrivesAreListedInLetterOrderInLowerCase) {
    std::vector<DriveInfo> drives = fs.drives();
    ASSERT_FALSE(drives.empty());
    bool hasC = false;
    for (size_t i = 0; i < drives.size(); ++i) {
        EXPECT_TRUE(drives[i].letter >= 'a' && drives[i].letter <= 'z');
        if (i > 0) {
            EXPECT_LT(drives[i - 1].letter, drives[i].letter);
        }
        hasC = hasC || drives[i].letter == 'c';
    }
    EXPECT_TRUE(hasC);
}

TEST_F(Win32FileSystemTest, CurrentFolderOfADriveFollowsTheProcess) {
    char saved[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, saved);
    ASSERT_TRUE(SetCurrentDirectoryA(dir.path().c_str()));
    std::string current = fs.currentFolder(static_cast<char>(std::tolower(dir.path()[0])));
    SetCurrentDirectoryA(saved);
    EXPECT_EQ(_stricmp(current.c_str(), dir.path().c_str()), 0) << current;
}

// A drive letter that points at a folder that does not exist stands for an empty CD-ROM
// drive: it is listed, but its root cannot be opened. (Wine never follows such a letter, so
// the medium cannot be "inserted" here; a ready drive is the C: case above.)
class UnreadyDriveTest : public Win32FileSystemTest {
  protected:
    void SetUp() override {
        for (letter = 'Q'; letter <= 'Y'; ++letter)
            if (!(GetLogicalDrives() & (1u << (letter - 'A'))))
                break;
        ASSERT_LE(letter, 'Y') << "no free drive letter";
        target = dir / "medium";
        ASSERT_TRUE(DefineDosDeviceA(0, device().c_str(), target.c_str()));
    }
    void TearDown() override {
        DefineDosDeviceA(DDD_REMOVE_DEFINITION | DDD_EXACT_MATCH_ON_REMOVE, device().c_str(),
                         target.c_str());
    }
    std::string device() const { return std::string{letter, ':'}; }

    char letter = 'Q';
    std::string target;
};

TEST_F(UnreadyDriveTest, DriveWithoutMediumIsListedButNotReady) {
    const char lower = static_cast<char>(std::tolower(letter));
    bool listed = false;
    for (const DriveInfo& d : fs.drives())
        if (d.letter == lower) {
            listed = true;
            EXPECT_EQ(d.label, "");
        }
    EXPECT_TRUE(listed);

    try {
        fs.currentFolder(lower);
        FAIL() << "no error";
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.number(), errDeviceUnavailable);
        EXPECT_THAT(e.description(), HasSubstr(device() + "\\"));
    }
}

} // namespace
} // namespace ch
