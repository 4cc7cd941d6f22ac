// What addZIP does when something goes wrong: a distinct code, no temporary file left, and
// an earlier archive of the same name untouched.
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <set>
#include <sys/resource.h>
#include <zlib.h>

#include "azip32/archive_check.h"
#include "azip32/archive_writer.h"
#include "azip32/failure.h"
#include "azip32/make_archive.h"
#include "tests/unit/azip32_test_files.h"

namespace ch::azip::test {
namespace {

class FailureTest : public ::testing::Test {
  protected:
    void SetUp() override {
        writeFile(src / "a.dat", chat(300000, 1), 1104537600);
        writeFile(src / "a.idx", chat(4000, 2), 1104537600);
        // An archive from an earlier run, which a failed run must leave exactly as it was.
        writeFile(out / "chathoard.zip", "earlier archive");
        list = writeList(out, {src / "a.dat", src / "a.idx"});
    }

    void expectEarlierArchiveUntouched() {
        EXPECT_EQ(readFile(out / "chathoard.zip"), "earlier archive");
        auto names = out.names();
        std::sort(names.begin(), names.end());
        EXPECT_EQ(names, (std::vector<std::string>{"chathoard.zip", "icqtemp.dat"}))
            << "a temporary file was left behind";
    }

    // A real write failure from the system: a file size limit makes writes past it fail, as a
    // full disk would, at whatever point the archive reaches it.
    ArchiveResult makeArchiveWithFileSizeLimit(rlim_t limit) {
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit old{};
        getrlimit(RLIMIT_FSIZE, &old);
        rlimit small = old;
        small.rlim_cur = limit;
        EXPECT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
        ArchiveResult result = makeArchive(out / "chathoard.zip", list);
        setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, oldHandler);
        return result;
    }

