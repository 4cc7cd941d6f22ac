// Network shares and "\\?\" paths wherever the program takes a path.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "app/command_line.h"
#include "platform/ansi_path.h"
#include "tests/support/code_pages.h"
#include "tests/unit/command_line_scene.h"

namespace ch {
namespace {

using ::testing::Contains;
using ::testing::HasSubstr;

constexpr LeadByteTest singleByte = test::isNeverLeadByte;

TEST(NetworkPaths, RootsParentsAndNormalFormsOfEveryKindOfPath) {
    EXPECT_EQ(pathRootLength("C:\\x", singleByte), 3u);
    EXPECT_EQ(pathRootLength("\\\\nas\\backups\\x", singleByte), 14u);
    EXPECT_EQ(pathRootLength("\\\\nas\\backups", singleByte), 13u);
    EXPECT_EQ(pathRootLength("\\\\?\\C:\\x", singleByte), 7u);
    EXPECT_EQ(pathRootLength("\\\\?\\unc\\nas\\b\\x", singleByte), 14u);
    EXPECT_EQ(pathRootLength("\\x", singleByte), 0u);

    EXPECT_EQ(normalFolderPath("C:\\", "\\\\Nas\\Backups\\\\daily\\..\\x\\", singleByte),
              "\\\\Nas\\Backups\\x");
    EXPECT_EQ(normalFolderPath("C:\\", "\\\\nas\\backups\\..\\..", singleByte), "\\\\nas\\backups");
    EXPECT_EQ(normalFolderPath("C:\\", "\\\\?\\c:\\a\\.\\b", singleByte), "\\\\?\\C:\\a\\b");
    EXPECT_EQ(normalFolderPath("C:\\", "\\\\?\\UNC\\nas\\b\\x", singleByte),
              "\\\\?\\UNC\\nas\\b\\x");
    EXPECT_EQ(normalFolderPath("\\\\nas\\b", "x", singleByte), "\\\\nas\\b\\x");
    EXPECT_EQ(normalFolderPath("C:\\", "d:/x/../y", singleByte), "D:\\y");

    EXPECT_EQ(parentFolderOf("\\\\nas\\b\\chathoard.zip", singleByte), "\\\\nas\\b");
    EXPECT_EQ(parentFolderOf("\\\\?\\UNC\\nas\\b\\x\\y", singleByte), "\\\\?\\UNC\\nas\\b\\x");
    EXPECT_EQ(parentFolderOf("\\\\?\\C:\\a.zip", singleByte), "\\\\?\\C:\\");
    EXPECT_EQ(parentFolderOf("C:\\a.zip", singleByte), "C:\\");
    EXPECT_EQ(parentFolderOf("\\\\nas\\b", singleByte), "\\\\nas\\b");

    EXPECT_TRUE(isNetworkPath("\\\\?\\UNC\\nas\\b"));
    EXPECT_FALSE(isNetworkPath("\\\\?\\C:\\x"));
    EXPECT_EQ(withoutLongPrefix("\\\\?\\UNC\\nas\\b"), "\\\\nas\\b");
}

struct NetworkRun : ::testing::Test, test::CommandLineScene {
    std::vector<std::string> lines;

    NetworkRun() { fs.addShare("\\\\NAS\\Backups"); }
    int run(const std::vector<std::string>& args) {
        lines.clear();
        return runCommandLine(
            args, commandLine, [&](const std::string& l, bool) { lines.push_back(l); },
            [] { return std::string("2026-12-07 03:00:00"); });
    }
};

// Every switch reaches a share by its own name, which the messages give as typed.
TEST_F(NetworkRun, EverySwitchTakesAShareAndNamesItAsTyped) {
    EXPECT_EQ(run({"/zip", "C:\\ICQ", "\\\\nas\\backups"}), exitDone);
    EXPECT_EQ(lines.at(0), "ZIP backup of C:\\ICQ to \\\\nas\\backups");
    EXPECT_TRUE(fs.hasFile("\\\\NAS\\Backups\\chathoard.zip"));

    EXPECT_EQ(run({"/normal", "C:\\ICQ", "\\\\nas\\backups\\plain\\deep", "/keep:2"}), exitDone)
        << ::testing::PrintToString(lines);
    EXPECT_EQ(lines.at(1), "Created the destination folder \\\\nas\\backups\\plain\\deep");
    const std::string generation = "\\\\nas\\backups\\plain\\deep\\2026-12-07-030000";
    EXPECT_EQ(fs.content(generation + "\\a.dat"), "chat");

    EXPECT_EQ(run({"/verify", generation + "\\a.idx", "C:\\ICQ"}), exitDone);
    EXPECT_THAT(lines,
                Contains(HasSubstr("The backup " + generation + " is readable: 2 database files")));

    fs.addFile("C:\\ICQ\\db\\a.dat", "changed since");
    EXPECT_EQ(run({"/restore", generation, "C:\\ICQ"}), exitDone)
        << ::testing::PrintToString(lines);
    EXPECT_EQ(fs.content("C:\\ICQ\\db\\a.dat"), "chat");

    // The long form of a share is the same share.
    EXPECT_EQ(run({"/normal", "C:\\ICQ", "\\\\?\\UNC\\nas\\backups\\long"}), exitDone);
    EXPECT_EQ(fs.content("\\\\nas\\backups\\long\\a.idx"), "index");
}

TEST_F(NetworkRun, AShareThatCannotBeReachedIsNamedAndTheLongFormOfTheDatabaseIsRefused) {
    EXPECT_EQ(run({"/zip", "C:\\ICQ", "\\\\server\\gone\\daily"}), exitBackupFailed);
    EXPECT_EQ(lines.at(1), "The destination folder \\\\server\\gone\\daily cannot be used: the "
                           "network share \\\\server\\gone cannot be reached.");

    EXPECT_EQ(run({"/normal", "C:\\ICQ", "\\\\?\\C:\\ICQ\\db\\copies"}), exitBackupFailed);
    EXPECT_THAT(lines, Contains(HasSubstr("A backup must go elsewhere")));
    EXPECT_FALSE(fs.folderExists("C:\\ICQ\\db\\copies"));
}

} // namespace
} // namespace ch
