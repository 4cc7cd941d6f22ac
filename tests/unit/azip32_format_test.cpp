// The parts of the ZIP writer that are easiest to get wrong without any reader noticing in
// small archives: ZIP64 thresholds, and the buffered output moving back over written data.
#include <gtest/gtest.h>

#include "azip32/little_endian.h"
#include "azip32/output_stream.h"
#include "azip32/zip_format.h"
#include "tests/unit/azip32_test_files.h"

namespace ch::azip::test {
namespace {

const unsigned char* bytes(const std::string& s, size_t at = 0) {
    return reinterpret_cast<const unsigned char*>(s.data()) + at;
}

EntryRecord entry(uint64_t size, uint64_t offset) {
    EntryRecord e;
    e.name = "a.dat";
    e.stamp.unixTime = 1104537600;
    e.compressedSize = size;
    e.uncompressedSize = size;
    e.localOffset = offset;
    return e;
}

TEST(ZipFormat, EndRecordsUseZip64OnlyFromTheMarkerValuesOn) {
    EXPECT_EQ(endRecords(65534, 1000, 100).size(), kEndSize);
    EXPECT_EQ(endRecords(1, 0xFFFFFFFEu, 0).size(), kEndSize);

    // 65,535 entries is the classic record's "look in ZIP64" marker, so it needs ZIP64.
    for (const auto& [count, offset, size] :
         {std::tuple<uint64_t, uint64_t, uint64_t>{65535, 1000, 100},
          {3, 0xFFFFFFFFu, 100},
          {3, 5ull << 30, 100}}) {
        const std::string r = endRecords(count, offset, size);
        ASSERT_EQ(r.size(), kZip64EndSize + kZip64LocatorSize + kEndSize);
        EXPECT_EQ(get32(bytes(r)), kZip64EndSignature);
        EXPECT_EQ(get64(bytes(r, 32)), count);
        EXPECT_EQ(get64(bytes(r, 40)), size);
        EXPECT_EQ(get64(bytes(r, 48)), offset);
        EXPECT_EQ(get64(bytes(r, kZip64EndSize + 8)), offset + size); // locator -> record
        const std::string end = r.substr(kZip64EndSize + kZip64LocatorSize);
        EXPECT_EQ(get16(bytes(end, 10)), std::min<uint64_t>(count, 0xFFFF));
        EXPECT_EQ(get32(bytes(end, 16)), std::min<uint64_t>(offset, 0xFFFFFFFFu));
    }
}

TEST(ZipFormat, CentralHeaderCarriesOnlyTheZip64FieldsThatOverflow) {
    const std::string small = centralHeader(entry(1000, 5000));
    EXPECT_EQ(get16(bytes(small, 6)), 20); // version needed
    EXPECT_EQ(get16(bytes(small, 30)), 9); // just the timestamp
    EXPECT_EQ(get16(bytes(small, kCentralFixedSize + 5)), kTimestampExtraId);

    const std::string farOut = centralHeader(entry(1000, 6ull << 30));
    EXPECT_EQ(get16(bytes(farOut, 6)), 45);
    EXPECT_EQ(get32(bytes(farOut, 42)), 0xFFFFFFFFu); // offset in the extra
    EXPECT_EQ(get32(bytes(farOut, 20)), 1000u);       // sizes stay here
    const size_t extra = kCentralFixedSize + 5;
    EXPECT_EQ(get16(bytes(farOut, extra)), kZip64ExtraId);
    EXPECT_EQ(get16(bytes(farOut, extra + 2)), 8);
    EXPECT_EQ(get64(bytes(farOut, extra + 4)), 6ull << 30);

    const std::string big = centralHeader(entry(5ull << 30, 100));
    EXPECT_EQ(get32(bytes(big, 20)), 0xFFFFFFFFu);
    EXPECT_EQ(get32(bytes(big, 24)), 0xFFFFFFFFu);
    EXPECT_EQ(get16(bytes(big, extra + 2)), 16); // uncompressed, then compressed
    EXPECT_EQ(get64(bytes(big, extra + 4)), 5ull << 30);
}

TEST(ZipFormat, LocalHeaderKeepsItsLengthWhenCompleted) {
    EntryRecord e = entry(0, 0);
    e.zip64Local = true;
    const std::string before = localHeader(e);
    e.compressedSize = 5ull << 30;
    e.uncompressedSize = 6ull << 30;
    e.crc = 0x12345678;
    const std::string after = localHeader(e);
    ASSERT_EQ(before.size(), after.size());
    EXPECT_EQ(get32(bytes(after, 18)), 0xFFFFFFFFu);
    EXPECT_EQ(get64(bytes(after, kLocalFixedSize + 5 + 4)), 6ull << 30);
    EXPECT_EQ(get64(bytes(after, kLocalFixedSize + 5 + 12)), 5ull << 30);
}

TEST(ZipFormat, TimesOutsideTheExtendedTimestampRangeAreLeftOut) {
    EntryRecord e = entry(1, 0);
    e.stamp.unixTime = -1;
    EXPECT_EQ(get16(bytes(localHeader(e), 28)), 0);
    e.stamp.unixTime = 0x80000000ll;
    EXPECT_EQ(get16(bytes(centralHeader(e), 30)), 0);
}

TEST(OutputStream, PatchAndRewindAcrossTheBufferEdge) {
    TempDir dir;
    {
        File file = File::createNew(dir / "out.bin");
        OutputStream out(file, 16);
        out.write(std::string(10, 'a'));
        out.write(std::string(10, 'b')); // pushes the a's to disk
        out.patch(8, "XYZW");            // two bytes on disk, two in the buffer
        out.write(std::string(40, 'c')); // larger than the buffer: straight to disk
        out.rewind(30);                  // back into data already on disk
        out.write("tail");
        EXPECT_EQ(out.position(), 34u);
        out.finish();
    }
    EXPECT_EQ(readFile(dir / "out.bin"),
              std::string(8, 'a') + "XYZW" + std::string(8, 'b') + std::string(10, 'c') + "tail");
}

} // namespace
} // namespace ch::azip::test