    TempDir src;
    TempDir out;
    std::string list;
};

TEST_F(FailureTest, NamesNotSetOrEmptyAreRefused) {
    addZIP_Initialise();
    EXPECT_EQ(addZIP(), AZIP_ERR_NOT_SET);
    EXPECT_EQ(addZIP_ArchiveName((out / "chathoard.zip").c_str()), AZIP_OK);
    EXPECT_EQ(addZIP(), AZIP_ERR_NOT_SET);
    EXPECT_EQ(addZIP_IncludeListFile(""), AZIP_ERR_NOT_SET);
    EXPECT_EQ(addZIP(), AZIP_ERR_NOT_SET);
    EXPECT_EQ(addZIP_IncludeListFile(nullptr), AZIP_ERR_NOT_SET);
    EXPECT_EQ(addZIP(), AZIP_ERR_NOT_SET);
    // Initialise forgets names set before.
    EXPECT_EQ(addZIP_IncludeListFile(list.c_str()), AZIP_OK);
    addZIP_Initialise();
    EXPECT_EQ(addZIP(), AZIP_ERR_NOT_SET);
    expectEarlierArchiveUntouched();
}

TEST_F(FailureTest, TheLibraryKeepsItsOwnCopyOfEveryName) {
    std::string archive = out / "new.zip";
    std::string listCopy = list;
    addZIP_Initialise();
    addZIP_ArchiveName(archive.c_str());
    addZIP_IncludeListFile(listCopy.c_str());
    // The caller releases (here: overwrites) its text as soon as the calls return.
    std::fill(archive.begin(), archive.end(), 'x');
    std::fill(listCopy.begin(), listCopy.end(), 'y');
    ASSERT_EQ(addZIP(), AZIP_OK);
    EXPECT_TRUE(std::filesystem::exists(out / "new.zip"));
    // The names stay set for the next call.
    std::filesystem::remove(out / "new.zip");
    ASSERT_EQ(addZIP(), AZIP_OK);
    EXPECT_TRUE(std::filesystem::exists(out / "new.zip"));
}

TEST_F(FailureTest, MissingListFile) {
    EXPECT_EQ(addZip(out / "chathoard.zip", out / "missing.dat"), AZIP_ERR_LIST_FILE);
    expectEarlierArchiveUntouched();
}

TEST_F(FailureTest, MissingOrUnreadableListedFile) {
    writeList(out, {src / "a.dat", src / "gone.idx"});
    const ArchiveResult missing = makeArchive(out / "chathoard.zip", list);
    EXPECT_EQ(missing.code, AZIP_ERR_SOURCE_FILE);
    EXPECT_NE(missing.detail.find("gone.idx"), std::string::npos) << missing.detail;
    expectEarlierArchiveUntouched();

    writeList(out, {src.path()}); // a folder, not a file
    EXPECT_EQ(addZip(out / "chathoard.zip", list), AZIP_ERR_SOURCE_FILE);
    expectEarlierArchiveUntouched();
}

TEST_F(FailureTest, ArchiveFolderMissing) {
    EXPECT_EQ(addZip(out / "no such folder/chathoard.zip", list), AZIP_ERR_WRITE);
    expectEarlierArchiveUntouched();
}

TEST_F(FailureTest, WriteFailureMidArchiveLeavesNothingBehind) {
    writeFile(src / "a.dat", noise(600000, 1), 1104537600);
    for (const rlim_t limit : {rlim_t{0}, rlim_t{100}, rlim_t{300000}}) {
        SCOPED_TRACE(limit);
        const ArchiveResult result = makeArchiveWithFileSizeLimit(limit);
        EXPECT_EQ(result.code, AZIP_ERR_WRITE) << result.detail;
        expectEarlierArchiveUntouched();
    }
    // Once there is room again the same call succeeds.
    EXPECT_EQ(addZip(out / "chathoard.zip", list), AZIP_OK);
}

// An incompressible file is written twice: deflated, then stored over it. A limit past the
// deflated part's first megabyte but short of the stored copy's makes the second writing
// fail, which is still the archive's failure, not the source's.
TEST_F(FailureTest, WriteFailureWhileStoringAnIncompressibleFileIsAWriteFailure) {
    writeFile(src / "a.dat", noise(1500000, 1), 1104537600);
    const ArchiveResult result = makeArchiveWithFileSizeLimit(600000);
    EXPECT_EQ(result.code, AZIP_ERR_WRITE) << result.detail;
    expectEarlierArchiveUntouched();
}

TEST_F(FailureTest, ResultTextsAreDistinctPlainWords) {
    std::set<std::string> texts;
    for (int32_t code = AZIP_OK; code <= AZIP_ERR_INTERNAL; ++code)
        texts.insert(azipResultText(code));
    EXPECT_EQ(texts.size(), 7u);
    EXPECT_STREQ(azipResultText(99), "the archiving library reported an unknown error");
}

// The read-back check must notice damage between writing and reading back.
class CheckTest : public ::testing::Test {
  protected:
    void SetUp() override {
        writeFile(src / "a.dat", chat(800000, 1), 1104537600);
        writeFile(src / "b.dat", noise(5000, 2), 1104537600);
        std::filesystem::remove(path);
        File file = File::createNew(path);
        entries = writeArchive(file, {src / "a.dat", src / "b.dat"}, 2);
        file.close();
        ASSERT_EQ(entries.size(), 2u);
        checkArchive(path, entries, 2); // sound as written
    }

    // Flips one byte of the archive and returns the check's verdict.
    std::string checkAfterFlipping(uint64_t offset) {
        std::string bytes = readFile(path);
        bytes[offset] = static_cast<char>(bytes[offset] ^ 0x20);
        writeFile(path, bytes);
        try {
            checkArchive(path, entries, 2);
        } catch (const Failure& f) {
            EXPECT_EQ(f.code(), AZIP_ERR_CHECK);
            return f.what();
        }
        return "passed";
    }

