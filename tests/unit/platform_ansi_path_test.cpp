#include "platform/ansi_path.h"

#include <gtest/gtest.h>

#include "tests/support/code_pages.h"

namespace ch {
namespace {

constexpr LeadByteTest cp932LeadByte = test::isCodePage932LeadByte;
constexpr LeadByteTest singleByte = test::isNeverLeadByte;

// "表" is 0x95 0x5C in code page 932; its second byte must not cut the path.
TEST(AnsiPath, TheSecondByteOfADoubleByteCharacterIsNoSeparator) {
    const std::string name = "C:\\chathoard\\\x95\x5C.dat";
    EXPECT_EQ(lastSeparator(name, "\\/:", cp932LeadByte), 12u);
    EXPECT_EQ(lastSeparator(name, "\\/:", singleByte), 14u);
    const std::string folder = "C:\\\x95\x5C";
    EXPECT_EQ(lastSeparator(folder, "\\", cp932LeadByte), 2u);
    EXPECT_EQ(lastSeparator(folder + "\\", "\\", cp932LeadByte), 5u);
    // One-byte katakana and plain text keep 0x5C a separator.
    EXPECT_EQ(lastSeparator("C:\\\xB1\x5C"
                            "a",
                            "\\", cp932LeadByte),
              4u);
    EXPECT_EQ(lastSeparator("a.dat", "\\/:", cp932LeadByte), std::string::npos);
    EXPECT_EQ(lastSeparator("C:a.dat", "\\/:", cp932LeadByte), 1u);
}

} // namespace
} // namespace ch
