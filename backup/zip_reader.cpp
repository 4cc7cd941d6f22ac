#include "backup/zip_reader.h"

#include <algorithm>
#include <zlib.h>

#include "azip32/little_endian.h"
#include "azip32/zip_records.h"

namespace ch {
namespace {

// The records as the library writes them; any other tool's archives use the same.
using namespace azip;

constexpr uint16_t kFlagEncrypted = 1;
constexpr uint16_t kFlagDataDescriptor = 1 << 3;
constexpr size_t kChunk = 1 << 20;

[[noreturn]] void damaged(const std::string& entry, const std::string& what) {
    throw ZipDamage(entry, what);
}

void require(bool ok, const std::string& entry, const std::string& what) {
    if (!ok)
        damaged(entry, what);
}

const unsigned char* bytesOf(const std::string& s, size_t at = 0) {
    return reinterpret_cast<const unsigned char*>(s.data()) + at;
}

} // namespace

uint32_t crc32Of(const std::string& bytes, uint32_t crc) {
    uLong c = crc;
    for (size_t at = 0; at < bytes.size();) {
        const size_t n = std::min<size_t>(bytes.size() - at, kChunk);
        c = crc32(c, bytesOf(bytes, at), static_cast<uInt>(n));
        at += n;
    }
    return static_cast<uint32_t>(c);
}

std::string ZipReader::readExactly(uint64_t offset, size_t size, const std::string& entry) const {
    require(offset <= fileSize_ && size <= fileSize_ - offset, entry,
            entry.empty() ? "the archive ends early (it is truncated)"
                          : "the archive ends inside this entry (it is truncated)");
    std::string bytes = fs_.readPart(path_, offset, size);
    require(bytes.size() == size, entry, "the archive ends early (it is truncated)");
    return bytes;
}

ZipReader::ZipReader(FileSystem& fs, std::string path) : fs_(fs), path_(std::move(path)) {
    fileSize_ = fs_.fileSize(path_);
    require(fileSize_ >= kEndSize, {}, "it is too short to be a ZIP archive");

    // The end record sits at the very end, after a comment of up to 64 KB.
    const uint64_t tailSize = std::min<uint64_t>(fileSize_, kEndSize + kMax16);
    const std::string tail = readExactly(fileSize_ - tailSize, static_cast<size_t>(tailSize), {});
    size_t end = std::string::npos;
    for (size_t i = tail.size() - kEndSize + 1; i-- > 0;) {
        if (get32(bytesOf(tail, i)) == kEndSignature &&
            i + kEndSize + get16(bytesOf(tail, i + 20)) == tail.size()) {
            end = i;
            break;
        }
    }
    if (end == std::string::npos) {
        walkLocalHeaders();
        return;
    }
    const unsigned char* e = bytesOf(tail, end);
    uint64_t count = get16(e + 10);
    uint64_t cdSize = get32(e + 12);
    uint64_t cdOffset = get32(e + 16);
    uint64_t recordsStart = fileSize_ - tailSize + end;
    if (count == kMax16 || cdSize == kMax32 || cdOffset == kMax32) {
        require(recordsStart >= kZip64LocatorSize + kZip64EndSize, {}, "no ZIP64 end record");
        const std::string locator =
            readExactly(recordsStart - kZip64LocatorSize, kZip64LocatorSize, {});
        require(get32(bytesOf(locator)) == kZip64LocatorSignature, {}, "no ZIP64 locator");
        const uint64_t at = get64(bytesOf(locator, 8));
        const std::string z = readExactly(at, kZip64EndSize, {});
        require(get32(bytesOf(z)) == kZip64EndSignature, {}, "no ZIP64 end record");
        count = get64(bytesOf(z, 32));
        cdSize = get64(bytesOf(z, 40));
        cdOffset = get64(bytesOf(z, 48));
        recordsStart = at;
    }
    require(cdOffset <= recordsStart && cdSize <= recordsStart - cdOffset, {},
            "the central directory lies outside the archive (it is truncated or damaged)");
    require(count <= cdSize / kCentralFixedSize, {}, "the central directory is too short");
    readCentralDirectory(count, cdOffset, cdSize);
}

void ZipReader::readCentralDirectory(uint64_t count, uint64_t cdOffset, uint64_t cdSize) {
    const std::string dir = readExactly(cdOffset, static_cast<size_t>(cdSize), {});
    size_t at = 0;
    for (uint64_t i = 0; i < count; ++i) {
        require(dir.size() - at >= kCentralFixedSize &&
                    get32(bytesOf(dir, at)) == kCentralSignature,
                {}, "the central directory is damaged");
        const unsigned char* h = bytesOf(dir, at);
        ZipEntry z;
        z.flags = get16(h + 8);
        z.method = get16(h + 10);
        z.dosTime = get16(h + 12);
        z.dosDate = get16(h + 14);
        z.crc = get32(h + 16);
        z.compressedSize = get32(h + 20);
        z.size = get32(h + 24);
        z.localOffset = get32(h + 42);
        const size_t nameSize = get16(h + 28), extraSize = get16(h + 30),
                     commentSize = get16(h + 32);
        const size_t recordSize = kCentralFixedSize + nameSize + extraSize + commentSize;
        require(dir.size() - at >= recordSize, {}, "the central directory is damaged");
        z.name = dir.substr(at + kCentralFixedSize, nameSize);
        const unsigned char* extra = h + kCentralFixedSize + nameSize;
        for (size_t x = 0; x + 4 <= extraSize;) {
            const size_t size = get16(extra + x + 2);
            if (x + 4 + size > extraSize)
                break;
            if (get16(extra + x) == kZip64ExtraId) {
                const unsigned char* p = extra + x + 4;
                const unsigned char* pEnd = p + size;
                for (uint64_t* field : {&z.size, &z.compressedSize, &z.localOffset}) {
                    if (*field != kMax32)
                        continue;
                    require(p + 8 <= pEnd, z.name, "its ZIP64 sizes are missing");
                    *field = get64(p);
                    p += 8;
                }
            }
            x += 4 + size;
        }
        entries_.push_back(std::move(z));
        at += recordSize;
    }
}

void ZipReader::walkLocalHeaders() {
    centralDirectoryMissing_ = true;
    uint64_t at = 0;
    while (fileSize_ - at >= kLocalFixedSize) {
        const std::string h = readExactly(at, kLocalFixedSize, {});
        if (get32(bytesOf(h)) != kLocalSignature)
            break;
        ZipEntry z;
        z.flags = get16(bytesOf(h, 6));
        z.method = get16(bytesOf(h, 8));
        z.dosTime = get16(bytesOf(h, 10));
        z.dosDate = get16(bytesOf(h, 12));
        z.crc = get32(bytesOf(h, 14));
        z.compressedSize = get32(bytesOf(h, 18));
        z.size = get32(bytesOf(h, 22));
        z.localOffset = at;
        const size_t nameSize = get16(bytesOf(h, 26)), extraSize = get16(bytesOf(h, 28));
        if (fileSize_ - at - kLocalFixedSize < nameSize + extraSize)
            break;
        z.name = readExactly(at + kLocalFixedSize, nameSize, {});
        const std::string extra = readExactly(at + kLocalFixedSize + nameSize, extraSize, {});
        for (size_t x = 0; x + 4 <= extra.size();) {
            const size_t size = get16(bytesOf(extra, x + 2));
            if (x + 4 + size > extra.size())
                break;
            if (get16(bytesOf(extra, x)) == kZip64ExtraId && size >= 16) {
                z.size = get64(bytesOf(extra, x + 4));
                z.compressedSize = get64(bytesOf(extra, x + 12));
            }
            x += 4 + size;
        }
        entries_.push_back(z);
        // Sizes that follow the data cannot be found without the central directory.
        if (z.flags & kFlagDataDescriptor)
            break;
        const uint64_t dataStart = at + kLocalFixedSize + nameSize + extraSize;
        if (z.compressedSize > fileSize_ - dataStart)
            break;
        at = dataStart + z.compressedSize;
    }
    require(!entries_.empty(), {},
            "no end of the central directory was found (it is not a ZIP archive, or it is "
            "truncated)");
}

void ZipReader::readEntry(const ZipEntry& entry,
                          const std::function<void(const std::string&)>& sink) const {
    const std::string& n = entry.name;
    require(!(entry.flags & kFlagEncrypted), n, "it is encrypted");
    require(entry.method == kMethodStored || entry.method == kMethodDeflated, n,
            "it is packed with a method this program cannot read");
    const std::string h = readExactly(entry.localOffset, kLocalFixedSize, n);
    require(get32(bytesOf(h)) == kLocalSignature, n, "its local header is missing");
    const size_t nameSize = get16(bytesOf(h, 26)), extraSize = get16(bytesOf(h, 28));
    require(get16(bytesOf(h, 8)) == entry.method &&
                readExactly(entry.localOffset + kLocalFixedSize, nameSize, n) == n,
            n, "its local header differs from the central directory");
    if (!(get16(bytesOf(h, 6)) & kFlagDataDescriptor)) {
        const uint64_t localCompressed = get32(bytesOf(h, 18)), localSize = get32(bytesOf(h, 22));
        require(get32(bytesOf(h, 14)) == entry.crc &&
                    (localCompressed == kMax32 || localCompressed == entry.compressedSize) &&
                    (localSize == kMax32 || localSize == entry.size),
                n, "its local header differs from the central directory");
    }
    uint64_t at = entry.localOffset + kLocalFixedSize + nameSize + extraSize;
    require(at <= fileSize_ && entry.compressedSize <= fileSize_ - at, n,
            "the archive ends inside this entry (it is truncated)");

    uint32_t crc = 0;
    uint64_t size = 0;
    auto deliver = [&](const std::string& piece) {
        crc = crc32Of(piece, crc);
        size += piece.size();
        require(size <= entry.size, n, "its data is longer than recorded");
        if (sink)
            sink(piece);
    };
    uint64_t left = entry.compressedSize;
    if (entry.method == kMethodStored) {
        while (left > 0) {
            const auto piece =
                readExactly(at, static_cast<size_t>(std::min<uint64_t>(left, kChunk)), n);
            at += piece.size();
            left -= piece.size();
            deliver(piece);
        }
    } else {
        z_stream s{};
        require(inflateInit2(&s, -MAX_WBITS) == Z_OK, n,
                "it could not be unpacked (out of memory)");
        struct End {
            z_stream& s;
            ~End() { inflateEnd(&s); }
        } endInflate{s};
        std::string in, out(kChunk, '\0');
        int result = Z_OK;
        while (result != Z_STREAM_END) {
            if (s.avail_in == 0 && left > 0) {
                in = readExactly(at, static_cast<size_t>(std::min<uint64_t>(left, kChunk)), n);
                at += in.size();
                left -= in.size();
                s.next_in = reinterpret_cast<Bytef*>(in.data());
                s.avail_in = static_cast<uInt>(in.size());
            }
            s.next_out = reinterpret_cast<Bytef*>(out.data());
            s.avail_out = static_cast<uInt>(out.size());
            result = inflate(&s, Z_NO_FLUSH);
            require(result != Z_BUF_ERROR || left > 0, n, "its packed data ends early");
            require(result == Z_OK || result == Z_STREAM_END || result == Z_BUF_ERROR, n,
                    "its packed data is damaged");
            const size_t produced = out.size() - s.avail_out;
            if (produced)
                deliver(out.substr(0, produced));
        }
        require(left == 0 && s.avail_in == 0, n, "its packed data is longer than recorded");
    }
    require(size == entry.size, n, "its data is shorter than recorded");
    require(crc == entry.crc, n, "its data does not match its CRC-32 (the data is damaged)");
}

} // namespace ch
