#pragma once
// The ZIP records this library writes (local header, central directory header, end
// records), following PKWARE's APPNOTE. Data descriptors are never used: the local header
// is written first and completed in place once the entry's data is written.
#include <cstdint>
#include <string>

#include "azip32/file_io.h"

namespace ch::azip {

constexpr uint32_t kLocalSignature = 0x04034b50;
constexpr uint32_t kCentralSignature = 0x02014b50;
constexpr uint32_t kEndSignature = 0x06054b50;
constexpr uint32_t kZip64EndSignature = 0x06064b50;
constexpr uint32_t kZip64LocatorSignature = 0x07064b50;
constexpr uint16_t kMethodStored = 0;
constexpr uint16_t kMethodDeflated = 8;
constexpr uint16_t kFlagUtf8 = 1 << 11;
constexpr uint16_t kZip64ExtraId = 0x0001;
constexpr uint16_t kTimestampExtraId = 0x5455;
constexpr uint64_t kMax32 = 0xFFFFFFFFu;
constexpr uint64_t kMax16 = 0xFFFFu;
constexpr size_t kLocalFixedSize = 30;
constexpr size_t kCentralFixedSize = 46;
constexpr size_t kEndSize = 22;
constexpr size_t kZip64EndSize = 56;
constexpr size_t kZip64LocatorSize = 20;

struct EntryRecord {
    std::string name; // UTF-8
    FileStamp stamp;
    uint16_t method = kMethodDeflated;
    uint32_t crc = 0;
    uint64_t compressedSize = 0;
    uint64_t uncompressedSize = 0;
    uint64_t localOffset = 0;
    // The local header carries a ZIP64 extra field with both sizes.
    bool zip64Local = false;
};

uint16_t entryFlags(const EntryRecord& e);
uint16_t versionNeeded(const EntryRecord& e, bool zip64);
bool hasUnixTime(const EntryRecord& e);
std::string localHeader(const EntryRecord& e);
std::string centralHeader(const EntryRecord& e);
// The end records: ZIP64 end record and locator when the archive needs them, then the
// classic end record. cdOffset is where the central directory starts.
std::string endRecords(uint64_t entryCount, uint64_t cdOffset, uint64_t cdSize);

} // namespace ch::azip