    TempDir src;
    const std::string path = src / "x.zip";
    std::vector<EntryRecord> entries;
};

TEST_F(CheckTest, DamagedDeflateData) {
    EXPECT_NE(checkAfterFlipping(entries[0].localOffset + 30 + 5 + 9 + 1000), "passed");
}

TEST_F(CheckTest, DamagedStoredData) {
    EXPECT_EQ(entries[1].method, 0);
    EXPECT_NE(checkAfterFlipping(entries[1].localOffset + 30 + 5 + 9 + 10), "passed");
}

TEST_F(CheckTest, DamagedHeadersAndEndRecord) {
    const uint64_t size = readFile(path).size();
    EXPECT_NE(checkAfterFlipping(entries[1].localOffset + 14), "passed"); // local CRC
    SetUp();
    EXPECT_NE(checkAfterFlipping(size - 22 - 46 - 5 - 9 + 16), "passed"); // central CRC
    SetUp();
    EXPECT_NE(checkAfterFlipping(size - 22 + 10), "passed"); // entry count
}

// Readers that go front to back take the sizes from the local headers.
TEST_F(CheckTest, LocalSizesThatDifferFromTheDirectory) {
    EXPECT_NE(checkAfterFlipping(entries[0].localOffset + 18), "passed"); // compressed size
    SetUp();
    EXPECT_NE(checkAfterFlipping(entries[1].localOffset + 22), "passed"); // uncompressed size
}

// A local header with its sizes in a ZIP64 extra field, as an entry of 4 GiB or more has,
// built by hand around a small stored entry.
TEST(CheckZip64Local, ExtraFieldSizesMustMatchTheDirectory) {
    TempDir dir;
    const std::string path = dir / "x.zip";
    const std::string data = "hello";
    EntryRecord e;
    e.name = "big.dat";
    e.method = kMethodStored;
    e.crc = static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(data.data()), 5));
    e.compressedSize = e.uncompressedSize = data.size();
    e.zip64Local = true;
    const std::string entry = localHeader(e) + data;
    const std::string central = centralHeader(e);
    const std::string archive = entry + central + endRecords(1, entry.size(), central.size());
    writeFile(path, archive);
    EXPECT_NO_THROW(checkArchive(path, {e}, 1));

    EntryRecord without = e;
    without.zip64Local = false;
    EXPECT_THROW(checkArchive(path, {without}, 1), Failure);
    const size_t zip64Sizes = 30 + e.name.size() + 4;
    for (const size_t at : {zip64Sizes, zip64Sizes + 8}) { // uncompressed, compressed
        std::string damaged = archive;
        damaged[at] ^= 1;
        writeFile(path, damaged);
        EXPECT_THROW(checkArchive(path, {e}, 1), Failure) << at;
    }
}

TEST_F(CheckTest, RecordsThatDifferFromWhatWasWritten) {
    std::vector<EntryRecord> wrong = entries;
    wrong[0].crc ^= 1;
    EXPECT_THROW(checkArchive(path, wrong, 2), Failure);
    wrong = entries;
    wrong.pop_back();
    EXPECT_THROW(checkArchive(path, wrong, 2), Failure);
}

} // namespace
} // namespace ch::azip::test

