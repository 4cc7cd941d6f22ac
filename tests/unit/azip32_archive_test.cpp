// Archives written through the four entries, judged by independent readers.
#include <gtest/gtest.h>

#include "tests/unit/azip32_test_files.h"

namespace ch::azip::test {
namespace {

using Entries = std::vector<std::pair<std::string, std::string>>;

class ArchiveTest : public ::testing::Test {
  protected:
    // Writes the files, packs them in this order and checks the archive with every reader.
    void packAndCheck(const std::vector<std::pair<std::string, std::string>>& files) {
        std::vector<std::string> paths;
        Entries entries;
        int64_t mtime = 1104537600; // 2005-01-01, then a minute apart
        for (const auto& [name, bytes] : files) {
            writeFile(src / name, bytes, mtime += 61);
            paths.push_back(src / name);
            entries.emplace_back(name, src / name);
        }
        ASSERT_EQ(addZip(out / "chathoard.zip", writeList(out, paths)), AZIP_OK);
        const CheckResult check = checkZip(out, out / "chathoard.zip", entries);
        EXPECT_EQ(check.status, 0) << check.output;
        archive = readFile(out / "chathoard.zip");
    }

    TempDir src;
    TempDir out;
    std::string archive;
};

TEST_F(ArchiveTest, EmptyListGivesAValidEmptyArchive) {
    packAndCheck({});
    EXPECT_EQ(archive.size(), 22u); // the end record alone
}

TEST_F(ArchiveTest, EmptyFileIsStoredWithNoData) {
    packAndCheck({{"a.idx", ""}});
}

TEST_F(ArchiveTest, ManySmallFilesOfEveryKindKeepListOrder) {
    std::vector<std::pair<std::string, std::string>> files;
    for (uint32_t i = 0; i < 150; ++i) {
        const std::string name =
            std::to_string(1000 + (i * 7919) % 1000) + (i % 2 ? ".dat" : ".idx");
        files.emplace_back(name, i % 5 == 0 ? noise(i * 37, i) : chat(i * 311, i));
    }
    packAndCheck(files);
}

// Files larger than one compression block are cut into blocks deflated in parallel and
// joined; sizes on, just past and just short of block edges catch joining faults.
TEST_F(ArchiveTest, FilesSpanningSeveralBlocksRoundTrip) {
    const size_t block = 512 * 1024;
    packAndCheck({{"big.dat", chat(5 * block + 12345, 1)},
                  {"edge.dat", chat(2 * block, 2)},
                  {"short.dat", chat(block - 1, 3)},
                  {"mixed.dat", chat(block, 4) + noise(block, 5) + chat(block / 2, 6)},
                  {"after.idx", chat(1000, 7)}});
}

// Each block is primed with the end of the block before it, so repeats across a block
// edge still compress: without priming every block would hold the 20 KB pattern again. (Even
// primed, a match covers at most 258 bytes, so the repeats cost about as much as the pattern.)
TEST_F(ArchiveTest, BlocksSeeTheDataBeforeThem) {
    const std::string pattern = noise(20000, 3);
    std::string repeated;
    while (repeated.size() < 6 * 512 * 1024)
        repeated += pattern;
    packAndCheck({{"repeat.dat", repeated}});
    EXPECT_LT(archive.size(), 4 * pattern.size()); // about 2x with priming, 8x without
}

TEST_F(ArchiveTest, IncompressibleFilesAreStoredAndCompressibleOnesDeflated) {
    const size_t block = 512 * 1024;
    packAndCheck({{"noise.dat", noise(3 * block + 7, 9)}, {"text.dat", chat(100000, 9)}});
    // Method of each local header: the first entry starts the archive.
    EXPECT_EQ(archive[8], 0);
    const size_t second = archive.find("PK\x03\x04", 30 + 9 + 3 * block);
    ASSERT_NE(second, std::string::npos);
    EXPECT_EQ(archive[second + 8], 8);
    EXPECT_LT(archive.size(), 3 * block + 7 + 100000 / 2);
}

TEST_F(ArchiveTest, NonAsciiNamesAreUtf8WithTheFlagSetOnlyForThem) {
    // Natively a name that is not UTF-8 is read as Latin-1: "caf\xE9" is café.
    writeFile(src / "caf\xE9.dat", chat(3000, 1), 1104537600);
    writeFile(src / "\xD0\xBF\xD1\x80\xD0\xB8.idx", chat(2000, 2), 1104537700);
    writeFile(src / "plain.dat", chat(1000, 3), 1104537800);
    ASSERT_EQ(addZip(out / "x.zip",
                     writeList(out, {src / "caf\xE9.dat", src / "\xD0\xBF\xD1\x80\xD0\xB8.idx",
                                     src / "plain.dat"})),
              AZIP_OK);
    const CheckResult check =
        checkZip(out, out / "x.zip",
                 {{"caf\xC3\xA9.dat", src / "caf\xE9.dat"},
                  {"\xD0\xBF\xD1\x80\xD0\xB8.idx", src / "\xD0\xBF\xD1\x80\xD0\xB8.idx"},
                  {"plain.dat", src / "plain.dat"}});
    EXPECT_EQ(check.status, 0) << check.output;
}

TEST_F(ArchiveTest, ListFileLinesMayEndInLfAndHoldBlankLines) {
    writeFile(src / "a.dat", chat(500, 1), 1104537600);
    writeFile(src / "b.idx", chat(500, 2), 1104537600);
    const std::string list = out / "list.txt";
    writeFile(list, "\r\n" + (src / "a.dat") + "\n   \n\n" + (src / "b.idx"));
    ASSERT_EQ(addZip(out / "x.zip", list), AZIP_OK);
    const CheckResult check =
        checkZip(out, out / "x.zip", {{"a.dat", src / "a.dat"}, {"b.idx", src / "b.idx"}});
    EXPECT_EQ(check.status, 0) << check.output;
}

TEST_F(ArchiveTest, SmallArchivesCarryNoZip64Records) {
    packAndCheck({{"a.dat", chat(70000, 1)}, {"b.dat", noise(100, 2)}});
    EXPECT_EQ(archive.find("PK\x06\x06"), std::string::npos);
    EXPECT_EQ(archive.find("PK\x06\x07"), std::string::npos);
}

TEST_F(ArchiveTest, ANewRunReplacesTheEarlierArchive) {
    packAndCheck({{"a.dat", chat(5000, 1)}});
    writeFile(src / "b.dat", chat(7000, 2), 1104537600);
    ASSERT_EQ(addZip(out / "chathoard.zip", writeList(out, {src / "b.dat"})), AZIP_OK);
    const CheckResult check = checkZip(out, out / "chathoard.zip", {{"b.dat", src / "b.dat"}});
    EXPECT_EQ(check.status, 0) << check.output;
}

// Opt-in (slow): more than 65,535 entries need the ZIP64 end records.
TEST_F(ArchiveTest, ManyEntriesUseZip64EndRecords) {
    if (!std::getenv("AZIP32_SLOW_TESTS"))
        GTEST_SKIP() << "set AZIP32_SLOW_TESTS=1 to run";
    std::vector<std::string> paths;
    Entries entries;
    for (int i = 0; i < 66000; ++i) {
        const std::string name = std::to_string(i) + ".dat";
        writeFile(src / name, i % 100 ? "" : chat(200, i), 1104537600);
        paths.push_back(src / name);
        entries.emplace_back(name, src / name);
    }
    ASSERT_EQ(addZip(out / "many.zip", writeList(out, paths)), AZIP_OK);
    const CheckResult check = checkZip(out, out / "many.zip", entries);
    EXPECT_EQ(check.status, 0) << check.output;
    EXPECT_NE(readFile(out / "many.zip").find("PK\x06\x06"), std::string::npos);
}

// Opt-in (slow, needs about 5 GB of temporary space): one entry past 4 GiB.
TEST_F(ArchiveTest, EntryPastFourGibUsesZip64) {
    if (!std::getenv("AZIP32_SLOW_TESTS"))
        GTEST_SKIP() << "set AZIP32_SLOW_TESTS=1 to run";
    const std::string big = src / "big.dat";
    writeFile(big, chat(1000, 1));
    std::filesystem::resize_file(big, (4ull << 30) + 4096); // sparse: mostly zeros
    writeFile(src / "small.dat", chat(1000, 2), 1104537600);
    ASSERT_EQ(addZip(out / "big.zip", writeList(out, {big, src / "small.dat"})), AZIP_OK);
    const CheckResult check =
        checkZip(out, out / "big.zip", {{"big.dat", big}, {"small.dat", src / "small.dat"}});
    EXPECT_EQ(check.status, 0) << check.output;
}

} // namespace
} // namespace ch::azip::test
