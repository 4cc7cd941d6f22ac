#include "azip32/zip_format.h"

#include "azip32/entry_name.h"
#include "azip32/little_endian.h"
#include "azip32/winzip_aes.h"

namespace ch::azip {
namespace {

constexpr uint16_t kVersionMadeBy = 45; // APPNOTE 4.5, MS-DOS attributes
constexpr uint32_t kArchiveAttribute = 0x20;

// Extended timestamp: flags (bit 0: modification time present) and the time itself.
void putTimestampExtra(std::string& out, const EntryRecord& e) {
    if (!hasUnixTime(e))
        return;
    put16(out, kTimestampExtraId);
    put16(out, 5);
    out += '\x01';
    put32(out, static_cast<uint32_t>(e.stamp.unixTime));
}

// The extended time as the local header has room for it (see EntryRecord::localUnixTime).
void putLocalTimestampExtra(std::string& out, const EntryRecord& e) {
    if (!e.localUnixTime || *e.localUnixTime == hasUnixTime(e)) {
        putTimestampExtra(out, e);
    } else if (*e.localUnixTime) {
        put16(out, kPaddingExtraId);
        put16(out, 5);
        out.append(5, '\0');
    }
}

uint32_t clamp32(uint64_t v) {
    return v >= kMax32 ? static_cast<uint32_t>(kMax32) : v;
}

} // namespace

uint16_t headerMethod(const EntryRecord& e) {
    return e.encrypted ? aes::kMethodAes : e.method;
}

uint32_t headerCrc(const EntryRecord& e) {
    return e.encrypted ? 0 : e.crc;
}

uint16_t entryFlags(const EntryRecord& e) {
    return (isPlainAscii(e.name) ? 0 : kFlagUtf8) | (e.encrypted ? aes::kFlagEncrypted : 0);
}

uint16_t versionNeeded(const EntryRecord& e, bool zip64) {
    if (e.encrypted)
        return 51;
    if (zip64)
        return 45;
    return e.method == kMethodDeflated ? 20 : 10;
}

bool hasUnixTime(const FileStamp& stamp) {
    return stamp.unixTime >= 0 && stamp.unixTime <= 0x7FFFFFFF;
}

bool hasUnixTime(const EntryRecord& e) {
    return hasUnixTime(e.stamp);
}

std::string localHeader(const EntryRecord& e) {
    std::string h;
    put32(h, kLocalSignature);
    put16(h, versionNeeded(e, e.zip64Local));
    put16(h, entryFlags(e));
    put16(h, headerMethod(e));
    put16(h, e.stamp.dosTime);
    put16(h, e.stamp.dosDate);
    put32(h, headerCrc(e));
    put32(h,
          e.zip64Local ? static_cast<uint32_t>(kMax32) : static_cast<uint32_t>(e.compressedSize));
    put32(h,
          e.zip64Local ? static_cast<uint32_t>(kMax32) : static_cast<uint32_t>(e.uncompressedSize));
    put16(h, static_cast<uint32_t>(e.name.size()));
    const size_t extraAt = h.size();
    put16(h, 0);
    h += e.name;
    const size_t extraStart = h.size();
    if (e.zip64Local) {
        // In a local header the ZIP64 extra always holds both sizes.
        put16(h, kZip64ExtraId);
        put16(h, 16);
        put64(h, e.uncompressedSize);
        put64(h, e.compressedSize);
    }
    putLocalTimestampExtra(h, e);
    if (e.encrypted)
        h += aes::extraField(e.method);
    const auto extraSize = static_cast<uint32_t>(h.size() - extraStart);
    h[extraAt] = static_cast<char>(extraSize & 0xFF);
    h[extraAt + 1] = static_cast<char>(extraSize >> 8);
    return h;
}

std::string centralHeader(const EntryRecord& e) {
    std::string zip64;
    if (e.uncompressedSize >= kMax32)
        put64(zip64, e.uncompressedSize);
    if (e.compressedSize >= kMax32)
        put64(zip64, e.compressedSize);
    if (e.localOffset >= kMax32)
        put64(zip64, e.localOffset);

    std::string extra;
    if (!zip64.empty()) {
        put16(extra, kZip64ExtraId);
        put16(extra, static_cast<uint32_t>(zip64.size()));
        extra += zip64;
    }
    putTimestampExtra(extra, e);
    if (e.encrypted)
        extra += aes::extraField(e.method);

    std::string h;
    put32(h, kCentralSignature);
    put16(h, kVersionMadeBy);
    put16(h, versionNeeded(e, !zip64.empty() || e.zip64Local));
    put16(h, entryFlags(e));
    put16(h, headerMethod(e));
    put16(h, e.stamp.dosTime);
    put16(h, e.stamp.dosDate);
    put32(h, headerCrc(e));
    put32(h, clamp32(e.compressedSize));
    put32(h, clamp32(e.uncompressedSize));
    put16(h, static_cast<uint32_t>(e.name.size()));
    put16(h, static_cast<uint32_t>(extra.size()));
    put16(h, 0); // comment length
    put16(h, 0); // disk number start
    put16(h, 0); // internal attributes
    put32(h, kArchiveAttribute);
    put32(h, clamp32(e.localOffset));
    h += e.name;
    h += extra;
    return h;
}

std::string endRecords(uint64_t entryCount, uint64_t cdOffset, uint64_t cdSize) {
    std::string out;
    // 0xFFFF entries is itself the "see ZIP64" marker, so it already needs the ZIP64 record.
    const bool zip64 = entryCount >= kMax16 || cdOffset >= kMax32 || cdSize >= kMax32;
    if (zip64) {
        const uint64_t zip64EndOffset = cdOffset + cdSize;
        put32(out, kZip64EndSignature);
        put64(out, kZip64EndSize - 12); // size of the rest of this record
        put16(out, kVersionMadeBy);
        put16(out, 45);
        put32(out, 0); // this disk
        put32(out, 0); // disk with the central directory
        put64(out, entryCount);
        put64(out, entryCount);
        put64(out, cdSize);
        put64(out, cdOffset);
        put32(out, kZip64LocatorSignature);
        put32(out, 0);
        put64(out, zip64EndOffset);
        put32(out, 1); // total disks
    }
    put32(out, kEndSignature);
    put16(out, 0);
    put16(out, 0);
    const uint32_t count16 = entryCount >= kMax16 ? kMax16 : static_cast<uint32_t>(entryCount);
    put16(out, count16);
    put16(out, count16);
    put32(out, clamp32(cdSize));
    put32(out, clamp32(cdOffset));
    put16(out, 0); // comment length
    return out;
}

} // namespace ch::azip
