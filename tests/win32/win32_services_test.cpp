// The registry reader, process start, shell and message box on the real Win32 API.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "about/sys_info.h"
#include "platform/runtime_error.h"
#include "platform/win32/win32_dialogs.h"
#include "platform/win32/win32_file_system.h"
#include "platform/win32/win32_processes.h"
#include "platform/win32/win32_program_folder.h"
#include "platform/win32/win32_registry.h"
#include "platform/win32/win32_shell.h"
#include "tests/win32/win32_test_helpers.h"

namespace ch {
namespace {

using test::TempFolder;
using ::testing::HasSubstr;

constexpr uint32_t kCurrentUser = 0x80000001u;
constexpr const char* kTestKey = "Software\\Chathoard Tests";

class Win32RegistryTest : public ::testing::Test {
  protected:
    void SetUp() override {
        HKEY key;
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kTestKey, 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        set(key, "PATH", REG_SZ, std::string("C:\\Tools\\MSINFO32.EXE") + '\0');
        set(key, "Number", REG_DWORD, std::string("\x78\x56\x34\x12", 4));
        set(key, "Fits", REG_SZ, std::string(1023, 'a') + '\0');
        set(key, "TooBig", REG_SZ, std::string(1024, 'a') + '\0');
        RegCloseKey(key);
    }
    void TearDown() override { RegDeleteKeyA(HKEY_CURRENT_USER, kTestKey); }

    static void set(HKEY key, const char* name, DWORD type, const std::string& data) {
        RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(data.data()),
                       static_cast<DWORD>(data.size()));
    }

    Win32Registry registry;
};

TEST_F(Win32RegistryTest, ReadsValuesWithReadOnlyAccess) {
    RegistryValue value = registry.readString(kCurrentUser, kTestKey, "PATH");
    EXPECT_EQ(value.status, 0);
    EXPECT_EQ(value.type, 1u);
    EXPECT_EQ(value.bytes, std::string("C:\\Tools\\MSINFO32.EXE") + '\0');
    value = registry.readString(kCurrentUser, kTestKey, "Number");
    EXPECT_EQ(value.status, 0);
    EXPECT_EQ(value.type, 4u);
    EXPECT_EQ(value.bytes, std::string("\x78\x56\x34\x12", 4));
}

TEST_F(Win32RegistryTest, DataOfExactlyTheBufferSizeFitsAndOneByteMoreDoesNot) {
    RegistryValue value = registry.readString(kCurrentUser, kTestKey, "Fits");
    EXPECT_EQ(value.status, 0);
    EXPECT_EQ(value.bytes.size(), 1024u);
    EXPECT_EQ(registry.readString(kCurrentUser, kTestKey, "TooBig").status, ERROR_MORE_DATA);
    EXPECT_EQ(registry.readString(kCurrentUser, kTestKey, "Missing").status, ERROR_FILE_NOT_FOUND);
}

TEST_F(Win32RegistryTest, MissingKeyIsAReason) {
    const RegistryValue value =
        registry.readString(kCurrentUser, "Software\\Chathoard Tests\\Nothing", "PATH");
    EXPECT_NE(value.status, 0);
    EXPECT_TRUE(value.bytes.empty());
}

TEST(Win32RegistryMachineTest, ReadsTheMachineHive) {
    Win32Registry registry;
    EXPECT_EQ(registry
                  .readString(HKEY_LOCAL_MACHINE_ROOT,
                              "SOFTWARE\\Microsoft\\Windows NT\\"
                              "CurrentVersion",
                              "SystemRoot")
                  .status,
              0);
}

// System Information's own look-up under HKEY_LOCAL_MACHINE, whose predefined handle is
// sign-extended on 64-bit Windows: a zero-extended root would fail to open it there.
TEST(Win32RegistryMachineTest, GetKeyValueFindsTheSystemInformationPath) {
    constexpr const char* kMsinfoKey = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kMsinfoKey, 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const std::string path = "C:\\Tools\\msinfo32.exe";
    RegSetValueExA(key, "PATH", 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                   static_cast<DWORD>(path.size() + 1));
    RegCloseKey(key);
    Win32Registry registry;
    std::string value;
    EXPECT_TRUE(GetKeyValue(registry, HKEY_LOCAL_MACHINE_ROOT, kMsinfoKey, "PATH", value));
    EXPECT_EQ(value, path);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, kMsinfoKey);
}

class Win32ProcessesTest : public ::testing::Test {
  protected:
    Win32Processes processes;
    TempFolder dir;
};

