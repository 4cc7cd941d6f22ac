// Long work under the window, end to end on a database of about 300 MB: the progress window
// comes up, the main window keeps answering while the work runs, Cancel at any moment leaves
// every file as it was, and the same work then completes.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstdint>

#include "platform/progress_form.h"
#include "platform/win32/gui_layout.h"
#include "tests/e2e/e2e_scenes.h"

namespace ch::e2e {
namespace {

constexpr const char* kBigDb = "M:\\Big\\db";
constexpr const char* kDestination = "N:\\Big";
constexpr const char* kEarlier = "N:\\Big\\chathoard.zip";
constexpr const char* kEarlierBytes = "the earlier archive, which a cancelled backup must keep";
constexpr const char* kRestorePicker =
    "Choose the backup to restore: chathoard.zip, or a database file in a folder of copies";

// Bytes that deflate barely shrinks, made fast: packing them takes seconds, not minutes.
void writeNoise(const std::string& path, size_t megabytes, uint32_t seed) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
    std::string block(1 << 20, '\0');
    for (size_t mb = 0; mb < megabytes; ++mb) {
        auto* words = reinterpret_cast<uint32_t*>(block.data());
        for (size_t i = 0; i < block.size() / 4; ++i) {
            seed ^= seed << 13;
            seed ^= seed >> 17;
            seed ^= seed << 5;
            words[i] = seed;
        }
        DWORD written = 0;
        WriteFile(file, block.data(), static_cast<DWORD>(block.size()), &written, nullptr);
    }
    CloseHandle(file);
}

// The names in a folder, "." and ".." left out.
std::vector<std::string> folderItems(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return names;
    do {
        const std::string name = data.cFileName;
        if (name != "." && name != "..")
            names.push_back(name);
    } while (FindNextFileA(find, &data));
    FindClose(find);
    return names;
}

HWND progressControl(HWND progress, const char* name) {
    const FormDesign& design = frmProgressDesign();
    return GetDlgItem(progress, gui::controlId(design, *design.find(name)));
}

// Asks the main window for its title about every 100 ms until done() or the time is up;
// counts the asks it did not answer within 200 ms.
struct Answers {
    int asked = 0, late = 0;
};
bool askWhile(HWND mainWindow, Answers& answers, const std::function<bool()>& done,
              DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        char text[256];
        DWORD_PTR result = 0;
        ++answers.asked;
        if (!SendMessageTimeoutA(mainWindow, WM_GETTEXT, sizeof(text),
                                 reinterpret_cast<LPARAM>(text), SMTO_NORMAL, 200, &result))
            ++answers.late;
        if (done())
            return true;
        if (GetTickCount() - start > timeoutMs)
            return false;
        Sleep(100);
    }
}

class LongWork : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        makeFolders(kBigDb);
        const std::pair<const char*, size_t> files[] = {
            {"Messages.dat", 200}, {"Messages.idx", 20}, {"Contacts.dat", 60},
            {"Contacts.idx", 10},  {"Owner.dat", 10},
        };
        uint32_t seed = 2463534242u;
        for (const auto& [name, megabytes] : files)
            writeNoise(std::string(kBigDb) + "\\" + name, megabytes, seed += 7919);
        makeFolders(kDestination);
        writeFile(kEarlier, kEarlierBytes);
    }
    static void TearDownTestSuite() {
        for (const auto& name : folderItems(kBigDb))
            DeleteFileA((std::string(kBigDb) + "\\" + name).c_str());
        DeleteFileA(kEarlier);
    }

    void SetUp() override {
        ASSERT_TRUE(startWithSettings(program));
        program.openFolder("Dir1", "Big");
        ASSERT_TRUE(program.waitLabel("ICQ Directory found !"));
        program.pickDrive("Drive2", "n:");
        ASSERT_TRUE(waitFor([&] { return program.selectedText("Dir2") == "n:\\"; }));
        program.openFolder("Dir2", "Big");
        ASSERT_TRUE(waitFor([&] { return lower(program.selectedText("Dir2")) == "big"; }));
    }

    // Clicks ZIP Backup and waits for the progress window, which must come within 2 s.
    HWND startZipBackup() {
        program.click("Command1");
        const DWORD clicked = GetTickCount();
        HWND progress = program.waitWindow("Chathoard.frmProgress", {}, 2000);
        EXPECT_TRUE(progress) << "no progress window within 2 s";
        EXPECT_LE(GetTickCount() - clicked, 2100u);
        return progress;
    }

    // The cancelled box, then everything as it was before the click.
    void expectCancelledAndNothingLeft() {
        const MessageBox box = program.waitMessageBox(30000);
        EXPECT_NE(box.title, "Done !");
        EXPECT_TRUE(mentions(box.prompt, "was cancelled")) << box.title << ": " << box.prompt;
        EXPECT_TRUE(mentions(box.prompt, "Nothing in")) << box.prompt;
        box.answer(IDOK);
        // Compared, not printed: a failure would print the whole archive.
        EXPECT_TRUE(readFile(kEarlier) == kEarlierBytes) << "the earlier archive changed";
        EXPECT_EQ(folderItems(kDestination), std::vector<std::string>{"chathoard.zip"});
        EXPECT_FALSE(folderExists("C:\\chathoard"));
        EXPECT_FALSE(fileExists(program.folder() + "\\icqtemp.dat"));
    }

    Program program{"long-work"};
};

