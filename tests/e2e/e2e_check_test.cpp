// File > Check a backup...: the backup picked in the open dialog is read through and compared
// with the chosen messenger folder, and the report shows in a modal window whose read-only
// text can be scrolled and copied; Esc, and Enter in the text, close it.
#include <gtest/gtest.h>

#include "app/frm_check.h"
#include "platform/win32/gui_layout.h"
#include "tests/e2e/e2e_scenes.h"

namespace ch::e2e {
namespace {

constexpr const char* kPickerTitle =
    "Choose the backup to check: chathoard.zip, or a database file in a folder of copies";

HWND checkControl(HWND window, const char* name) {
    const FormDesign& design = frmCheckDesign();
    return GetDlgItem(window, gui::controlId(design, *design.find(name)));
}

HWND openCheck(Program& program, const std::string& backup) {
    program.chooseMenu("mnuCheck");
    pickInOpenDialog(program, kPickerTitle, backup);
    return program.waitWindow("Chathoard.frmCheck", "", 60000);
}

TEST(CheckBackup, ReportsTheVerdictAndTheComparisonInAReadOnlyTextAndClosesByKeyboard) {
    makeFolders("N:\\CheckSrc");
    for (const std::string& name : sampleMessenger())
        writeFile("N:\\CheckSrc\\" + name, readFile(std::string(kSampleDb) + "\\" + name));
    Program program("check");
    HWND main = startWithSettings(program);
    ASSERT_TRUE(main);
    program.openFolder("Dir1", "ICQ");
    ASSERT_TRUE(program.waitLabel("ICQ Directory found !"));

    HWND check = openCheck(program, "N:\\CheckSrc\\Messages.idx");
    ASSERT_TRUE(check);
    EXPECT_FALSE(IsWindowEnabled(main)) << "modal";
    HWND report = checkControl(check, "txtReport");
    const std::string text = windowText(report);
    EXPECT_NE(text.find("Checking the backup N:\\CheckSrc against the database in "),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("Messages.dat: readable"), std::string::npos) << text;
    EXPECT_NE(text.find("the same as in the database"), std::string::npos) << text;
    EXPECT_NE(text.find("The backup N:\\CheckSrc is readable: 5 database files"), std::string::npos)
        << text;
    // The verdict stands first, above the report, whatever its length.
    const std::string verdict = windowText(checkControl(check, "lblVerdict"));
    EXPECT_EQ(verdict.rfind("The backup N:\\CheckSrc is readable", 0), 0u) << verdict;
    const LONG style = GetWindowLongA(report, GWL_STYLE);
    EXPECT_TRUE(style & ES_READONLY);
    EXPECT_TRUE(style & ES_MULTILINE);
    EXPECT_TRUE(style & WS_VSCROLL);

    PostMessageA(checkControl(check, "cmdClose"), WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_TRUE(waitFor([&] { return !IsWindow(check); })) << "Esc closes";
    EXPECT_TRUE(waitFor([&] { return IsWindowEnabled(main) != FALSE; }));

    // Enter with the focus in the text closes it too.
    check = openCheck(program, "N:\\CheckSrc\\Messages.idx");
    ASSERT_TRUE(check);
    PostMessageA(checkControl(check, "txtReport"), WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_TRUE(waitFor([&] { return !IsWindow(check); })) << "Enter closes";
}

} // namespace
} // namespace ch::e2e
