#include <gtest/gtest.h>

#include "platform/controls.h"
#include "platform/runtime_error.h"
#include "tests/support/error_of.h"
#include "tests/support/memory_file_system.h"

namespace ch {
namespace {

using test::MemoryFileSystem;

using test::errorOf;

class Controls : public ::testing::Test {
  protected:
    Controls() {
        fs.setLabel('c', "SYSTEM");
        fs.addDrive('a');
        fs.addDrive('d', "DATA");
        fs.addFolder("C:\\Program Files\\ICQ\\db");
        fs.addFolder("C:\\Program Files\\ICQ\\Sounds");
        fs.addFolder("C:\\Program Files\\ICQ\\alerts");
        fs.addFolder("D:\\Backups");
        fs.setCurrentFolder("D:\\Backups");
    }
    MemoryFileSystem fs;
};

TEST_F(Controls, DriveListWritesEntriesAsTheClassicControl) {
    DriveList drives(fs);
    drives.init("C:\\Program Files");
    EXPECT_EQ(drives.entries(), (std::vector<std::string>{"a:", "c: [SYSTEM]", "d: [DATA]"}));
    EXPECT_EQ(drives.Drive(), "c: [SYSTEM]");
    EXPECT_EQ(drives.selectedIndex(), 1);
}

TEST_F(Controls, DriveChangeFiresOnlyOnARealChangeAndBeforeTheAssignmentReturns) {
    DriveList drives(fs);
    drives.init("C:\\");
    std::vector<std::string> seen;
    drives.Change = [&] { seen.push_back(drives.Drive()); };

    drives.setDrive("C:"); // same drive, other spelling
    EXPECT_TRUE(seen.empty());
    drives.setDrive("d: [DATA]");
    EXPECT_EQ(seen, std::vector<std::string>{"d: [DATA]"});
    EXPECT_EQ(errorOf([&] { drives.setDrive("q:"); }), errDeviceUnavailable);
    EXPECT_EQ(errorOf([&] { drives.setDrive(""); }), errDeviceUnavailable);
    EXPECT_EQ(drives.Drive(), "d: [DATA]");

    // A drive that is not ready can still be picked; the folder list is what fails.
    fs.setReady('a', false);
    drives.setDrive("a:");
    EXPECT_EQ(seen.back(), "a:");
    EXPECT_EQ(seen.size(), 2u);
}

TEST_F(Controls, DriveChangeMayRunNestedInsideItself) {
    DriveList drives(fs);
    drives.init("C:\\");
    std::vector<std::string> trace;
    drives.Change = [&] {
        trace.push_back("enter " + drives.Drive());
        if (drives.Drive()[0] == 'a')
            drives.setDrive("d:"); // runs Change again, nested
        if (drives.Drive()[0] == 'd')
            drives.setDrive("d:"); // no change: no further event
        trace.push_back("leave " + drives.Drive());
    };
    drives.setDrive("a:");
    EXPECT_EQ(trace, (std::vector<std::string>{"enter a:", "enter d: [DATA]", "leave d: [DATA]",
                                               "leave d: [DATA]"}));
}

TEST_F(Controls, DriveRefreshRereadsLabelsKeepsTheDriveAndRaisesNothing) {
    DriveList drives(fs);
    drives.init("A:\\");
    int changes = 0;
    drives.Change = [&] { ++changes; };
    fs.setLabel('a', "DISK1");
    fs.addDrive('e');
    drives.Refresh();
    EXPECT_EQ(drives.Drive(), "a: [DISK1]");
    EXPECT_EQ(drives.entries().size(), 4u);
    EXPECT_EQ(changes, 0);

    // A drive still shown but gone from the system cannot be assigned.
    fs.removeDrive('e');
    EXPECT_EQ(errorOf([&] { drives.setDrive("e:"); }), errDeviceUnavailable);
    EXPECT_EQ(drives.Drive(), "a: [DISK1]");
}

TEST_F(Controls, FolderListMovesToADrivesCurrentFolder) {
    FolderList dir(fs, fs.codePage());
    dir.init("C:\\Program Files\\ICQ");
    std::vector<std::string> seen;
    dir.Change = [&] { seen.push_back(dir.Path()); };

    dir.setPath("d: [DATA]");
    EXPECT_EQ(dir.Path(), "D:\\Backups");
    dir.setPath("d:"); // already there
    EXPECT_EQ(seen, std::vector<std::string>{"D:\\Backups"});

    fs.setReady('a', false);
    EXPECT_EQ(errorOf([&] { dir.setPath("a:"); }), errDeviceUnavailable);
    EXPECT_EQ(errorOf([&] { dir.setPath("C:\\Nowhere"); }), errPathNotFound);
    EXPECT_EQ(dir.Path(), "D:\\Backups");
    EXPECT_EQ(seen.size(), 1u);

    dir.setPath("c:\\program files\\\\icq\\"); // same folder as typed differently: one event
    dir.setPath("C:\\Program Files\\ICQ");
    EXPECT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen.back(), "C:\\program files\\icq");
}

TEST_F(Controls, FolderListShowsAncestorsOpenAndSubfoldersClosedOneLevelDeeper) {
    FolderList dir(fs, fs.codePage());
    dir.init("C:\\Program Files\\ICQ");
    const auto& items = dir.items();
    ASSERT_EQ(items.size(), 6u);
    auto item = [&](size_t i) {
        return items[i].text + "|" + items[i].path + "|" + std::to_string(items[i].depth) +
               (items[i].open ? "|open" : "|closed");
    };
    EXPECT_EQ(item(0), "c:\\|C:\\|0|open");
    EXPECT_EQ(item(1), "Program Files|C:\\Program Files|1|open");
    EXPECT_EQ(item(2), "ICQ|C:\\Program Files\\ICQ|2|open");
    EXPECT_EQ(item(3), "alerts|C:\\Program Files\\ICQ\\alerts|3|closed");
    EXPECT_EQ(item(4), "db|C:\\Program Files\\ICQ\\db|3|closed");
    EXPECT_EQ(item(5), "Sounds|C:\\Program Files\\ICQ\\Sounds|3|closed");
    EXPECT_EQ(dir.pathIndex(), 2);

    int changes = 0;
    dir.Change = [&] { ++changes; };
    dir.open(0); // up to the root
    EXPECT_EQ(dir.Path(), "C:\\");
    ASSERT_EQ(dir.items().size(), 2u);
    EXPECT_EQ(item(1), "Program Files|C:\\Program Files|1|closed");
    dir.open(1);
    EXPECT_EQ(dir.Path(), "C:\\Program Files");
    EXPECT_EQ(changes, 2);
    EXPECT_EQ(errorOf([&] { dir.open(99); }), errInvalidProcedureCall);
}

// In code page 932 "表" is 0x95 0x5C and "ァ"/"ッ" are 0x83 0x41/0x83 0x61: a backslash or a
// capital letter as second byte belongs to its character.
TEST_F(Controls, FolderListKeepsDoubleByteNamesWhole) {
    fs.useCodePage932();
    const std::string table = "C:\\\x95\x5C", small = "C:\\\x83\x41", tsu = "C:\\\x83\x61";
    fs.addFolder(table + "\\ICQ\\db");
    fs.addFolder(small);
    fs.addFolder(tsu);
    FolderList dir(fs, fs.codePage());
    dir.init(table + "\\ICQ");
    ASSERT_EQ(dir.items().size(), 4u);
    EXPECT_EQ(dir.items()[1].text, "\x95\x5C");
    EXPECT_EQ(dir.items()[2].path, table + "\\ICQ");
    dir.open(1);
    EXPECT_EQ(dir.Path(), table);
    dir.setPath(small);
    dir.setPath(tsu); // not the same folder, though the bytes differ only in case
    EXPECT_EQ(dir.Path(), tsu);
}

TEST_F(Controls, FileListKeepsPathAndListWhenTheFolderIsMissing) {
    fs.addFile("C:\\Program Files\\ICQ\\db\\b.idx");
    fs.addFile("C:\\Program Files\\ICQ\\db\\A.dat");
    fs.addFile("C:\\Program Files\\ICQ\\db\\readme.txt");
    fs.addFile("C:\\db\\root.dat");
    FileList files(fs, "*.dat;*.idx");
    files.init("C:\\Nowhere"); // the start-up folder may list nothing; no failure
    EXPECT_EQ(files.ListCount(), 0);

    files.setPath("C:\\Program Files\\ICQ\\db");
    ASSERT_EQ(files.ListCount(), 2);
    EXPECT_EQ(files.List(0), "A.dat");
    EXPECT_EQ(files.List(1), "b.idx");
    EXPECT_EQ(errorOf([&] { files.List(2); }), errInvalidProcedureCall);
    EXPECT_EQ(errorOf([&] { files.List(-1); }), errInvalidProcedureCall);

    EXPECT_EQ(errorOf([&] { files.setPath("C:\\Program Files\\db"); }), errPathNotFound);
    EXPECT_EQ(files.Path(), "C:\\Program Files\\ICQ\\db");
    EXPECT_EQ(files.ListCount(), 2);

    files.setPath("C:\\\\db"); // the drive-root join: the doubled backslash reaches C:\db
    EXPECT_EQ(files.Path(), "C:\\\\db");
    ASSERT_EQ(files.ListCount(), 1);
    EXPECT_EQ(files.List(0), "root.dat");
}

TEST(LabelAndTextBox, RedrawOnlyOnChange) {
    Label label("No ICQ Directory found");
    int redraws = 0;
    label.onUpdate = [&] { ++redraws; };
    label.setCaption("No ICQ Directory found");
    label.setCaption("ICQ Directory found !");
    EXPECT_EQ(redraws, 1);
    TextBox text;
    text.setText("D:");
    EXPECT_EQ(text.Text(), "D:");
}

} // namespace
} // namespace ch
