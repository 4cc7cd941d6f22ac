// Where the ZIP Backup stages: on the drive defaultdrive.ini names, as users and their editors
// really leave that file, in a chathoard folder that may already be there with files that are
// not the run's own.
#include "backup/zip_backup.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "app/startup.h"
#include "platform/sequential_file.h"
#include "tests/unit/backup_scene.h"
#include "tests/unit/zip_backup_checks.h"

namespace ch {
namespace {

using test::BackupScene;
using test::kStagedList;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

const char* const kSettings = "C:\\Program Files\\Chathoard\\defaultdrive.ini";
const std::string kBom = "\xEF\xBB\xBF";

// defaultdrive.ini with a byte order mark, a quote left open, binary junk, one enormous line:
// start-up must survive each and never rewrite a file that has a value; the ZIP Backup must
// then either work or explain the setting, and leave nothing behind.
class ZipBackupStagingDrive : public ::testing::Test {
  protected:
    // Loads the window over a settings file holding bytes; true when it was taken silently.
    void load(const std::string& bytes) {
        s.fs.addFile(kSettings, bytes);
        s.dialogs.shown.clear();
        Form_Load(Text1, DefaultDrive, s.services);
        EXPECT_EQ(DefaultDrive, Text1.Text());
    }
    void expectTakenSilently(const std::string& bytes) {
        EXPECT_TRUE(s.dialogs.shown.empty());
        EXPECT_EQ(s.fs.content(kSettings), bytes); // a file with a value is only ever read
    }
    // A value that names no drive is reported at start-up, briefly, and kept as it is.
    void expectReportedAtStartUp(const std::string& bytes) {
        ASSERT_EQ(s.dialogs.shown.size(), 1u);
        EXPECT_THAT(s.dialogs.shown[0].prompt, HasSubstr("is not a drive"));
        EXPECT_LT(s.dialogs.shown[0].prompt.size(), 1500u);
        EXPECT_EQ(s.dialogs.shown[0].prompt.find('\0'), std::string::npos);
        EXPECT_EQ(s.fs.content(kSettings), bytes);
    }
    BackupOutcome zipBackup() {
        s.dialogs.shown.clear();
        archiverCallsBefore = s.archiver.calls.size();
        return s.backUp(BackupKind::Zip, DefaultDrive);
    }
    // The run failed before anything was staged: no staging folder, no list file, no archive.
    void expectExplainedAndNothingWritten() {
        ASSERT_EQ(s.dialogs.shown.size(), 1u);
        const test::ShownBox& box = s.dialogs.shown[0];
        EXPECT_EQ(box.style, vbExclamation);
        EXPECT_THAT(box.prompt, HasSubstr("could not be created"));
        EXPECT_THAT(box.prompt, HasSubstr(kSettings));
        EXPECT_THAT(box.prompt, HasSubstr("one drive letter"));
        // Readable in a message box: short, and no NUL that would end its text early.
        EXPECT_LT(box.prompt.size(), 1500u);
        EXPECT_EQ(box.prompt.find('\0'), std::string::npos);
        EXPECT_FALSE(s.fs.hasFile("C:\\Program Files\\Chathoard\\icqtemp.dat")) << s.fs.dump();
        EXPECT_FALSE(s.fs.hasFile("D:\\Save\\chathoard.zip"));
        EXPECT_EQ(s.archiver.calls.size(), archiverCallsBefore) << "the library was not called";
    }

