#include "app/startup.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/runtime_error.h"
#include "tests/support/fake_services.h"

namespace ch {
namespace {

using test::FsOp;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

const char* const kSettings = "C:\\Chathoard\\defaultdrive.ini";

class Startup : public ::testing::Test, protected test::FakeServices {
  protected:
    Startup() {
        fs.addFolder("C:\\Chathoard");
        App.Path = "C:\\Chathoard";
    }
    void load() { Form_Load(Text1, DefaultDrive, services); }
    void expectMissingFileWarningOnly() {
        ASSERT_EQ(dialogs.shown.size(), 1u);
        EXPECT_EQ(dialogs.shown[0].prompt,
                  "No defaultdrive.ini file found, your Default Drive will be set at: C");
        EXPECT_EQ(dialogs.shown[0].style, 48);
        EXPECT_EQ(dialogs.shown[0].title, "File not Found");
    }

    TextBox Text1;
    std::string DefaultDrive = "unset";
};

TEST_F(Startup, MissingSettingsAreWarnedAboutCreatedAndReadBack) {
    load();
    expectMissingFileWarningOnly();
    EXPECT_EQ(fs.content(kSettings), "C\r\n");
    EXPECT_EQ(DefaultDrive, "C");
    EXPECT_EQ(Text1.Text(), "C");
    EXPECT_EQ(archiver.entriesCalled(), std::vector<std::string>{"addZIP_Initialise"});
    // The library is initialised before the settings file is touched.
    EXPECT_EQ(fs.log.front().op, FsOp::ReadAll);
}

TEST_F(Startup, TheFirstValueNamesTheDriveInAnyOfItsUsualForms) {
    const std::pair<std::string, std::string> cases[] = {
        {"D\r\n", "D"},     {"d\r\n", "d"},           {"D:\r\n", "D"},  {"d:\\\r\n", "d"},
        {"\"D\"\r\n", "D"}, {"E\r\nF\r\nG\r\n", "E"}, {"D,E\r\n", "D"}, {"z:\\", "z"},
    };
    for (const auto& [bytes, expected] : cases) {
        SCOPED_TRACE(bytes);
        fs.addFile(kSettings, bytes);
        dialogs.shown.clear();
        load();
        EXPECT_EQ(DefaultDrive, expected);
        EXPECT_EQ(Text1.Text(), expected);
        EXPECT_TRUE(dialogs.shown.empty());
        EXPECT_EQ(fs.content(kSettings), bytes); // only ever read
    }
}

// Anything else is kept as it is (a ZIP Backup refuses to stage on it) and named in a box,
// with the file and the form it should have; the file is not rewritten behind the user's back.
TEST_F(Startup, AValueThatNamesNoDriveIsReportedWithTheFileAndTheExpectedForm) {
    for (const std::string value : {"DE", "D::", "D:/", "D:\\x", "1", "\\\\srv", ""}) {
        SCOPED_TRACE(value);
        fs.addFile(kSettings, value + "\r\n"); // an empty first line reads as ""
        dialogs.shown.clear();
        load();
        EXPECT_EQ(DefaultDrive, value);
        ASSERT_EQ(dialogs.shown.size(), 1u);
        EXPECT_EQ(dialogs.shown[0].style, vbExclamation);
        EXPECT_THAT(dialogs.shown[0].prompt, HasSubstr(std::string("setting in ") + kSettings +
                                                       " is not a drive: \"" + value + "\""));
        EXPECT_THAT(dialogs.shown[0].prompt, HasSubstr("one drive letter, such as D"));
        EXPECT_EQ(fs.content(kSettings), value + "\r\n");
    }
}

TEST_F(Startup, AnEmptySettingsFileIsRewrittenNotASecondFailure) {
    fs.addFile(kSettings, "");
    load();
    expectMissingFileWarningOnly();
    EXPECT_EQ(fs.content(kSettings), "C\r\n");
    EXPECT_EQ(DefaultDrive, "C");
}

TEST_F(Startup, AtADriveRootTheSettingsPathHoldsTwoBackslashes) {
    App.Path = "C:\\";
    fs.addFile("C:\\defaultdrive.ini", "E\r\n");
    load();
    EXPECT_EQ(DefaultDrive, "E");
    EXPECT_EQ(fs.logOf({FsOp::ReadAll}), std::vector<std::string>{"read C:\\\\defaultdrive.ini"});
}

TEST_F(Startup, SettingsThatCannotBeSavedAreReportedAndCIsUsed) {
    fs.failAlways(FsOp::WriteAll, kSettings, errPermissionDenied);
    load();
    ASSERT_EQ(dialogs.shown.size(), 2u);
    EXPECT_EQ(dialogs.shown[0].title, "File not Found");
    EXPECT_THAT(dialogs.shown[1].prompt, HasSubstr("could not be saved"));
    EXPECT_THAT(dialogs.shown[1].prompt, HasSubstr(kSettings));
    EXPECT_THAT(dialogs.shown[1].prompt, HasSubstr("Permission denied"));
    EXPECT_EQ(dialogs.shown[1].style, vbExclamation);
    EXPECT_EQ(DefaultDrive, "C");
    EXPECT_FALSE(fs.hasFile(kSettings));
}

TEST_F(Startup, AMissingLibraryIsWarnedAboutOnceAndStartUpGoesOn) {
    archiver.dllMissing();
    fs.addFile(kSettings, "D\r\n");
    load();
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_THAT(dialogs.shown[0].prompt, HasSubstr("azip32.dll"));
    EXPECT_THAT(dialogs.shown[0].prompt, HasSubstr("ZIP Backup is unavailable"));
    EXPECT_EQ(dialogs.shown[0].style, vbExclamation);
    EXPECT_EQ(DefaultDrive, "D");

    // Together with a missing settings file: the library warning first, then the usual one.
    test::FakeArchiver noEntry{fs};
    noEntry.entryMissing("addZIP_Initialise");
    dialogs.shown.clear();
    fs.deleteFile(kSettings);
    Form_Load(Text1, DefaultDrive,
              {fs, fs.codePage(), dialogs, shell, registry, processes, noEntry, runtime, App,
               backupLock, picker, work});
    ASSERT_EQ(dialogs.shown.size(), 2u);
    EXPECT_THAT(dialogs.shown[0].prompt, HasSubstr("addZIP_Initialise"));
    EXPECT_EQ(dialogs.shown[1].title, "File not Found");
    EXPECT_EQ(DefaultDrive, "C");
}

} // namespace
} // namespace ch
