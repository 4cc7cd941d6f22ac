// Both backups end to end: the messenger folder opened by double-click in the folder list, the
// destination picked with the second drive list, the button pressed, the result on disk.
#include <gtest/gtest.h>

#include "tests/e2e/e2e_scenes.h"

namespace ch::e2e {
namespace {

// Opens M:\ICQ in Dir1 and <destination> on drive n: in Dir2.
void chooseFolders(Program& program, const std::string& destination) {
    sampleMessenger();
    makeFolders("N:\\" + destination);
    program.openFolder("Dir1", "ICQ");
    ASSERT_TRUE(program.waitLabel("ICQ Directory found !"));
    EXPECT_EQ(program.listItems("File1").size(), sampleMessenger().size());
    program.pickDrive("Drive2", "n:");
    ASSERT_TRUE(waitFor([&] { return program.selectedText("Dir2") == "n:\\"; }));
    program.openFolder("Dir2", destination);
    ASSERT_TRUE(waitFor([&] { return lower(program.selectedText("Dir2")) == lower(destination); }));
}

TEST(NormalBackup, BeforeAFolderIsChosenOnlyWarns) {
    Program program("oops");
    ASSERT_TRUE(startWithSettings(program, "N:\\"));
    program.click("Command2");
    const MessageBox box = program.waitMessageBox();
    EXPECT_EQ(box.title, "Oops...");
    EXPECT_EQ(box.prompt, "You have not yet selected your ICQ directory");
    box.answer(IDOK);
    EXPECT_TRUE(waitFor([&] { return !program.messageBoxOpen(); }));
    for (const auto& name : sampleMessenger())
        EXPECT_FALSE(fileExists("N:\\" + name));
}

TEST(NormalBackup, CopiesEveryDatabaseFileByteForByte) {
    Program program("normal");
    ASSERT_TRUE(startWithSettings(program));
    chooseFolders(program, "Normal");
    program.click("Command2");
    const MessageBox box = program.waitMessageBox();
    EXPECT_EQ(box.title, "Done !");
    EXPECT_EQ(lower(box.prompt),
              lower("Your ICQ backup has been succesfully copied to: n:\\Normal\r\n"));
    box.answer(IDOK);
    for (const auto& name : sampleMessenger())
        EXPECT_EQ(readFile("N:\\Normal\\" + name), readFile(std::string(kSampleDb) + "\\" + name))
            << name;
    EXPECT_FALSE(fileExists("N:\\Normal\\readme.txt"));
}

// Opens a database file without sharing, as a running messenger does; closed at the end.
class HeldOpen {
  public:
    explicit HeldOpen(const std::string& path)
        : handle_(CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              0, nullptr)) {}
    ~HeldOpen() { CloseHandle(handle_); }
    bool held() const { return handle_ != INVALID_HANDLE_VALUE; }