    BackupScene s;
    TextBox Text1;
    std::string DefaultDrive = "unset";
    size_t archiverCallsBefore = 0;
};

TEST_F(ZipBackupStagingDrive, AUtf8ByteOrderMarkIsNotPartOfTheDrive) {
    s.fs.addDrive('e');
    for (const std::string& bytes : {kBom + "E\r\n", kBom + "\"E\"\r\n", kBom + "E"}) {
        SCOPED_TRACE(bytes);
        load(bytes);
        EXPECT_EQ(DefaultDrive, "E");
        expectTakenSilently(bytes);
    }
    EXPECT_EQ(zipBackup(), BackupOutcome::Done) << s.fs.dump();
    EXPECT_EQ(s.archiver.listFileAtAddZip, "E:\\chathoard\\a.dat\r\nE:\\chathoard\\a.idx\r\n");
    EXPECT_FALSE(s.fs.hasFolder("E:\\chathoard"));
}

TEST_F(ZipBackupStagingDrive, AByteOrderMarkAloneIsAnEmptyFile) {
    load(kBom);
    ASSERT_EQ(s.dialogs.shown.size(), 1u);
    EXPECT_EQ(s.dialogs.shown[0].title, "File not Found");
    EXPECT_EQ(s.fs.content(kSettings), "C\r\n");
    EXPECT_EQ(DefaultDrive, "C");
}

TEST_F(ZipBackupStagingDrive, AQuoteLeftOpenEndsAtTheLineEnd) {
    const std::pair<std::string, std::string> cases[] = {
        {"\"E\r\nF\r\n", "E"}, {"\"E", "E"}, {"\"E,F\r\nG", "E,F"}, {"\"\r\nF", ""}};
    for (const auto& [bytes, expected] : cases) {
        SCOPED_TRACE(bytes);
        load(bytes);
        EXPECT_EQ(DefaultDrive, expected);
        if (expected == "E")
            expectTakenSilently(bytes);
        else
            expectReportedAtStartUp(bytes);
    }
    // A closed quote still holds a line end, as the program's own files may.
    size_t pos = 0;
    std::string value;
    ASSERT_TRUE(readSequentialValue("\"a\r\nb\",c", pos, value));
    EXPECT_EQ(value, "a\r\nb");
}

TEST_F(ZipBackupStagingDrive, BinaryBytesAreReportedAndTheZipBackupExplainsThem) {
    std::string allBytes;
    for (int b = 255; b >= 0; --b)
        allBytes += static_cast<char>(b);
    const std::string utf16 = std::string("\xFF\xFE"
                                          "E\0\r\0\n\0",
                                          8);
    const std::string nulFirst = std::string("\0E\r\n", 4);
    for (const std::string& bytes : {allBytes, utf16, nulFirst}) {
        SCOPED_TRACE(::testing::PrintToString(bytes));
        load(bytes);
        EXPECT_FALSE(DefaultDrive.empty());
        expectReportedAtStartUp(bytes);
        EXPECT_EQ(zipBackup(), BackupOutcome::Failed);
        expectExplainedAndNothingWritten();
    }
}

TEST_F(ZipBackupStagingDrive, OneMegabyteLineIsTakenWholeAndExplainedBriefly) {
    const std::string huge(1 << 20, 'E');
    load(huge);
    EXPECT_EQ(DefaultDrive.size(), huge.size()); // taken whole, not cut to some length
    expectReportedAtStartUp(huge);
    EXPECT_EQ(zipBackup(), BackupOutcome::Failed);
    expectExplainedAndNothingWritten();
    EXPECT_THAT(s.dialogs.shown[0].prompt,
                HasSubstr("The staging folder " + std::string(40, 'E') + "...:\\chathoard"));

    // The same line with a real drive letter in front of a comma gives that drive.
    load("E," + huge + "\r\n");
    EXPECT_EQ(DefaultDrive, "E");
}

TEST(ZipBackupStagingFolder, AStagingDriveThatNamesNoFolderIsExplainedAndNothingIsWritten) {
    for (const std::string drive : {"D:", "DE", "", "Q"}) {
        SCOPED_TRACE("DefaultDrive=" + drive);
        BackupScene s;
        EXPECT_EQ(zipBackup(s, drive), BackupOutcome::Failed);
        expectFailureBox(s, "The staging folder " + drive +
                                ":\\chathoard could not be created."
                                "\r\nReason: there is no such drive, or the path is not valid.");
        expectFailureBox(
            s, "defaultdrive.ini in the program folder (C:\\Program Files\\Chathoard\\defaultdrive."
               "ini), which should hold one drive letter");
        EXPECT_THAT(s.archiver.calls, IsEmpty());
        EXPECT_THAT(s.fs.entries("C:\\"), ElementsAre("ICQ", "Program Files"));
        EXPECT_THAT(s.fs.entries("D:\\"), ElementsAre("Save"));
    }
}

TEST(ZipBackupStagingFolder, UsesAnExistingStagingFolderWithoutTouchingItsOtherFiles) {
    // The program itself installed in the staging folder: its files are not archived and stay.
    BackupScene s;
    s.App.Path = "C:\\chathoard";
    s.fs.addFile("C:\\chathoard\\chathoard.exe", "program");
    EXPECT_EQ(zipBackup(s), BackupOutcome::Done);
    EXPECT_EQ(s.archiver.listFileAtAddZip, kStagedList);
    EXPECT_THAT(s.fs.entries("C:\\chathoard"), ElementsAre("chathoard.exe"));
    EXPECT_EQ(s.fs.content("C:\\chathoard\\chathoard.exe"), "program");
    expectDoneBox(s);
}

// A Normal Backup once made into C:\chathoard, the folder ZIP Backup stages in: its files are
// neither replaced by staged copies nor deleted with them, and the run writes nothing at all.
TEST(ZipBackupStagingFolder, SameNamedFilesInTheStagingFolderStopTheRunBeforeAnythingIsWritten) {
    BackupScene s;
    s.fs.addFile("C:\\chathoard\\a.dat", "my backup");
    s.fs.addFile("C:\\chathoard\\a.idx", "my index");
    EXPECT_EQ(zipBackup(s), BackupOutcome::Failed);
    EXPECT_THAT(s.fs.changes(), IsEmpty()) << s.fs.dump();
    EXPECT_THAT(s.archiver.calls, IsEmpty());
    EXPECT_EQ(s.fs.content("C:\\chathoard\\a.dat"), "my backup");
    EXPECT_EQ(s.fs.content("C:\\chathoard\\a.idx"), "my index");
    expectFailureBox(s, "The staging folder C:\\chathoard already holds files named like the "
                        "database files:\r\nC:\\chathoard\\a.dat\r\nC:\\chathoard\\a.idx\r\n");
    expectFailureBox(s, "Move them elsewhere, or set another staging drive in defaultdrive.ini");
    expectFailureBox(s, "The archive D:\\Save\\chathoard.zip was not written.");
}

TEST(ZipBackupStagingFolder, AStagingFolderThatWasThereBeforeTheRunStays) {
    BackupScene s;
    s.fs.addFolder("C:\\chathoard");
    EXPECT_EQ(zipBackup(s), BackupOutcome::Done);
    EXPECT_TRUE(s.fs.hasFolder("C:\\chathoard")) << s.fs.dump();
    EXPECT_THAT(s.fs.entries("C:\\chathoard"), IsEmpty());
}

} // namespace
} // namespace ch
