#include "tests/e2e/e2e_scenes.h"

#include <gtest/gtest.h>

namespace ch::e2e {

namespace {

// Deterministic bytes that do not compress to nothing, so copies and archives are checked
// on real content.
std::string content(unsigned seed, size_t size) {
    std::string bytes(size, '\0');
    for (auto& b : bytes) {
        seed = seed * 1103515245u + 12345u;
        b = static_cast<char>((seed >> 16) & 0x3f);
    }
    return bytes;
}

// The first visible edit control of a dialog, for EnumChildWindows.
BOOL CALLBACK findVisibleEdit(HWND h, LPARAM out) {
    if (IsWindowVisible(h) && className(h) == "Edit") {
        *reinterpret_cast<HWND*>(out) = h;
        return FALSE;
    }
    return TRUE;
}

} // namespace

void pickInOpenDialog(Program& program, const std::string& title, const std::string& path) {
    HWND dialog = program.waitWindow("#32770", title);
    ASSERT_TRUE(dialog) << "no open dialog";
    HWND edit = nullptr;
    ASSERT_TRUE(waitFor([&] {
        EnumChildWindows(dialog, findVisibleEdit, reinterpret_cast<LPARAM>(&edit));
        return edit != nullptr;
    }));
    SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
    ASSERT_TRUE(waitFor([&] { return !IsWindow(dialog); })) << "the open dialog stayed";
}

const std::vector<std::string>& sampleMessenger() {
    static const std::vector<std::string> files = [] {
        const std::vector<std::string> names = {"Contacts.dat", "Contacts.idx", "Messages.dat",
                                                "Messages.idx", "Owner.dat"};
        makeFolders(kSampleDb);
        makeFolders("M:\\Other");
        unsigned seed = 1;
        for (const auto& name : names) {
            writeFile(std::string(kSampleDb) + "\\" + name, content(seed, 20000 * seed));
            ++seed;
        }
        writeFile(std::string(kSampleDb) + "\\readme.txt", "not part of the database");
        return names;
    }();
    return files;
}

HWND startWithSettings(Program& program, const std::string& currentFolder) {
    sampleMessenger(); // before the start: the folder lists read the disk once
    writeFile(program.folder() + "\\defaultdrive.ini", "C\r\n");
    program.start(currentFolder);
    return program.mainWindow();
}

HWND focusOf(HWND mainWindow) {
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    GetGUIThreadInfo(GetWindowThreadProcessId(mainWindow, nullptr), &info);
    return info.hwndFocus;
}

std::string lower(std::string text) {
    CharLowerBuffA(text.data(), static_cast<DWORD>(text.size()));
    return text;
}

bool mentions(const std::string& text, const std::string& part) {
    return lower(text).find(lower(part)) != std::string::npos;
}

} // namespace ch::e2e
