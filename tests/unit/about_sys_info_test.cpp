// The System Information launcher: the registry look-ups, the value reader and the start.
#include <gtest/gtest.h>

#include "about/sys_info.h"
#include "platform/runtime_error.h"
#include "tests/support/fake_services.h"

namespace ch {
namespace {

using test::FsOp;

constexpr uint32_t HKLM = HKEY_LOCAL_MACHINE_ROOT;
const char* const kMsinfoKey = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
const char* const kLocationKey = "SOFTWARE\\Microsoft\\Shared Tools Location";
const char* const kTool = "C:\\Program Files\\Common Files\\Microsoft Shared\\MSInfo\\msinfo32.exe";
const char* const kToolFolder = "C:\\Program Files\\Common Files\\Microsoft Shared\\MSInfo";
const char* const kUnavailable = "System Information Is Unavailable At This Time";

class GetKeyValueTest : public ::testing::Test, protected test::FakeServices {
  protected:
    bool read(std::string& text) { return GetKeyValue(registry, HKLM, kMsinfoKey, "PATH", text); }
    void store(uint32_t type, const std::string& bytes) {
        registry.setValue(HKLM, kMsinfoKey, "PATH", type, bytes);
    }
};

TEST_F(GetKeyValueTest, OpensForReadingOnlyAndReadsFromAKeyThatAllowsNothingElse) {
    registry.setString(HKLM, kMsinfoKey, "PATH", kTool);
    registry.restrictKey(HKLM, kMsinfoKey, KEY_READ_ACCESS);
    std::string text;
    ASSERT_TRUE(read(text));
    EXPECT_EQ(text, kTool);
    ASSERT_EQ(registry.reads.size(), 1u);
    EXPECT_EQ(registry.reads[0].root, HKLM);
    EXPECT_EQ(registry.reads[0].subKey, kMsinfoKey);
    EXPECT_EQ(registry.reads[0].value, "PATH");
    EXPECT_EQ(KEY_READ_ACCESS, 0x20019u);
}

TEST_F(GetKeyValueTest, StringTrimDropsOnlyATerminatorInTheLastByte) {
    std::string text;
    store(test::kRegSzType, "C:\\x.exe"); // stored without a terminator
    ASSERT_TRUE(read(text));
    EXPECT_EQ(text, "C:\\x.exe");

    store(test::kRegSzType, std::string("C:\\x.exe\0", 9));
    ASSERT_TRUE(read(text));
    EXPECT_EQ(text, "C:\\x.exe");

    store(test::kRegSzType, std::string("ab\0\0", 4)); // only one byte is trimmed
    ASSERT_TRUE(read(text));
    EXPECT_EQ(text, std::string("ab\0", 3));
}

TEST_F(GetKeyValueTest, ReadsUpTo1024BytesAndTreatsLongerDataAsMissing) {
    std::string text;
    store(test::kRegSzType, std::string(1023, 'a') + '\0');
    ASSERT_TRUE(read(text));
    EXPECT_EQ(text, std::string(1023, 'a'));

    store(test::kRegSzType, std::string(1024, 'b') + '\0');
    text = "left over";
    EXPECT_FALSE(read(text));
    EXPECT_EQ(text, "");
}

TEST_F(GetKeyValueTest, MissingKeyOrValueGivesFalseAndEmptyText) {
    std::string text = "left over";
    EXPECT_FALSE(read(text));
    EXPECT_EQ(text, "");
    EXPECT_EQ(registry.reads.size(), 1u);

    registry.setString(HKLM, kMsinfoKey, "OTHER", "x");
    text = "left over";
    EXPECT_FALSE(read(text));
    EXPECT_EQ(text, "");
    EXPECT_EQ(registry.reads.size(), 2u);
}

TEST_F(GetKeyValueTest, DataOfNoBytesIsAnInvalidArgument) {
    store(test::kRegSzType, "");
    std::string text;
    try {
        read(text);
        FAIL() << "no failure raised";
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.number(), errInvalidProcedureCall);
    }
    EXPECT_EQ(registry.reads.size(), 1u);
}

TEST_F(GetKeyValueTest, DwordBecomesUnpaddedHexMostSignificantFirstAfterTheTrim) {
    const struct {
        std::string bytes;
        const char* text;
    } cases[] = {
        {std::string("\x78\x56\x34\x12", 4), "&h12345678"},
        {std::string("\x0D\x0C\x0B\x0A", 4), "&hABCD"},
        {std::string("\x02\x01\x00\x00", 4), "&h012"},
        {std::string("\x00\x00\x00\x00", 4), "&h000"},
        {std::string("\xFF\x10\x0F\x80", 4), "&h80F10FF"},
    };
    for (const auto& c : cases) {
        store(test::kRegDwordType, c.bytes);
        std::string text;
        ASSERT_TRUE(read(text));
        EXPECT_EQ(text, c.text);
    }
}

TEST_F(GetKeyValueTest, DwordDigitsFollowTheTextPassedIn) {
    registry.setDword(HKLM, kMsinfoKey, "PATH", 0x12345678);
    std::string text = "7";
    ASSERT_TRUE(read(text));
    EXPECT_EQ(text, "&h712345678");
    EXPECT_EQ(dwordText(""), "&h");
}

TEST_F(GetKeyValueTest, OtherTypesCountAsReadButLeaveTheTextAsItWas) {
    store(test::kRegExpandSzType, std::string("%SystemRoot%\\x.exe\0", 19));
    std::string text = "before";
    EXPECT_TRUE(read(text));
    EXPECT_EQ(text, "before");
}

class StartSysInfoTest : public GetKeyValueTest {
  protected:
    void start() { StartSysInfo(services); }
    void expectUnavailableOnly() {
        ASSERT_EQ(dialogs.shown.size(), 1u);
        EXPECT_EQ(dialogs.shown[0].prompt, kUnavailable);
        EXPECT_EQ(dialogs.shown[0].style, vbOKOnly);
        EXPECT_EQ(dialogs.shown[0].title, std::nullopt); // the application title
    }
    std::vector<std::string> searches() const { return fs.logOf({FsOp::ListEntries}); }
};

TEST_F(StartSysInfoTest, FirstLookUpStartsTheToolQuotedWithoutFileTestOrSecondLookUp) {
    registry.setString(HKLM, kMsinfoKey, "PATH", kTool);
    registry.setString(HKLM, kLocationKey, "MSINFO", "C:\\Elsewhere");
    processes.programs = {kTool, "C:\\Program.exe"};
    start();
    ASSERT_EQ(processes.starts.size(), 1u);
    EXPECT_EQ(processes.starts[0].commandLine, std::string("\"") + kTool + "\"");
    EXPECT_EQ(processes.starts[0].program, kTool); // not C:\Program.exe
    EXPECT_EQ(processes.starts[0].windowStyle, 1);
    EXPECT_EQ(registry.reads.size(), 1u);
    EXPECT_TRUE(searches().empty());
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(StartSysInfoTest, AQuotedPathIsStartedAsStored) {
    const std::string quoted = std::string("\"") + kTool + "\"";
    registry.setString(HKLM, kMsinfoKey, "PATH", quoted);
    processes.programs = {kTool};
    start();
    ASSERT_EQ(processes.starts.size(), 1u);
    EXPECT_EQ(processes.starts[0].commandLine, quoted);
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(StartSysInfoTest, QuoteClosesWhereTheStoredTextEnds) {
    // Two terminators: the trim keeps one, and the process starter would stop at it.
    registry.setValue(HKLM, kMsinfoKey, "PATH", test::kRegSzType,
                      std::string(kTool) + std::string("\0\0", 2));
    processes.programs = {kTool};
    start();
    ASSERT_EQ(processes.starts.size(), 1u);
    EXPECT_EQ(processes.starts[0].commandLine, std::string("\"") + kTool + "\"");
}

TEST_F(StartSysInfoTest, SecondLookUpStartsTheToolFromItsFolder) {
    registry.setString(HKLM, kLocationKey, "MSINFO", kToolFolder);
    const std::string tool = std::string(kToolFolder) + "\\MSINFO32.EXE";
    fs.addFile(tool);
    processes.programs = {tool};
    start();
    EXPECT_EQ(searches(),
              std::vector<std::string>{"list-entries " + std::string(kToolFolder) + "\\"});
    ASSERT_EQ(processes.starts.size(), 1u);
    EXPECT_EQ(processes.starts[0].commandLine, "\"" + tool + "\"");
    EXPECT_EQ(processes.starts[0].windowStyle, 1);
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(StartSysInfoTest, SeparatorIsAddedEvenAfterATrailingBackslash) {
    registry.setString(HKLM, kLocationKey, "MSINFO", "C:\\Tools\\");
    fs.addFile("C:\\Tools\\MSINFO32.EXE");
    processes.programs = {"C:\\Tools\\\\MSINFO32.EXE"};
    start();
    ASSERT_EQ(processes.starts.size(), 1u);
    EXPECT_EQ(processes.starts[0].commandLine, "\"C:\\Tools\\\\MSINFO32.EXE\"");
}

TEST_F(StartSysInfoTest, FolderWithoutTheToolGivesTheMessageAndStartsNothing) {
    registry.setString(HKLM, kLocationKey, "MSINFO", kToolFolder);
    fs.addFolder(std::string(kToolFolder) + "\\MSINFO32.EXE"); // a folder is no program
    start();
    EXPECT_EQ(searches().size(), 1u);
    EXPECT_TRUE(processes.starts.empty());
    expectUnavailableOnly();
}

TEST_F(StartSysInfoTest, NeitherLookUpGivesTheMessage) {
    start();
    EXPECT_EQ(registry.reads.size(), 2u);
    EXPECT_TRUE(processes.starts.empty());
    expectUnavailableOnly();
}

TEST_F(StartSysInfoTest, ExpandableStringCountsAsFoundThenTheEmptyStartFails) {
    registry.setValue(HKLM, kMsinfoKey, "PATH", test::kRegExpandSzType,
                      std::string("%ProgramFiles%\\msinfo32.exe\0", 28));
    registry.setString(HKLM, kLocationKey, "MSINFO", kToolFolder);
    start();
    EXPECT_EQ(registry.reads.size(), 1u);
    ASSERT_EQ(processes.starts.size(), 1u);
    EXPECT_EQ(processes.starts[0].commandLine, "");
    expectUnavailableOnly();
}

TEST_F(StartSysInfoTest, PathToAMissingProgramGivesTheMessage) {
    registry.setString(HKLM, kMsinfoKey, "PATH", "C:\\Gone\\msinfo32.exe");
    start();
    EXPECT_EQ(processes.starts.size(), 1u);
    expectUnavailableOnly();
}

TEST_F(StartSysInfoTest, ValueOfNoBytesGivesTheMessageWithoutTheSecondLookUp) {
    registry.setValue(HKLM, kMsinfoKey, "PATH", test::kRegSzType, "");
    registry.setString(HKLM, kLocationKey, "MSINFO", kToolFolder);
    start();
    EXPECT_EQ(registry.reads.size(), 1u);
    EXPECT_TRUE(processes.starts.empty());
    expectUnavailableOnly();
}

TEST_F(StartSysInfoTest, OversizedFirstValueFallsBackToTheSecondLookUp) {
    registry.setString(HKLM, kMsinfoKey, "PATH", std::string(1024, 'x'));
    registry.setString(HKLM, kLocationKey, "MSINFO", kToolFolder);
    const std::string tool = std::string(kToolFolder) + "\\MSINFO32.EXE";
    fs.addFile(tool);
    processes.programs = {tool};
    start();
    ASSERT_EQ(processes.starts.size(), 1u);
    EXPECT_EQ(processes.starts[0].program, tool);
    EXPECT_TRUE(dialogs.shown.empty());
}

} // namespace
} // namespace ch
