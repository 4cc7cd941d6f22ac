// The About box: its texts, modality, and the three ways of closing it.
#include <gtest/gtest.h>

#include <algorithm>

#include "about/frm_about.h"
#include "platform/win32/gui_layout.h"
#include "tests/e2e/e2e_scenes.h"

namespace ch::e2e {
namespace {

HWND openAbout(Program& program) {
    program.chooseMenu("mnuAbout");
    return program.waitWindow("Chathoard.frmAbout");
}

HWND aboutControl(HWND about, const std::string& name) {
    const FormDesign& design = frmAboutDesign();
    return GetDlgItem(about, gui::controlId(design, *design.find(name)));
}

bool contains(const std::vector<std::string>& texts, const std::string& text) {
    return std::find(texts.begin(), texts.end(), text) != texts.end();
}

TEST(AboutBox, ShowsTheFilledInTextsModallyAndClosesWithOkEscAndTheCloseButton) {
    Program program("about");
    HWND main = startWithSettings(program);
    ASSERT_TRUE(main);

    HWND about = openAbout(program);
    ASSERT_TRUE(about);
    EXPECT_EQ(windowText(about), "About Tavrik's Chathoard");
    const auto texts = staticTexts(about);
    EXPECT_TRUE(contains(texts, "Tavrik's Chathoard"));
    EXPECT_TRUE(contains(texts, "Version 0.10.0"));
    EXPECT_TRUE(contains(
        texts, "This program has been made for those who want to backup their ICQ files easily."));
    EXPECT_FALSE(contains(texts, "Application Title"));
    EXPECT_FALSE(contains(texts, "Version"));
    EXPECT_EQ(windowText(aboutControl(about, "cmdSysInfo")), "&System Info...");
    EXPECT_FALSE(IsWindowEnabled(main)) << "the main window takes no input meanwhile";
    EXPECT_EQ(GetWindow(about, GW_OWNER), main) << "owned, so not in the taskbar";

    HWND ok = aboutControl(about, "cmdOK");
    PostMessageA(about, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(ok), BN_CLICKED),
                 reinterpret_cast<LPARAM>(ok));
    EXPECT_TRUE(waitFor([&] { return !IsWindow(about); }));
    EXPECT_TRUE(waitFor([&] { return IsWindowEnabled(main) != FALSE; }));

    // A second showing loads the box again; Esc closes it like OK.
    about = openAbout(program);
    ASSERT_TRUE(about);
    EXPECT_EQ(windowText(about), "About Tavrik's Chathoard");
    EXPECT_TRUE(contains(staticTexts(about), "Version 0.10.0"));
    PostMessageA(aboutControl(about, "cmdOK"), WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_TRUE(waitFor([&] { return !IsWindow(about); }));

    about = openAbout(program);
    ASSERT_TRUE(about);
    PostMessageA(about, WM_CLOSE, 0, 0);
    EXPECT_TRUE(waitFor([&] { return !IsWindow(about); }));
    EXPECT_TRUE(waitFor([&] { return IsWindowEnabled(main) != FALSE; }));
    EXPECT_TRUE(program.running());
}

} // namespace
} // namespace ch::e2e
