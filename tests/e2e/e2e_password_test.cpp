// File > ZIP Backup password...: a password set through the window, typed twice (a mismatch
// first, which stores nothing), makes the window's ZIP Backup encrypted; removed again, the
// main window no longer says so. check_archive.py has 7-Zip list the archive's entries.
#include <gtest/gtest.h>
#include <shlobj.h>

#include "app/frm_password.h"
#include "platform/win32/gui_layout.h"
#include "tests/e2e/e2e_scenes.h"

namespace ch::e2e {
namespace {

std::string storedPasswordFile() {
    char appData[MAX_PATH] = {};
    SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, appData);
    return std::string(appData) + "\\Chathoard\\password.bin";
}

HWND passwordControl(HWND window, const char* name) {
    const FormDesign& design = frmPasswordDesign();
    return GetDlgItem(window, gui::controlId(design, *design.find(name)));
}

void press(HWND window, const char* button) {
    PostMessageA(passwordControl(window, button), BM_CLICK, 0, 0);
}

TEST(BackupPassword, SetThroughTheWindowEncryptsTheZipBackupAndRemovedStopsIt) {
    Program program("password");
    if (!fileExists(program.folder() + "\\azip32.dll"))
        GTEST_SKIP() << "azip32.dll is not built";
    DeleteFileA(storedPasswordFile().c_str());
    sampleMessenger();
    makeFolders("N:\\Encrypted");
    ASSERT_TRUE(startWithSettings(program));
    program.openFolder("Dir1", "ICQ");
    ASSERT_TRUE(program.waitLabel("ICQ Directory found !"));
    program.pickDrive("Drive2", "n:");
    ASSERT_TRUE(waitFor([&] { return program.selectedText("Dir2") == "n:\\"; }));
    program.openFolder("Dir2", "Encrypted");
    EXPECT_EQ(windowText(program.control("lblEncrypted")), "");

    program.chooseMenu("mnuPassword");
    HWND window = program.waitWindow("Chathoard.frmPassword");
    ASSERT_TRUE(window);
    EXPECT_EQ(GetWindowLongA(passwordControl(window, "txtPassword"), GWL_STYLE) & ES_PASSWORD,
              ES_PASSWORD);
    SetWindowTextA(passwordControl(window, "txtPassword"), "pa55 word");
    SetWindowTextA(passwordControl(window, "txtConfirm"), "pa55 w0rd");
    press(window, "cmdOK");
    MessageBox box = program.waitMessageBox();
    EXPECT_TRUE(mentions(box.prompt, "differ")) << box.prompt;
    box.answer(IDOK);
    EXPECT_FALSE(fileExists(storedPasswordFile()));
    ASSERT_TRUE(IsWindow(window));
    SetWindowTextA(passwordControl(window, "txtConfirm"), "pa55 word");
    press(window, "cmdOK");
    box = program.waitMessageBox();
    EXPECT_TRUE(mentions(box.prompt, "Normal Backups stay plain copies")) << box.prompt;
    box.answer(IDOK);
    ASSERT_TRUE(waitFor([&] { return !IsWindow(window); }));
    EXPECT_TRUE(fileExists(storedPasswordFile()));
    EXPECT_TRUE(waitFor([&] {
        return windowText(program.control("lblEncrypted")) == "ZIP Backups are encrypted";
    }));

    program.click("Command1");
    box = program.waitMessageBox(60000);
    EXPECT_EQ(box.title, "Done !") << box.prompt;
    box.answer(IDOK);
    EXPECT_TRUE(fileExists("N:\\Encrypted\\chathoard.zip"));

    program.chooseMenu("mnuPassword");
    window = program.waitWindow("Chathoard.frmPassword");
    ASSERT_TRUE(window);
    press(window, "cmdRemove");
    box = program.waitMessageBox();
    EXPECT_TRUE(mentions(box.prompt, "Remove the stored password?")) << box.prompt;
    box.answer(IDOK);
    ASSERT_TRUE(waitFor([&] { return !IsWindow(window); }));
    EXPECT_FALSE(fileExists(storedPasswordFile()));
    EXPECT_TRUE(waitFor([&] { return windowText(program.control("lblEncrypted")).empty(); }));
    // check_archive.py has 7-Zip list and test the archive after this run.
}

} // namespace
} // namespace ch::e2e
