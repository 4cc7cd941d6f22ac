#pragma once
// The ZIP records this library writes (local header, central directory header, end
// records), following PKWARE's APPNOTE. Data descriptors are never used: the local header
// is written first and completed in place once the entry's data is written.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "azip32/file_io.h"
#include "azip32/zip_records.h"

namespace ch::azip {

// A place where the check can start inflating an entry's deflate data part-way, so that
// one large entry is checked on several threads: the data breaks there on a byte, between
// blocks, and window is the 32 KiB of raw data before it as it was packed. The check trusts
// none of it: what it inflates before the place must end there, with that window.
struct CheckPoint {
    uint64_t rawOffset = 0;  // into the entry's uncompressed data
    uint64_t dataOffset = 0; // into its compressed data
    std::vector<unsigned char> window;
};

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
    // Set when the time changed after the local header was first written, and with it whether
    // the time fits the extended-time field: whether the local header has room for that field.
    // With room and no such time, a padding field of the same length fills it; without room,
    // only the central header has the field.
    std::optional<bool> localUnixTime;
    // WinZip AES: method holds the packing inside, compressedSize counts the salt, password
    // check and tag too.
    bool encrypted = false;
    // For deflated entries that are not encrypted, in order.
    std::vector<CheckPoint> checkPoints;
};

// The method and CRC-32 fields as the headers carry them (an AE-2 entry shows method 99 and
// no CRC-32, its tag protects the data).
uint16_t headerMethod(const EntryRecord& e);
uint32_t headerCrc(const EntryRecord& e);

uint16_t entryFlags(const EntryRecord& e);
uint16_t versionNeeded(const EntryRecord& e, bool zip64);
// Whether the time fits the extended-time field, which then holds it.
bool hasUnixTime(const FileStamp& stamp);
bool hasUnixTime(const EntryRecord& e);
std::string localHeader(const EntryRecord& e);
std::string centralHeader(const EntryRecord& e);
// The end records: ZIP64 end record and locator when the archive needs them, then the
// classic end record. cdOffset is where the central directory starts.
std::string endRecords(uint64_t entryCount, uint64_t cdOffset, uint64_t cdSize);

} // namespace ch::azip
