// Contents the fuzzer found awkward for the ZIP writer, kept as plain tests.
#include <gtest/gtest.h>

#include "azip32/azip32.h"
#include "tests/unit/azip32_test_files.h"

namespace ch::azip::test {
namespace {

// A long run of one byte deflates to a few hundred bytes, which inflate reads in full while
// the output is still more than the check's 256 KiB buffer: the read-back check must go on
// inflating rather than call the data short. Sizes on both sides of the buffer and of the
// writer's 512 KiB block.
TEST(AwkwardZipContents, RunsOfOneByteAroundTheBufferSizesPassTheCheck) {
    TempDir dir;
    std::vector<std::string> paths;
    std::vector<std::pair<std::string, std::string>> entries;
    for (size_t size : {262'143u, 262'150u, 262'202u, 262'400u, 524'400u, 786'500u, 1'048'700u}) {
        const std::string name = "run" + std::to_string(size) + ".dat";
        writeFile(dir / name, std::string(size, 'N'));
        paths.push_back(dir / name);
        entries.emplace_back(name, dir / name);
    }
    const std::string archive = dir / "chathoard.zip";
    ASSERT_EQ(addZip(archive, writeList(dir, paths)), AZIP_OK);
    const CheckResult check = checkZip(dir, archive, entries);
    EXPECT_EQ(check.status, 0) << check.output;
}

} // namespace
} // namespace ch::azip::test
