// A path holding a NUL byte (from a settings file of binary bytes) must fail as an invalid
// name, not reach the system cut short at the NUL and so name some other file or folder.
#include <gtest/gtest.h>

#include <functional>

#include "platform/runtime_error.h"
#include "platform/win32/win32_file_system.h"
#include "tests/support/error_of.h"
#include "tests/win32/win32_test_helpers.h"

namespace ch {
namespace {

using test::errorOf;

TEST(Win32AwkwardPaths, APathWithANulIsAnInvalidNameNotAShorterPath) {
    Win32FileSystem fs;
    test::TempFolder dir;
    test::writeFile(dir / "E", "a file the cut-short path would name");
    const std::string withNul = dir / std::string("E\0:\\chathoard", 13);

    EXPECT_EQ(errorOf([&] { fs.makeFolder(withNul); }), errBadFileNameOrNumber);
    EXPECT_FALSE(fs.folderExists(withNul));
    EXPECT_EQ(errorOf([&] { fs.copyFile(dir / "E", withNul + "\\a.dat"); }),
              errBadFileNameOrNumber);
    EXPECT_EQ(errorOf([&] { fs.writeAll(withNul, "x"); }), errBadFileNameOrNumber);
    EXPECT_EQ(errorOf([&] { fs.deleteFile(withNul); }), errBadFileNameOrNumber);
    EXPECT_EQ(test::readFile(dir / "E"), "a file the cut-short path would name");
}

} // namespace
} // namespace ch