TEST_F(Win32ProcessesTest, StartsAProgramWithSpacesInItsQuotedPathWithoutWaiting) {
    CreateDirectoryA((dir / "Program Files").c_str(), nullptr);
    const std::string program = dir / "Program Files\\child.exe";
    ASSERT_TRUE(CopyFileA(test::testProgramPath().c_str(), program.c_str(), FALSE));
    const std::string file = dir / "held.dat";
    test::writeFile(file, "");
    // The child holds the file until told to let go: start must return before that.
    SetEnvironmentVariableA("CHATHOARD_TEST_HOLD_FILE", file.c_str());
    processes.start("\"" + program + "\"", 1);
    SetEnvironmentVariableA("CHATHOARD_TEST_HOLD_FILE", nullptr);
    ASSERT_TRUE(test::waitForFile(file + ".held", 30000));
    EXPECT_EQ(test::readFile(file + ".held"), "1") << "started with SW_SHOWNORMAL";
    // Still running, so start did not wait for it: the file is still held.
    HANDLE probe = CreateFileA(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               0, nullptr);
    EXPECT_EQ(probe, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    if (probe != INVALID_HANDLE_VALUE)
        CloseHandle(probe);
    test::writeFile(file + ".release", "");
    // The child's program file stays in use until it ends.
    for (int i = 0; i < 500 && !DeleteFileA(program.c_str()); ++i)
        Sleep(20);
}

TEST_F(Win32ProcessesTest, MissingProgramIsFileNotFoundAndEmptyLineIsInvalid) {
    try {
        processes.start(dir / "MSINFO32.EXE", 1);
        FAIL() << "started";
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.number(), errFileNotFound);
        EXPECT_THAT(e.description(), HasSubstr("MSINFO32.EXE"));
    }
    try {
        processes.start(dir / "nowhere\\MSINFO32.EXE", 1);
        FAIL() << "started";
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.number(), errFileNotFound);
    }
    for (const char* line : {"", "   "}) {
        try {
            processes.start(line, 1);
            FAIL() << "started '" << line << "'";
        } catch (const RuntimeError& e) {
            EXPECT_EQ(e.number(), errInvalidProcedureCall);
        }
    }
}

TEST(Win32ShellTest, MissingDocumentIsFileNotFound) {
    TempFolder dir;
    Win32Shell shell;
    const ShellOutcome outcome = shell.open(0, dir / "chathoard.chm");
    EXPECT_FALSE(outcome.opened);
    EXPECT_EQ(outcome.reason, 2);
}

TEST(Win32ProgramFolderTest, IsTheFolderOfTheProgramFile) {
    const std::string folder = programFolder();
    const std::string program = test::testProgramPath();
    ASSERT_FALSE(folder.empty());
    EXPECT_NE(folder.back(), '\\');
    ASSERT_GT(program.size(), folder.size() + 1);
    EXPECT_EQ(_strnicmp(program.c_str(), (folder + "\\").c_str(), folder.size() + 1), 0);
    EXPECT_EQ(program.find('\\', folder.size() + 1), std::string::npos) << program;
}

// Finds this thread's message box by its title, reads it and presses a button.
struct BoxSeen {
    std::string text;
    bool found = false;
};

BoxSeen answerBox(const char* title, int button, const std::atomic<bool>& gone) {
    BoxSeen seen;
    for (int i = 0; i < 500 && !seen.found && !gone; ++i) {
        HWND box = FindWindowA("#32770", title);
        if (box) {
            char text[512] = {};
            GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
            seen.text = text;
            seen.found = true;
            PostMessageA(box, WM_COMMAND, button, 0);
        } else {
            Sleep(20);
        }
    }
    return seen;
}

TEST(Win32DialogsTest, ShowsTheBoxWithTheAppTitleAndReturnsTheAnswer) {
    Win32Dialogs dialogs("Chathoard Dialog Test");
    BoxSeen seen;
    std::atomic<bool> returned{false};
    std::thread answerer([&] { seen = answerBox("Chathoard Dialog Test", IDRETRY, returned); });
    int answer = dialogs.msgBox("Please insert a diskette or CD-ROM", vbCritical | vbRetryCancel);
    returned = true;
    answerer.join();
    if (answer <= 0 && !seen.found)
        GTEST_SKIP() << "no display for message boxes";
    EXPECT_TRUE(seen.found);
    EXPECT_EQ(seen.text, "Please insert a diskette or CD-ROM");
    EXPECT_EQ(answer, vbRetry);

    returned = false;
    std::thread second([&] { seen = answerBox("File not Found", IDOK, returned); });
    answer = dialogs.msgBox("No CHATHOARD.CHM file found", vbExclamation, "File not Found");
    returned = true;
    second.join();
    EXPECT_TRUE(seen.found);
    EXPECT_EQ(answer, vbOK);
}

} // namespace
} // namespace ch
