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

void clickAbout(HWND about, const std::string& name) {
    HWND button = aboutControl(about, name);
    PostMessageA(about, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED),
                 reinterpret_cast<LPARAM>(button));
}

// The registry value that names the System Information tool, set for one test only.
class ToolPath {
  public:
    explicit ToolPath(const std::string& path) {
        HKEY key;
        if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                            nullptr) == ERROR_SUCCESS) {
            RegSetValueExA(key, "PATH", 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                           static_cast<DWORD>(path.size() + 1));
            RegCloseKey(key);
        }
    }
    ~ToolPath() { RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, kKey, "PATH"); }

  private:
    static constexpr const char* kKey = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
};

bool registryNamesTheTool() {
    char value[1024];
    DWORD size = sizeof(value);
    return RegGetValueA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO", "PATH",
                        RRF_RT_ANY, nullptr, value, &size) == ERROR_SUCCESS ||
           RegGetValueA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Shared Tools Location", "MSINFO",
                        RRF_RT_ANY, nullptr, value, &size) == ERROR_SUCCESS;
}

TEST(AboutBox, SystemInfoStartsTheToolTheRegistryNamesOrSaysItIsUnavailable) {
    Program program("sysinfo");
    ASSERT_TRUE(startWithSettings(program));
    HWND about = openAbout(program);
    ASSERT_TRUE(about);

    if (!registryNamesTheTool()) {
        clickAbout(about, "cmdSysInfo");
        const MessageBox box = program.waitMessageBox();
        EXPECT_EQ(box.title, "Tavrik's Chathoard");
        EXPECT_EQ(box.prompt, "System Information Is Unavailable At This Time");
        box.answer(IDOK);
        EXPECT_TRUE(IsWindowVisible(about)) << "the About box stays open";
    }

    // Notepad stands in for the tool: it opens a window that shows it was started.
    ToolPath tool("C:\\windows\\notepad.exe");
    clickAbout(about, "cmdSysInfo");
    HWND notepad = nullptr;
    EXPECT_TRUE(waitFor([&] { return (notepad = FindWindowA("Notepad", nullptr)) != nullptr; }));
    EXPECT_FALSE(program.messageBoxOpen());
    if (notepad)
        PostMessageA(notepad, WM_CLOSE, 0, 0);
    EXPECT_TRUE(IsWindow(about));
}

} // namespace
} // namespace ch::e2e
