// The About box: its stored design, its load handler and its buttons.
#include <gtest/gtest.h>

#include <set>

#include "about/frm_about.h"
#include "tests/support/fake_services.h"

namespace ch {
namespace {

TEST(FrmAboutDesign, ControlsInStoredOrderInsideTheWindowWithDistinctTabStops) {
    const FormDesign& d = frmAboutDesign();
    EXPECT_EQ(d.name, "frmAbout");
    EXPECT_EQ(d.border, BorderStyle::FixedDialog);
    EXPECT_FALSE(d.minButton || d.maxButton || d.showInTaskbar);
    EXPECT_TRUE(d.menus.empty());

    std::vector<std::string> order;
    std::set<int> tabStops;
    for (const ControlDesign& c : d.controls) {
        order.push_back(c.name + (c.index >= 0 ? "(" + std::to_string(c.index) + ")" : ""));
        SCOPED_TRACE(order.back());
        EXPECT_EQ(c.parent, "");
        if (c.kind == ControlKind::Line) {
            EXPECT_EQ(c.tabIndex, -1);
            EXPECT_LE(std::max(c.left, c.width), d.clientWidth);
            continue;
        }
        EXPECT_TRUE(tabStops.insert(c.tabIndex).second) << "tab index used twice";
        EXPECT_LE(c.left + c.width, d.clientWidth);
        EXPECT_LE(c.top + c.height, d.clientHeight);
    }
    EXPECT_EQ(order, (std::vector<std::string>{"picIcon", "cmdOK", "cmdSysInfo", "Line1(1)",
                                               "lblDescription", "lblTitle", "Line1(0)",
                                               "lblVersion", "lblDisclaimer"}));
    // The focus starts on OK: the lowest tab index.
    EXPECT_EQ(d.find("cmdOK")->tabIndex, *tabStops.begin());
    EXPECT_EQ(d.find("picIcon")->width, 480); // exactly the 32-pixel icon at 96 DPI
    EXPECT_EQ(d.find("picIcon")->height, 480);
}

TEST(FrmAboutDesign, ButtonsAndRule) {
    const FormDesign& d = frmAboutDesign();
    const ControlDesign* ok = d.find("cmdOK");
    EXPECT_TRUE(ok->isDefault && ok->isCancel);
    EXPECT_EQ(ok->caption, "OK");
    const ControlDesign* sysInfo = d.find("cmdSysInfo");
    EXPECT_FALSE(sysInfo->isDefault || sysInfo->isCancel);
    EXPECT_EQ(sysInfo->caption, "&System Info...");

    // The etched rule: grey and thin above, white and wider one pixel below.
    const ControlDesign* grey = d.find("Line1", 1);
    const ControlDesign* white = d.find("Line1", 0);
    EXPECT_EQ(white->top - grey->top, 15);
    EXPECT_EQ(grey->top, grey->height); // horizontal
    EXPECT_EQ(white->top, white->height);
}

class FrmAboutTest : public ::testing::Test, protected test::FakeServices {
  protected:
    FrmAboutTest() { App.Path = "C:\\Chathoard"; }
    FrmAbout about{services};
};

TEST_F(FrmAboutTest, LoadShowsTitleAndVersionNeverTheDesignPlaceholders) {
    about.load();
    EXPECT_TRUE(about.loaded);
    EXPECT_EQ(about.Caption, "About Tavrik's Chathoard");
    EXPECT_EQ(about.lblTitle.Caption(), "Tavrik's Chathoard");
    EXPECT_EQ(about.lblVersion.Caption(), "Version 0.10.0");
    EXPECT_EQ(about.lblDescription.Caption(),
              "This program has been made for those who want to backup their ICQ files easily.");
    EXPECT_EQ(about.lblDisclaimer.Caption(), "");
}

TEST_F(FrmAboutTest, VersionNumbersAreWrittenWithoutPadding) {
    App.Major = 1;
    App.Minor = 2;
    App.Revision = 305;
    about.load();
    EXPECT_EQ(about.lblVersion.Caption(), "Version 1.2.305");
}

TEST_F(FrmAboutTest, EachLoadStartsAgainFromTheDesign) {
    about.load();
    about.lblDescription.setCaption("changed");
    about.lblTitle.setCaption("changed");
    about.cmdOK_Click();
    EXPECT_FALSE(about.loaded);
    about.load();
    EXPECT_EQ(about.lblDescription.Caption(), frmAboutDesign().find("lblDescription")->caption);
    EXPECT_EQ(about.lblTitle.Caption(), "Tavrik's Chathoard");
}

TEST_F(FrmAboutTest, SystemInfoWithoutTheToolReportsAndKeepsTheBoxOpen) {
    about.load();
    about.cmdSysInfo_Click();
    EXPECT_TRUE(about.loaded);
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].prompt, "System Information Is Unavailable At This Time");
}

TEST_F(FrmAboutTest, SystemInfoStartsTheToolTheRegistryNames) {
    registry.setString(HKEY_LOCAL_MACHINE_ROOT, "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO", "PATH",
                       "C:\\Windows\\msinfo32.exe");
    processes.programs = {"C:\\Windows\\msinfo32.exe"};
    about.load();
    about.cmdSysInfo_Click();
    EXPECT_EQ(processes.starts.size(), 1u);
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_TRUE(about.loaded);
}

} // namespace
} // namespace ch
