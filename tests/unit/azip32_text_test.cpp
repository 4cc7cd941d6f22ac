// Reading the list file and naming entries.
#include <gtest/gtest.h>

#include "azip32/entry_name.h"
#include "azip32/failure.h"
#include "azip32/file_io.h"
#include "azip32/list_file.h"
#include "tests/unit/azip32_test_files.h"

namespace ch::azip::test {
namespace {

using Paths = std::vector<std::string>;

TEST(ListFile, LineEndsAndBlankLines) {
    EXPECT_EQ(parseListFile(""), Paths{});
    EXPECT_EQ(parseListFile("\r\n\n \t\r\n"), Paths{});
    EXPECT_EQ(parseListFile("C:\\chathoard\\a.dat\r\nC:\\chathoard\\a.idx\r\n"),
              (Paths{"C:\\chathoard\\a.dat", "C:\\chathoard\\a.idx"}));
    EXPECT_EQ(parseListFile("a\nb\r\n\r\nc"), (Paths{"a", "b", "c"}));
}

TEST(ListFile, LinesAreOtherwiseTakenAsWritten) {
    // Spaces belong to the path; only the line end is removed.
    EXPECT_EQ(parseListFile(" C:\\my db\\x.dat \r\n"), Paths{" C:\\my db\\x.dat "});
    EXPECT_EQ(parseListFile("C:\\\\a.dat\r\r\n"), Paths{"C:\\\\a.dat\r"});
    EXPECT_EQ(parseListFile("D:\\caf\xE9.dat"), Paths{"D:\\caf\xE9.dat"});
}

TEST(ListFile, UnreadableListFileHasItsOwnCode) {
    TempDir dir;
    try {
        readListFile(dir / "missing.dat");
        FAIL() << "no failure";
    } catch (const Failure& f) {
        EXPECT_EQ(f.code(), AZIP_ERR_LIST_FILE);
        EXPECT_NE(std::string(f.what()).find("missing.dat"), std::string::npos);
    }
    EXPECT_THROW(readListFile(dir.path()), Failure); // a folder
}

TEST(EntryName, BareNameAfterEitherSeparator) {
    EXPECT_EQ(bareName("C:\\chathoard\\a.dat", isSystemLeadByte), "a.dat");
    EXPECT_EQ(bareName("C:\\\\a.dat", isSystemLeadByte), "a.dat");
    EXPECT_EQ(bareName("/tmp/x/b.idx", isSystemLeadByte), "b.idx");
    EXPECT_EQ(bareName("C:/mixed\\c.dat", isSystemLeadByte), "c.dat");
    EXPECT_EQ(bareName("plain.dat", isSystemLeadByte), "plain.dat");
}

// Code page 932: lead bytes 0x81-0x9F and 0xE0-0xFC; 0xA1-0xDF are one-byte katakana.
bool cp932LeadByte(unsigned char b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

TEST(EntryName, BareNameKeepsDoubleByteCharactersWhole) {
    // "表" is 0x95 0x5C: its second byte is not a separator, in the name or in a folder.
    EXPECT_EQ(bareName("C:\\chathoard\\\x95\x5C.dat", cp932LeadByte), "\x95\x5C.dat");
    EXPECT_EQ(bareName("C:\\\x95\x5C\\a.dat", cp932LeadByte), "a.dat");
    EXPECT_EQ(bareName("C:\\\x95\x5C", cp932LeadByte), "\x95\x5C");
    // A one-byte katakana before 0x5C leaves it a separator; so does a single-byte code page.
    EXPECT_EQ(bareName("C:\\\xB1\x5C"
                       "a.dat",
                       cp932LeadByte),
              "a.dat");
    EXPECT_EQ(bareName("C:\\\x95\x5C.dat", isSystemLeadByte), ".dat");
    // A lead byte at the very end has no trail byte to take.
    EXPECT_EQ(bareName("C:\\x\x95", cp932LeadByte), "x\x95");
}

TEST(EntryName, Utf8IsKeptAndAnythingElseReadAsLatin1) {
    EXPECT_EQ(latin1OrUtf8ToUtf8("plain.dat"), "plain.dat");
    EXPECT_EQ(latin1OrUtf8ToUtf8("caf\xC3\xA9.dat"), "caf\xC3\xA9.dat");
    EXPECT_EQ(latin1OrUtf8ToUtf8("caf\xE9.dat"), "caf\xC3\xA9.dat");
    EXPECT_EQ(latin1OrUtf8ToUtf8("\xFF"), "\xC3\xBF");
    // Not UTF-8: an overlong form, a surrogate, a cut-off sequence.
    EXPECT_EQ(latin1OrUtf8ToUtf8("\xC0\x80"), "\xC3\x80\xC2\x80");
    EXPECT_EQ(latin1OrUtf8ToUtf8("\xED\xA0\x80"), "\xC3\xAD\xC2\xA0\xC2\x80");
    EXPECT_EQ(latin1OrUtf8ToUtf8("a\xE2\x82"), "a\xC3\xA2\xC2\x82");
    EXPECT_TRUE(isPlainAscii("a.dat"));
    EXPECT_FALSE(isPlainAscii("caf\xC3\xA9"));
}

} // namespace
} // namespace ch::azip::test
