// The File and Help menu commands.
#include <gtest/gtest.h>

#include "about/menu_commands.h"
#include "platform/event_dispatch.h"
#include "tests/support/fake_services.h"

namespace ch {
namespace {

constexpr uintptr_t kForm1 = 0x1A2B;

class MenuCommandsTest : public ::testing::Test, protected test::FakeServices {
  protected:
    MenuCommandsTest() {
        App.Path = "C:\\Program Files\\Chathoard";
        runtime.handle = kForm1;
        // Shows the box as the Win32 runtime does, loading it when needed; the user presses OK.
        runtime.onShowAbout = [this](FrmAbout& about) {
            if (!about.loaded)
                about.load();
            shownCaptions.push_back(about.Caption);
            shown.push_back(&about);
            about.cmdOK_Click();
        };
    }
    void expectOneShellCall(const std::string& file) {
        ASSERT_EQ(shell.calls.size(), 1u);
        const test::ShellCall& c = shell.calls[0];
        EXPECT_EQ(c.ownerWindow, kForm1);
        EXPECT_EQ(c.file, file);
    }
    void expectHelpFileMessageOnce() {
        ASSERT_EQ(dialogs.shown.size(), 1u);
        EXPECT_EQ(dialogs.shown[0].prompt, "No CHATHOARD.CHM file found");
        EXPECT_EQ(dialogs.shown[0].style, vbExclamation);
        EXPECT_EQ(dialogs.shown[0].title, "File not Found");
    }

    std::vector<FrmAbout*> shown;
    std::vector<std::string> shownCaptions;
};

TEST_F(MenuCommandsTest, ContentsOpensTheHelpFileOfTheProgramFolder) {
    mnuContets_Click(services);
    expectOneShellCall("C:\\Program Files\\Chathoard\\chathoard.chm");
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(MenuCommandsTest, ContentsAtADriveRootPassesTheDoubledBackslash) {
    App.Path = "D:\\";
    mnuContets_Click(services);
    expectOneShellCall("D:\\\\chathoard.chm");
}

TEST_F(MenuCommandsTest, ContentsReportsAHelpFileTheShellCannotFind) {
    shell.result = 2;
    mnuContets_Click(services);
    expectHelpFileMessageOnce();
}

TEST_F(MenuCommandsTest, ContentsLeavesOtherShellFailuresToTheShell) {
    for (intptr_t result : {0, 3, 5, 8, 26, 27, 31, 32}) {
        shell.result = result;
        mnuContets_Click(services);
    }
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(MenuCommandsTest, ContentsReportsAnUnusableShellAsAMissingHelpFile) {
    for (int number : {errDllLoad, errDllEntryPoint}) {
        dialogs.shown.clear();
        shell.failure = RuntimeError(number);
        mnuContets_Click(services);
        expectHelpFileMessageOnce();
    }
}

TEST_F(MenuCommandsTest, HomepageAndEmailOpenTheirAddressesOnAnExampleDomain) {
    EXPECT_EQ(std::string(kHomepageUrl).rfind("https://", 0), 0u);
    EXPECT_EQ(std::string(kEmailLink).rfind("mailto:", 0), 0u);
    for (const char* target : {kHomepageUrl, kEmailLink})
        EXPECT_NE(std::string(target).find(".example.org"), std::string::npos) << target;

    shell.result = 2; // reported by nobody
    mnuHomepage_Click(services);
    expectOneShellCall(kHomepageUrl);
    shell.calls.clear();
    mnuEmail_Click(services);
    expectOneShellCall(kEmailLink);
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(MenuCommandsTest, AnUnusableShellInHomepageOrEmailLeavesTheProgramRunning) {
    shell.failure = RuntimeError(errDllLoad);
    dispatchEvent(dialogs, [&] { mnuHomepage_Click(services); });
    dispatchEvent(dialogs, [&] { mnuEmail_Click(services); });
    EXPECT_EQ(dialogs.shown.size(), 2u); // the runtime's error box, once per command
    EXPECT_EQ(runtime.endProgramCalls, 0);
}

TEST_F(MenuCommandsTest, ExitEndsTheProgramAndDoesNothingElse) {
    mnuExit_Click(runtime);
    EXPECT_EQ(runtime.endProgramCalls, 1);
    EXPECT_TRUE(shell.calls.empty());
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(MenuCommandsTest, AboutKeepsOneBoxForTheRunAndLoadsItAtEachShowing) {
    std::unique_ptr<FrmAbout> about;
    mnuAbout_Click(about, services);
    ASSERT_TRUE(about);
    about->Caption = "stale";
    mnuAbout_Click(about, services);
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0], about.get());
    EXPECT_EQ(shown[1], about.get());
    EXPECT_EQ(shownCaptions,
              (std::vector<std::string>{"About Tavrik's Chathoard", "About Tavrik's Chathoard"}));
    EXPECT_FALSE(about->loaded);
}

} // namespace
} // namespace ch
