// The main window as a user meets it: start state, keyboard, border, start-up warning, ending
// the program, and the Help menu's boxes.
#include <gtest/gtest.h>

#include "platform/form_design.h"
#include "tests/e2e/e2e_scenes.h"

namespace ch::e2e {
namespace {

int screenDpi() {
    HDC dc = GetDC(nullptr);
    const int dpi = GetDeviceCaps(dc, LOGPIXELSY);
    ReleaseDC(nullptr, dc);
    return dpi;
}

TEST(MainWindow, StartsWithTheDesignedTextsHiddenControlsAndFocusOnZipBackup) {
    Program program("start-state");
    HWND main = startWithSettings(program);
    ASSERT_TRUE(main);
    EXPECT_EQ(windowText(main), "Tavrik's Chathoard 0.10 beta");
    EXPECT_EQ(windowText(program.control("Label1")), "No ICQ Directory found");
    EXPECT_EQ(windowText(program.control("Frame1")), "Your ICQ directory:");
    EXPECT_EQ(windowText(program.control("Frame2")), "Backup directory:");
    EXPECT_EQ(windowText(program.control("Command1")), "ZIP Backup");
    EXPECT_EQ(windowText(program.control("Command2")), "Normal Backup");
    EXPECT_FALSE(IsWindowVisible(program.control("Text1")));
    EXPECT_FALSE(IsWindowVisible(program.control("File1")));
    EXPECT_TRUE(waitFor([&] { return focusOf(main) == program.control("Command1"); }));

    // Both lists start on the process's current drive and folder.
    EXPECT_EQ(program.selectedText("Drive1").substr(0, 2), "m:");
    EXPECT_EQ(program.selectedText("Drive2").substr(0, 2), "m:");
    EXPECT_EQ(program.selectedText("Dir1"), "m:\\");
    sampleMessenger();
}

TEST(MainWindow, HasAFixedBorderMinimisesAndIsCentred) {
    Program program("border");
    HWND main = startWithSettings(program);
    ASSERT_TRUE(main);
    const LONG style = GetWindowLongA(main, GWL_STYLE);
    EXPECT_TRUE(style & WS_MINIMIZEBOX);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
    EXPECT_FALSE(style & WS_THICKFRAME);

    const int dpi = screenDpi();
    RECT client;
    GetClientRect(main, &client);
    EXPECT_EQ(client.right, twipsToPixels(6675, dpi));
    EXPECT_EQ(client.bottom, twipsToPixels(4005, dpi));

    RECT outer, work;
    GetWindowRect(main, &outer);
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    EXPECT_NEAR(outer.left + outer.right, work.left + work.right, 2);
    EXPECT_NEAR(outer.top + outer.bottom, work.top + work.bottom, 2);

    PostMessageA(main, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    EXPECT_TRUE(waitFor([&] { return IsIconic(main) != FALSE; }));
}

TEST(MainWindow, TabWalksTheDesignedOrderAndSpacePressesTheFocusedButton) {
    Program program("keyboard");
    HWND main = startWithSettings(program);
    ASSERT_TRUE(main);
    ASSERT_TRUE(waitFor([&] { return focusOf(main) == program.control("Command1"); }));
    for (const char* next : {"Command2", "Drive1", "Dir1", "Drive2", "Dir2", "Command1"}) {
        PostMessageA(focusOf(main), WM_KEYDOWN, VK_TAB, 0);
        EXPECT_TRUE(waitFor([&] { return focusOf(main) == program.control(next); }, 3000))
            << "Tab should reach " << next;
    }
    // No messenger folder chosen yet, so ZIP Backup answers with its warning.
    HWND zip = program.control("Command1");
    PostMessageA(zip, WM_KEYDOWN, VK_SPACE, 0);
    PostMessageA(zip, WM_KEYUP, VK_SPACE, 0);
    const MessageBox box = program.waitMessageBox();
    EXPECT_EQ(box.title, "Oops...");
    EXPECT_EQ(box.prompt, "You have not yet selected your ICQ directory");
}

TEST(MainWindow, ClosingEndsTheProgramWithoutAQuestion) {
    Program program("close");
    HWND main = startWithSettings(program);
    ASSERT_TRUE(main);
    PostMessageA(main, WM_CLOSE, 0, 0);
    EXPECT_TRUE(program.waitExit());
}

TEST(MainWindow, FileExitEndsTheProgramWithoutAQuestion) {
    Program program("exit");
    ASSERT_TRUE(startWithSettings(program));
    program.chooseMenu("mnuExit");
    EXPECT_TRUE(program.waitExit());
}

TEST(StartUp, FirstStartWarnsBeforeTheWindowAndCreatesTheSettingsFile) {
    Program program("first-start");
    const std::string ini = program.folder() + "\\defaultdrive.ini";
    program.start("M:\\");
    const MessageBox box = program.waitMessageBox();
    ASSERT_TRUE(box.hwnd);
    EXPECT_EQ(box.title, "File not Found");
    EXPECT_EQ(box.prompt, "No defaultdrive.ini file found, your Default Drive will be set at: C");
    EXPECT_FALSE(program.mainWindow(300)) << "the warning comes before the window";
    box.answer(IDOK);
    EXPECT_TRUE(program.mainWindow());
    EXPECT_EQ(readFile(ini), "C\r\n");

    PostMessageA(program.mainWindow(), WM_CLOSE, 0, 0);
    ASSERT_TRUE(program.waitExit());
    Program again("first-start"); // same folder, the file is there now
    again.start("M:\\");
    ASSERT_TRUE(again.mainWindow());
    EXPECT_FALSE(waitFor([&] { return again.messageBoxOpen(); }, 500));
}

TEST(HelpMenu, ContentsWithoutTheHelpFileSaysSoOnce) {
    Program program("contents");
    HWND main = startWithSettings(program);
    ASSERT_TRUE(main);
    program.chooseMenu("mnuContets");
    const MessageBox box = program.waitMessageBox();
    EXPECT_EQ(box.title, "File not Found");
    EXPECT_EQ(box.prompt, "No CHATHOARD.CHM file found");
    box.answer(IDOK);
    EXPECT_TRUE(waitFor([&] { return !program.messageBoxOpen(); }));
    EXPECT_FALSE(waitFor([&] { return program.messageBoxOpen(); }, 500));
    EXPECT_TRUE(IsWindowEnabled(main));
    EXPECT_TRUE(program.running());
}

TEST(HelpMenu, ContentsWithTheHelpFileOpensItWithoutAMessage) {
    Program program("contents-present");
    if (!CopyFileA(binPath("chathoard.chm").c_str(), (program.folder() + "\\chathoard.chm").c_str(),
                   FALSE))
        GTEST_SKIP() << "chathoard.chm is not built";
    ASSERT_TRUE(startWithSettings(program));
    program.chooseMenu("mnuContets");
    HWND viewer = nullptr;
    EXPECT_TRUE(waitFor([&] { return (viewer = FindWindowA("HH Parent", nullptr)) != nullptr; }));
    EXPECT_FALSE(program.messageBoxOpen());
    if (viewer)
        PostMessageA(viewer, WM_CLOSE, 0, 0);
}

} // namespace
} // namespace ch::e2e

namespace ch::e2e {
namespace {

std::string versionString(const std::vector<char>& info, const std::string& name) {
    char* value = nullptr;
    UINT size = 0;
    const std::string path = "\\StringFileInfo\\040904B0\\" + name;
    if (!VerQueryValueA(info.data(), path.c_str(), reinterpret_cast<void**>(&value), &size))
        return "<missing>";
    return std::string(value, size ? size - 1 : 0);
}

TEST(ProgramFile, CarriesTheVersionResource) {
    const std::string exe = binPath("chathoard.exe");
    std::vector<char> info(GetFileVersionInfoSizeA(exe.c_str(), nullptr));
    ASSERT_FALSE(info.empty());
    ASSERT_TRUE(GetFileVersionInfoA(exe.c_str(), 0, static_cast<DWORD>(info.size()), info.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT size = 0;
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &size));
    EXPECT_EQ(fixed->dwFileVersionMS, MAKELONG(10, 0));
    EXPECT_EQ(fixed->dwFileVersionLS, 0u);
    EXPECT_EQ(fixed->dwProductVersionMS, MAKELONG(10, 0));
    EXPECT_EQ(versionString(info, "FileVersion"), "0.10");
    EXPECT_EQ(versionString(info, "ProductVersion"), "0.10");
    EXPECT_EQ(versionString(info, "ProductName"), "Tavrik's Chathoard");
    EXPECT_EQ(versionString(info, "InternalName"), "chathoard");
    EXPECT_EQ(versionString(info, "OriginalFilename"), "chathoard.exe");
    EXPECT_EQ(versionString(info, "FileDescription"), "--");
    EXPECT_EQ(versionString(info, "Comments"),
              "This program has been made for those who want to backup their ICQ easely");
    EXPECT_NE(versionString(info, "CompanyName").find("example"), std::string::npos);
    EXPECT_NE(versionString(info, "LegalCopyright").find("example"), std::string::npos);
}

} // namespace
} // namespace ch::e2e