TEST_F(LongWork, ZipBackupCancelledAtOnceAndHalfWayChangesNothingThenCompletes) {
    if (!fileExists(program.folder() + "\\azip32.dll"))
        GTEST_SKIP() << "azip32.dll is not built";
    HWND mainWindow = program.mainWindow();
    Answers answers;

    // Cancel about a second after the click, with the button.
    HWND progress = startZipBackup();
    ASSERT_TRUE(progress);
    const DWORD shown = GetTickCount();
    askWhile(
        mainWindow, answers, [&] { return GetTickCount() - shown > 500; }, 2000);
    HWND cancel = progressControl(progress, "cmdCancel");
    PostMessageA(progress, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(cancel), BN_CLICKED),
                 reinterpret_cast<LPARAM>(cancel));
    askWhile(
        mainWindow, answers, [&] { return program.messageBoxOpen(); }, 30000);
    expectCancelledAndNothingLeft();

    // Cancel half-way through, with Esc on the focused button.
    progress = startZipBackup();
    ASSERT_TRUE(progress);
    HWND bar = progressControl(progress, "prgBar");
    EXPECT_TRUE(askWhile(
        mainWindow, answers,
        [&] { return SendMessageA(bar, PBM_GETPOS, 0, 0) >= kProgressBarRange / 2; }, 120000))
        << "the bar never reached half-way";
    cancel = progressControl(progress, "cmdCancel");
    EXPECT_EQ(focusOf(progress), cancel);
    PostMessageA(cancel, WM_KEYDOWN, VK_ESCAPE, 0);
    askWhile(
        mainWindow, answers, [&] { return program.messageBoxOpen(); }, 30000);
    expectCancelledAndNothingLeft();

    // The same backup, left alone, completes.
    program.click("Command1");
    askWhile(
        mainWindow, answers, [&] { return program.messageBoxOpen(); }, 180000);
    const MessageBox done = program.waitMessageBox();
    EXPECT_EQ(done.title, "Done !") << done.prompt;
    done.answer(IDOK);
    EXPECT_NE(readFile(kEarlier).size(), 0u);
    EXPECT_EQ(folderItems(kDestination), std::vector<std::string>{"chathoard.zip"});
    EXPECT_FALSE(folderExists("C:\\chathoard"));

    EXPECT_EQ(answers.late, 0) << "of " << answers.asked << " asks";
    EXPECT_GT(answers.asked, 20);
}

// Uses the archive that the backup above completed.
TEST_F(LongWork, ARestoreCancelledWhileUnpackingLeavesDbAsItWas) {
    if (readFile(kEarlier).size() < (100u << 20))
        GTEST_SKIP() << "the ZIP backup above made no archive to restore";
    makeFolders("M:\\RestoreBig\\db");
    writeFile("M:\\RestoreBig\\db\\Messages.dat", "old messages");
    program.openFolder("Dir1", "m:\\");
    ASSERT_TRUE(waitFor([&] { return program.selectedText("Dir1") == "m:\\"; }));
    program.openFolder("Dir1", "RestoreBig");
    ASSERT_TRUE(program.waitLabel("ICQ Directory found !"));

    program.chooseMenu("mnuRestore");
    pickInOpenDialog(program, kRestorePicker, kEarlier);
    const MessageBox question = program.waitMessageBox(120000); // after the check
    ASSERT_EQ(question.title, "Restore a backup") << question.prompt;
    question.answer(IDOK);
    HWND progress = program.waitWindow("Chathoard.frmProgress", {}, 5000);
    ASSERT_TRUE(progress);
    HWND stage = progressControl(progress, "lblStage");
    ASSERT_TRUE(waitFor([&] { return windowText(stage).rfind("Unpacking", 0) == 0; }, 60000))
        << windowText(stage);
    HWND cancel = progressControl(progress, "cmdCancel");
    PostMessageA(progress, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(cancel), BN_CLICKED),
                 reinterpret_cast<LPARAM>(cancel));
    const MessageBox box = program.waitMessageBox(30000);
    EXPECT_TRUE(mentions(box.prompt, "was cancelled")) << box.title << ": " << box.prompt;
    box.answer(IDOK);
    EXPECT_EQ(readFile("M:\\RestoreBig\\db\\Messages.dat"), "old messages");
    EXPECT_EQ(folderItems("M:\\RestoreBig\\db"), std::vector<std::string>{"Messages.dat"});
    EXPECT_EQ(folderItems("M:\\RestoreBig"), std::vector<std::string>{"db"});
}

} // namespace
} // namespace ch::e2e
