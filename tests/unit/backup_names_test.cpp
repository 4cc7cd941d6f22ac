// Folder and file names as users have them: spaces, commas, characters of the ANSI code page
// beyond ASCII, paths longer than the classic 260 characters, a db folder of thousands of
// files. Both backups must carry every name through byte for byte, never cut a path short,
// and explain a failure with the whole path.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "app/selection_handlers.h"
#include "backup/normal_backup.h"
#include "backup/zip_backup.h"
#include "platform/runtime_error.h"
#include "tests/unit/backup_scene.h"
#include "tests/unit/zip_backup_checks.h"

namespace ch {
namespace {

using test::BackupScene;
using test::FsOp;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

// Windows-1252 bytes, as the program sees names in the ANSI code page.
const std::string kMessenger = "C:\\Programme\\ICQ Lite \xE9t\xE9";
const std::string kDestination = "D:\\Sauvegardes, d\xE9j\xE0 vues";
const std::string kSpaced = "my chats.dat";
const std::string kAnsi = "\xC6sir \xFC\xDF.idx";
const std::string kComma = "old, older.dat";

// A folder path of at least length characters under root, in parts of up to 100 characters.
std::string deepFolder(const std::string& root, size_t length) {
    std::string path = root;
    for (int i = 0; path.size() < length; ++i)
        path += "\\" + std::string(100, static_cast<char>('a' + i)) + " x";
    return path;
}

TEST(BackupNames, SpacesCommasAndAnsiCharactersPassThroughBothBackups) {
    BackupScene s;
    for (const std::string& name : {kSpaced, kAnsi, kComma})
        s.fs.addFile(kMessenger + "\\db\\" + name, "data of " + name);
    s.fs.addFolder(kDestination);
    s.show(kMessenger, kDestination);
    Dir1_Change(s.fs, s.Dir1, s.File1, s.Label1);
    ASSERT_EQ(s.Label1.Caption(), "ICQ Directory found !");

    EXPECT_EQ(s.backUp(BackupKind::Normal, "C"), BackupOutcome::Done);
    for (const std::string& name : {kSpaced, kAnsi, kComma})
        EXPECT_EQ(s.fs.content(kDestination + "\\" + name), "data of " + name) << s.fs.dump();
    EXPECT_THAT(s.onlyBox().prompt, HasSubstr(kDestination));

    s.dialogs.shown.clear();
    EXPECT_EQ(zipBackup(s), BackupOutcome::Done) << s.fs.dump();
    // One whole line per file, commas and all: the list is not comma-separated.
    EXPECT_EQ(s.archiver.listFileAtAddZip, "C:\\chathoard\\" + s.File1.List(0) + "\r\n" +
                                               "C:\\chathoard\\" + s.File1.List(1) + "\r\n" +
                                               "C:\\chathoard\\" + s.File1.List(2) + "\r\n");
    for (const auto& [path, existed] : s.archiver.listedAtAddZip)
        EXPECT_TRUE(existed) << path;
    EXPECT_EQ(s.archiver.calls.at(0).argument, kDestination + "\\chathoard.zip");
    EXPECT_FALSE(s.fs.hasFolder("C:\\chathoard"));
}

TEST(BackupNames, PathsPastTheClassicLimitAreUsedWhole) {
    BackupScene s;
    const std::string messenger = deepFolder("C:\\ICQ", 300);
    const std::string destination = deepFolder("D:\\Save", 300);
    const std::string name = std::string(120, 'n') + ".dat";
    s.fs.addFile(messenger + "\\db\\" + name, "chats");
    s.fs.addFolder(destination);
    s.show(messenger, destination);
    ASSERT_GT((messenger + "\\db\\" + name).size(), 260u);

    EXPECT_EQ(s.backUp(BackupKind::Normal, "C"), BackupOutcome::Done);
    EXPECT_THAT(s.fs.logOf({FsOp::CopyToTemporary}),
                ElementsAre("copy-to-temporary " + messenger + "\\db\\" + name + " -> " +
                            destination + "\\" + name));
    EXPECT_EQ(s.fs.content(destination + "\\" + name), "chats");

    s.dialogs.shown.clear();
    EXPECT_EQ(zipBackup(s), BackupOutcome::Done) << s.fs.dump();
    EXPECT_EQ(s.archiver.calls.at(0).argument, destination + "\\chathoard.zip");
    EXPECT_TRUE(s.fs.hasFile(destination + "\\chathoard.zip"));
}

TEST(BackupNames, APathTheSystemRefusesAsTooLongIsExplainedWithTheWholePath) {
    BackupScene s;
    const std::string destination = deepFolder("D:\\Save", 600);
    s.fs.addFolder(destination);
    s.show("C:\\ICQ", destination);
    // ERROR_FILENAME_EXCED_RANGE, as the system answers for a name or path it cannot take.
    s.fs.failAlways(FsOp::CopyToTemporary, "*", errBadFileNameOrNumber, 206);

    EXPECT_EQ(s.backUp(BackupKind::Normal, "C"), BackupOutcome::Failed);
    const std::string& prompt = s.onlyBox().prompt;
    EXPECT_THAT(prompt, HasSubstr("To: " + destination + "\\a.dat\r\n"));
    EXPECT_THAT(prompt, HasSubstr("too long"));
    EXPECT_THAT(prompt, HasSubstr("Nothing in " + destination + " was changed"));
    EXPECT_FALSE(s.fs.hasFile(destination + "\\a.dat"));
}

TEST(BackupNames, FiveThousandDatabaseFilesAreAllBackedUp) {
    BackupScene s;
    constexpr int kFiles = 5000;
    for (int i = 0; i < kFiles; ++i)
        s.fs.addFile("C:\\ICQ\\db\\" + std::to_string(100000 + i) + (i % 2 ? ".idx" : ".dat"),
                     std::to_string(i));
    s.fs.addFile("C:\\ICQ\\db\\notes.txt", "not a database file");
    s.show("C:\\ICQ", "D:\\Save");
    Dir1_Change(s.fs, s.Dir1, s.File1, s.Label1);
    ASSERT_EQ(s.File1.ListCount(), kFiles + 2); // and the scene's a.dat, a.idx

    EXPECT_EQ(s.backUp(BackupKind::Normal, "C"), BackupOutcome::Done);
    EXPECT_EQ(s.fs.entries("D:\\Save").size(), kFiles + 2u);
    EXPECT_EQ(s.fs.content("D:\\Save\\104999.idx"), "4999");
    EXPECT_FALSE(s.fs.hasFile("D:\\Save\\notes.txt"));

    s.dialogs.shown.clear();
    EXPECT_EQ(zipBackup(s), BackupOutcome::Done);
    EXPECT_EQ(s.archiver.listedAtAddZip.size(), kFiles + 2u);
    for (const auto& [path, existed] : s.archiver.listedAtAddZip)
        ASSERT_TRUE(existed) << path;
    EXPECT_FALSE(s.fs.hasFolder("C:\\chathoard"));
    EXPECT_FALSE(s.fs.hasFile("C:\\Program Files\\Chathoard\\icqtemp.dat"));
}

} // namespace
} // namespace ch