namespace ch::azip::test {
namespace {

// Cancel through the exported entries: at every report of both stages, including the last
// one before the archive is put in place, the run stops with its own code and the earlier
// archive stays; the reports before it count up within each stage to a known total.
int32_t cancelAtCall = 0;
int32_t calls = 0;
std::vector<std::tuple<int32_t, uint32_t, uint32_t>> heard;

int32_t AZIP_API listen(int32_t stage, uint32_t doneKiB, uint32_t totalKiB) {
    heard.emplace_back(stage, doneKiB, totalKiB);
    return ++calls == cancelAtCall ? 1 : 0;
}

TEST_F(FailureTest, ProgressCountsUpEachStageAndACancelAtAnyReportChangesNothing) {
    writeFile(src / "a.dat", chat(3 << 20, 1), 1104537600); // a few reports per stage
    addZIP_Initialise();
    addZIP_SetProgress(listen);
    addZIP_ArchiveName((out / "chathoard.zip").c_str());
    addZIP_IncludeListFile(list.c_str());
    cancelAtCall = 0;
    calls = 0;
    heard.clear();
    ASSERT_EQ(addZIP(), AZIP_OK);
    const auto all = heard;
    ASSERT_GE(all.size(), 6u);
    EXPECT_EQ(all.front(), std::make_tuple(AZIP_STAGE_PACKING, 0u, 3u * 1024 + 3));
    EXPECT_EQ(std::get<0>(all.back()), AZIP_STAGE_CHECKING);
    for (size_t i = 1; i < all.size(); ++i) {
        const auto [stage, done, total] = all[i];
        if (stage == std::get<0>(all[i - 1])) {
            EXPECT_GE(done, std::get<1>(all[i - 1]));
        }
        EXPECT_LE(done, total);
    }
    EXPECT_EQ(std::get<1>(all.back()), std::get<2>(all.back()));
    const std::string good = readFile(out / "chathoard.zip");

    writeFile(out / "chathoard.zip", "earlier archive");
    for (int32_t at = 1; at <= static_cast<int32_t>(all.size()); ++at) {
        cancelAtCall = at;
        calls = 0;
        EXPECT_EQ(addZIP(), AZIP_ERR_CANCELLED) << "cancelled at report " << at;
        expectEarlierArchiveUntouched();
    }
    addZIP_Initialise(); // forgets the callback too
    addZIP_ArchiveName((out / "chathoard.zip").c_str());
    addZIP_IncludeListFile(list.c_str());
    calls = 0;
    EXPECT_EQ(addZIP(), AZIP_OK);
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(readFile(out / "chathoard.zip"), good);
}

// A large entry is checked in pieces from its check points; the pieces must join into the
// stream as written, whatever the records say of the windows and places between them.
TEST(CheckInPieces, PiecesMustJoinIntoTheStreamAsWritten) {
    TempDir dir;
    const std::string path = dir / "x.zip";
    writeFile(dir / "a.dat", chat(3 * 1024 * 1024 + 1000, 3) + noise(600000, 4), 1104537600);
    std::vector<EntryRecord> entries;
    {
        File file = File::createNew(path);
        entries = writeArchive(file, {dir / "a.dat"}, 2, {}, nullptr, nullptr, {}, 1024 * 1024);
    }
    ASSERT_EQ(entries[0].checkPoints.size(), 3u);
    EXPECT_NO_THROW(checkArchive(path, entries, 2));

    const auto checkWith = [&](auto change) {
        std::vector<EntryRecord> wrong = entries;
        change(wrong[0].checkPoints);
        try {
            checkArchive(path, wrong, 2);
        } catch (const Failure& f) {
            return f.code() == AZIP_ERR_CHECK;
        }
        return false;
    };
    EXPECT_TRUE(checkWith([](auto& p) { p[1].window[100] ^= 1; })); // a window not as inflated
    EXPECT_TRUE(checkWith([](auto& p) { p[0].dataOffset += 1; }));  // not between blocks
    EXPECT_TRUE(checkWith([](auto& p) { p[2].rawOffset -= 1; }));
    EXPECT_TRUE(checkWith([](auto& p) { std::swap(p[0], p[1]); }));

    // Damage in a middle piece is found like any other.
    std::string bytes = readFile(path);
    bytes[entries[0].localOffset + 30 + 5 + 9 + entries[0].checkPoints[1].dataOffset + 500] ^= 0x20;
    writeFile(path, bytes);
    EXPECT_THROW(checkArchive(path, entries, 2), Failure);
}

} // namespace
} // namespace ch::azip::test