  private:
    HANDLE handle_;
};

TEST(NormalBackup, AFileInUseStopsTheCopiesWithAnErrorAndKeepsTheEarlierBackupAsItWas) {
    Program program("normal-in-use");
    ASSERT_TRUE(startWithSettings(program));
    makeFolders("N:\\InUse");
    writeFile("N:\\InUse\\Messages.dat", "the previous good copy");
    chooseFolders(program, "InUse");
    HeldOpen messenger(std::string(kSampleDb) + "\\Messages.dat");
    ASSERT_TRUE(messenger.held());

    program.click("Command2");
    const MessageBox box = program.waitMessageBox();
    EXPECT_NE(box.title, "Done !");
    EXPECT_TRUE(mentions(box.prompt, "Messages.dat")) << box.prompt;
    EXPECT_TRUE(mentions(box.prompt, "in use")) << box.prompt;
    EXPECT_TRUE(mentions(box.prompt, "Nothing in N:\\InUse was changed")) << box.prompt;
    box.answer(IDOK);
    EXPECT_FALSE(waitFor([&] { return program.messageBoxOpen(); }, 500)) << "no Done ! after it";
    EXPECT_TRUE(program.running());
    EXPECT_EQ(readFile("N:\\InUse\\Messages.dat"), "the previous good copy");
    EXPECT_FALSE(fileExists("N:\\InUse\\Contacts.idx")) << "no new file beside the old one";
    EXPECT_FALSE(fileExists("N:\\InUse\\Messages.idx"));
}

TEST(ZipBackup, AFileInUseIsReportedAndNothingStagedIsLeft) {
    Program program("zip-in-use");
    if (!fileExists(program.folder() + "\\azip32.dll"))
        GTEST_SKIP() << "azip32.dll is not built";
    ASSERT_TRUE(startWithSettings(program));
    chooseFolders(program, "ZipInUse");
    HeldOpen messenger(std::string(kSampleDb) + "\\Owner.dat");
    ASSERT_TRUE(messenger.held());

    program.click("Command1");
    const MessageBox box = program.waitMessageBox(60000);
    EXPECT_NE(box.title, "Done !");
    EXPECT_TRUE(mentions(box.prompt, "Owner.dat")) << box.prompt;
    box.answer(IDOK);
    EXPECT_FALSE(waitFor([&] { return program.messageBoxOpen(); }, 500));
    EXPECT_TRUE(program.running());
    EXPECT_FALSE(fileExists("N:\\ZipInUse\\chathoard.zip"));
    EXPECT_FALSE(fileExists(program.folder() + "\\icqtemp.dat"));
    for (const auto& name : sampleMessenger())
        EXPECT_FALSE(fileExists("C:\\chathoard\\" + name)) << name;
}

TEST(ZipBackup, AnArchiveThatCannotBeReplacedIsReportedAndTheOldOneKept) {
    Program program("zip-locked-archive");
    if (!fileExists(program.folder() + "\\azip32.dll"))
        GTEST_SKIP() << "azip32.dll is not built";
    ASSERT_TRUE(startWithSettings(program));
    makeFolders("N:\\ZipLocked");
    writeFile("N:\\ZipLocked\\chathoard.zip", "the earlier archive");
    chooseFolders(program, "ZipLocked");
    {
        HeldOpen reader("N:\\ZipLocked\\chathoard.zip");
        ASSERT_TRUE(reader.held());
        program.click("Command1");
        const MessageBox box = program.waitMessageBox(60000);
        EXPECT_NE(box.title, "Done !");
        EXPECT_TRUE(mentions(box.prompt, "chathoard.zip")) << box.prompt;
        box.answer(IDOK);
        EXPECT_FALSE(waitFor([&] { return program.messageBoxOpen(); }, 500));
    }
    EXPECT_EQ(readFile("N:\\ZipLocked\\chathoard.zip"), "the earlier archive");
    EXPECT_FALSE(fileExists(program.folder() + "\\icqtemp.dat"));
    for (const auto& name : sampleMessenger())
        EXPECT_FALSE(fileExists("C:\\chathoard\\" + name)) << name;
    EXPECT_TRUE(program.running());
}

TEST(ZipBackup, MakesTheArchiveAndLeavesNoStagedFiles) {
    Program program("zip");
    if (!fileExists(program.folder() + "\\azip32.dll")) {
        writeFile(workPath("zip-skipped"), "azip32.dll was not built");
        GTEST_SKIP() << "azip32.dll is not built";
    }
    ASSERT_TRUE(startWithSettings(program));
    chooseFolders(program, "Zip");
    for (int run = 0; run < 2; ++run) { // the second run replaces the archive
        program.click("Command1");
        const MessageBox box = program.waitMessageBox(60000);
        EXPECT_EQ(box.title, "Done !");
        EXPECT_EQ(lower(box.prompt),
                  lower("Your ICQ backup has been succesfully copied to: n:\\Zip\\chathoard.zip"
                        "\r\n\r\nYou can unzip the files by using Winzip or pkunzip.exe"));
        box.answer(IDOK);
        ASSERT_TRUE(waitFor([&] { return !program.messageBoxOpen(); }));
        EXPECT_TRUE(fileExists("N:\\Zip\\chathoard.zip"));
        EXPECT_FALSE(folderExists("C:\\chathoard"));
        EXPECT_FALSE(fileExists(program.folder() + "\\icqtemp.dat"));
    }
    // check_archive.py reads the archive against the sample after this run.
}

} // namespace
} // namespace ch::e2e
