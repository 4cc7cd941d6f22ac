#include "backup/zip_reader.h"

#include <algorithm>
#include <optional>
#include <zlib.h>

#include "azip32/little_endian.h"
#include "azip32/winzip_aes.h"
#include "azip32/zip_records.h"

namespace ch {
namespace {

// The records as the library writes them; any other tool's archives use the same.
using namespace azip;

constexpr uint16_t kFlagDataDescriptor = 1 << 3;
constexpr uint16_t kUnicodePathExtraId = 0x7075;
constexpr uint32_t kDataDescriptorSignature = 0x08074b50;
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

ZipReader::ZipReader(FileSystem& fs, const CodePage& codePage, std::string path)
    : fs_(fs), codePage_(codePage), path_(std::move(path)) {
    fileSize_ = fs_.fileSize(path_);
    dataEnd_ = fileSize_;
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
    require(get16(e + 4) == 0 && get16(e + 6) == 0, {},
            "it is one part of an archive split over several disks");
    uint64_t count = get16(e + 10);
    uint64_t cdSize = get32(e + 12);
    uint64_t cdOffset = get32(e + 16);
    require(get16(e + 8) == count, {},
            "its end record gives two different numbers of entries (" +
                std::to_string(get16(e + 8)) + " and " + std::to_string(count) + ")");
    uint64_t recordsStart = fileSize_ - tailSize + end;
    const bool classicFull = count == kMax16 || cdSize == kMax32 || cdOffset == kMax32;
    std::string locator;
    if (recordsStart >= kZip64LocatorSize) {
        locator = readExactly(recordsStart - kZip64LocatorSize, kZip64LocatorSize, {});
        if (get32(bytesOf(locator)) != kZip64LocatorSignature)
            locator.clear();
    }
    require(!classicFull || !locator.empty(), {}, "its ZIP64 end record is missing");
    if (!locator.empty()) {
        // The ZIP64 end record lies just before its locator and holds the full figures; the
        // classic record's must be the same, or the largest value its fields can hold.
        const uint64_t locatorAt = recordsStart - kZip64LocatorSize;
        const uint64_t at = get64(bytesOf(locator, 8));
        require(at <= locatorAt && locatorAt - at >= kZip64EndSize, {},
                "its ZIP64 end record lies outside the archive");
        const std::string z = readExactly(at, kZip64EndSize, {});
        require(get32(bytesOf(z)) == kZip64EndSignature &&
                    get64(bytesOf(z, 4)) + 12 == locatorAt - at,
                {}, "its ZIP64 end record is damaged");
        require(get32(bytesOf(z, 16)) == 0 && get32(bytesOf(z, 20)) == 0, {},
                "it is one part of an archive split over several disks");
        const uint64_t count64 = get64(bytesOf(z, 32));
        require(get64(bytesOf(z, 24)) == count64, {},
                "its ZIP64 end record gives two different numbers of entries");
        const uint64_t cdSize64 = get64(bytesOf(z, 40)), cdOffset64 = get64(bytesOf(z, 48));
        require((count == kMax16 || count == count64) && (cdSize == kMax32 || cdSize == cdSize64) &&
                    (cdOffset == kMax32 || cdOffset == cdOffset64),
                {}, "its ZIP64 end record differs from the classic end record");
        count = count64;
        cdSize = cdSize64;
        cdOffset = cdOffset64;
        recordsStart = at;
    }
    require(cdOffset <= recordsStart && cdSize <= recordsStart - cdOffset, {},
            "the central directory lies outside the archive (it is truncated or damaged)");
    require(count <= cdSize / kCentralFixedSize, {},
            "its end record counts " + std::to_string(count) +
                " entries, more than its central directory can hold");
    dataEnd_ = cdOffset;
    readCentralDirectory(count, cdOffset, cdSize);
    checkNoOverlap();
}

void ZipReader::readCentralDirectory(uint64_t count, uint64_t cdOffset, uint64_t cdSize) {
    // Read in pieces: the directory's size is the archive's word, never one allocation.
    const uint64_t cdEnd = cdOffset + cdSize;
    std::string piece;
    uint64_t pieceAt = cdOffset;
    const auto bytesAt = [&](uint64_t at, size_t n) {
        require(n <= cdEnd - at, {}, "the central directory is damaged");
        if (at < pieceAt || at + n > pieceAt + piece.size()) {
            pieceAt = at;
            piece = readExactly(
                at,
                static_cast<size_t>(std::max<uint64_t>(n, std::min<uint64_t>(kChunk, cdEnd - at))),
                {});
        }
        return bytesOf(piece, static_cast<size_t>(at - pieceAt));
    };
    for (uint64_t at = cdOffset; at < cdEnd;) {
        const unsigned char* h = bytesAt(at, kCentralFixedSize);
        require(get32(h) == kCentralSignature, {}, "the central directory is damaged");
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
        const unsigned char* v = bytesAt(at + kCentralFixedSize, nameSize + extraSize);
        z.storedName.assign(reinterpret_cast<const char*>(v), nameSize);
        const std::string extra(reinterpret_cast<const char*>(v) + nameSize, extraSize);
        bytesAt(at + kCentralFixedSize + nameSize + extraSize, commentSize);
        at += kCentralFixedSize + nameSize + extraSize + commentSize;
        nameEntry(z);
        readExtraFields(z, extra);
        entries_.push_back(std::move(z));
    }
    require(entries_.size() == count, {},
            "its end record counts " + std::to_string(count) +
                " entries, its central directory holds " + std::to_string(entries_.size()));
}

void ZipReader::nameEntry(ZipEntry& z) const {
    const std::string& stored = z.storedName;
    std::string shown = stored;
    std::replace(shown.begin(), shown.end(), '\0', '?');
    z.name = shown;
    require(stored.find('\0') == std::string::npos, shown, "its name holds a NUL byte");
    if (z.flags & kFlagUtf8)
        z.nameFits = codePage_.ansiFromUtf8(stored, z.name);
}

namespace {

// The extra fields this reader uses, each as its header holds it; a header may give each at
// most once.
struct ExtraFields {
    std::optional<std::string> zip64;
    std::optional<std::string> unicodePath;
    std::optional<std::string> aes;
};

ExtraFields splitExtra(const std::string& extra, const std::string& entry, bool local) {
    ExtraFields fields;
    for (size_t x = 0; x + 4 <= extra.size();) {
        const unsigned char* f = bytesOf(extra, x);
        const size_t size = get16(f + 2);
        require(size <= extra.size() - x - 4, entry,
                local ? "an extra field of its local header runs past the header"
                      : "an extra field runs past its header");
        const uint16_t id = get16(f);
        std::optional<std::string>* field = id == kZip64ExtraId         ? &fields.zip64
                                            : id == kUnicodePathExtraId ? &fields.unicodePath
                                            : id == aes::kExtraId       ? &fields.aes
                                                                        : nullptr;
        // Two of them: one reader takes the first, another the last.
        if (field) {
            require(!*field, entry,
                    std::string(local ? "its local header holds " : "it holds ") +
                        (id == kZip64ExtraId   ? "two ZIP64 fields"
                         : id == aes::kExtraId ? "two encryption fields"
                                               : "two Unicode name fields"));
            field->emplace(extra, x + 4, size);
        }
        x += 4 + size;
    }
    return fields;
}

// Version 1, the CRC-32 of the header's name, then the name in UTF-8. A field written for
// another spelling of the header's name (the name was changed since) is out of date: the
// header's name holds.
std::optional<std::string> unicodeNameOf(const std::optional<std::string>& field,
                                         const std::string& headerName) {
    if (!field || field->size() < 5 || (*field)[0] != 1 ||
        get32(bytesOf(*field, 1)) != crc32Of(headerName))
        return std::nullopt;
    return field->substr(5);
}

// The sizes in a ZIP64 field: those of size and compressed that the header's own fields
// could not hold, in that order.
void readZip64Sizes(const std::string& field, const std::string& entry, uint64_t& size,
                    uint64_t& compressed, uint64_t* localOffset) {
    size_t p = 0;
    for (uint64_t* value : {&size, &compressed, localOffset}) {
        if (!value || *value != kMax32)
            continue;
        require(p + 8 <= field.size(), entry, "its ZIP64 sizes are missing");
        *value = get64(bytesOf(field, p));
        p += 8;
    }
}

} // namespace

void ZipReader::readExtraFields(ZipEntry& z, const std::string& extra) const {
    const ExtraFields fields = splitExtra(extra, z.name, false);
    if (fields.zip64)
        readZip64Sizes(*fields.zip64, z.name, z.size, z.compressedSize, &z.localOffset);
    if (fields.aes) {
        // Version, the vendor "AE", the key's strength, then the method the data is packed with.
        const std::string& f = *fields.aes;
        const unsigned char* p = bytesOf(f, 0);
        require(f.size() >= 7 && p[2] == 'A' && p[3] == 'E', z.name,
                "its encryption field is malformed");
        z.aesVersion = get16(p);
        z.aesStrength = p[4];
        z.aesMethod = get16(p + 5);
    }
    if (const auto utf8 = unicodeNameOf(fields.unicodePath, z.storedName)) {
        // Tools that store a name in the OEM code page give its true spelling here.
        require(utf8->find('\0') == std::string::npos, z.name, "its Unicode name holds a NUL");
        z.unicodeName = *utf8;
        z.nameFits = codePage_.ansiFromUtf8(*utf8, z.name);
    }
}

void ZipReader::checkNoOverlap() const {
    // Each entry owns its local header and data. Entries that share bytes are how an archive
    // of kilobytes unpacks into terabytes; no tool writes them.
    struct Range {
        uint64_t start, end;
        const std::string* name;
    };
    std::vector<Range> ranges;
    for (const ZipEntry& z : entries_) {
        if (z.localOffset >= dataEnd_ || dataEnd_ - z.localOffset < kLocalFixedSize)
            continue; // readEntry names it
        const std::string h = readExactly(z.localOffset, kLocalFixedSize, z.name);
        const uint64_t headerSize =
            kLocalFixedSize + get16(bytesOf(h, 26)) + uint64_t{get16(bytesOf(h, 28))};
        ranges.push_back({z.localOffset, z.localOffset + headerSize + z.compressedSize, &z.name});
    }
    std::sort(ranges.begin(), ranges.end(),
              [](const Range& a, const Range& b) { return a.start < b.start; });
    for (size_t i = 0; i < ranges.size(); ++i) {
        if (i > 0 && ranges[i].start < ranges[i - 1].end)
            damaged(*ranges[i].name,
                    "its bytes overlap those of the entry " + *ranges[i - 1].name +
                        " (a trick of archives made to unpack into far more than they hold)");
        require(ranges[i].end <= dataEnd_, *ranges[i].name,
                "its data runs into the central directory");
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
        z.storedName = readExactly(at + kLocalFixedSize, nameSize, {});
        nameEntry(z);
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

uint32_t ZipReader::readEntry(const ZipEntry& entry,
                              const std::function<void(const std::string&)>& sink) const {
    const std::string& n = entry.name;
    const bool encrypted = entry.isEncrypted();
    require(!encrypted ||
                (entry.method == aes::kMethodAes && entry.aesStrength == aes::kStrength256),
            n, "it is encrypted in a way this program cannot read (it reads AES-256 only)");
    const uint16_t method = encrypted ? entry.aesMethod : entry.method;
    require(method == kMethodStored || method == kMethodDeflated, n,
            "it is packed with a method this program cannot read");
    const std::string h = readExactly(entry.localOffset, kLocalFixedSize, n);
    require(get32(bytesOf(h)) == kLocalSignature, n, "its local header is missing");
    const size_t nameSize = get16(bytesOf(h, 26)), extraSize = get16(bytesOf(h, 28));
    const bool descriptor = get16(bytesOf(h, 6)) & kFlagDataDescriptor;
    require(get16(bytesOf(h, 8)) == entry.method &&
                readExactly(entry.localOffset + kLocalFixedSize, nameSize, n) == entry.storedName,
            n, "its local header differs from the central directory");
    if (!descriptor) {
        const uint64_t localCompressed = get32(bytesOf(h, 18)), localSize = get32(bytesOf(h, 22));
        require(get32(bytesOf(h, 14)) == entry.crc &&
                    (localCompressed == kMax32 || localCompressed == entry.compressedSize) &&
                    (localSize == kMax32 || localSize == entry.size),
                n, "its local header differs from the central directory");
    }
    const std::string extra =
        readExactly(entry.localOffset + kLocalFixedSize + nameSize, extraSize, n);
    const ExtraFields local = splitExtra(extra, n, true);
    // What both headers say must be the same.
    const auto localName = unicodeNameOf(local.unicodePath, entry.storedName);
    require(!localName || entry.unicodeName.empty() || *localName == entry.unicodeName, n,
            "its local header gives another Unicode name than the central directory");
    if (!descriptor && local.zip64) {
        uint64_t localSize = get32(bytesOf(h, 22)), localCompressed = get32(bytesOf(h, 18));
        readZip64Sizes(*local.zip64, n, localSize, localCompressed, nullptr);
        require(localSize == entry.size && localCompressed == entry.compressedSize, n,
                "its local header's ZIP64 sizes differ from the central directory");
    }
    uint64_t at = entry.localOffset + kLocalFixedSize + nameSize + extraSize;
    require(at <= fileSize_ && entry.compressedSize <= fileSize_ - at, n,
            "the archive ends inside this entry (it is truncated)");
    require(entry.compressedSize <= dataEnd_ - std::min(at, dataEnd_), n,
            "its data runs into the central directory");

    uint64_t left = entry.compressedSize;
    std::optional<aes::EntryCipher> cipher;
    if (encrypted) {
        require(left >= aes::kOverhead, n, "its encrypted data is too short");
        if (password_.empty())
            throw ZipPasswordError(n, false);
        const std::string header = readExactly(at, aes::kHeaderSize, n);
        cipher.emplace(password_, bytesOf(header));
        if (!std::equal(cipher->verifier(), cipher->verifier() + aes::kVerifierSize,
                        bytesOf(header, aes::kSaltSize)))
            throw ZipPasswordError(n, true);
        at += aes::kHeaderSize;
        left -= aes::kOverhead;
    }
    const auto readData = [&](uint64_t most) {
        std::string piece = readExactly(at, static_cast<size_t>(std::min<uint64_t>(left, most)), n);
        at += piece.size();
        left -= piece.size();
        if (cipher)
            cipher->decrypt(reinterpret_cast<uint8_t*>(piece.data()), piece.size());
        return piece;
    };

    uint32_t crc = 0;
    uint64_t size = 0;
    auto deliver = [&](const std::string& piece) {
        crc = crc32Of(piece, crc);
        size += piece.size();
        require(size <= entry.size, n, "its data is longer than recorded");
        if (sink)
            sink(piece);
    };
    if (method == kMethodStored) {
        while (left > 0)
            deliver(readData(kChunk));
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
                in = readData(kChunk);
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
    if (cipher) {
        const std::string stored = readExactly(at, aes::kTagSize, n);
        uint8_t computed[aes::kTagSize];
        cipher->tag(computed);
        require(std::equal(computed, computed + aes::kTagSize, bytesOf(stored)), n,
                "its data does not match its authentication code");
        at += aes::kTagSize;
    }
    // AE-2 records no CRC-32: its authentication code stands in for it.
    require(crc == entry.crc || (cipher && entry.aesVersion == 2), n,
            "its data does not match its CRC-32");
    if (descriptor)
        checkDataDescriptor(entry, at);
    return crc;
}

void ZipReader::checkDataDescriptor(const ZipEntry& entry, uint64_t at) const {
    // CRC-32 and both sizes, 4 or 8 bytes each, after an optional signature.
    const std::string d = readExactly(
        at, static_cast<size_t>(std::min<uint64_t>(24, fileSize_ - std::min(at, fileSize_))),
        entry.name);
    size_t p = d.size() >= 4 && get32(bytesOf(d)) == kDataDescriptorSignature ? 4 : 0;
    require(d.size() >= p + 12, entry.name, "its data descriptor is missing");
    const bool same32 = get32(bytesOf(d, p)) == entry.crc &&
                        get32(bytesOf(d, p + 4)) == entry.compressedSize &&
                        get32(bytesOf(d, p + 8)) == entry.size;
    const bool same64 = d.size() >= p + 20 && get32(bytesOf(d, p)) == entry.crc &&
                        get64(bytesOf(d, p + 4)) == entry.compressedSize &&
                        get64(bytesOf(d, p + 12)) == entry.size;
    require(same32 || same64, entry.name, "its data descriptor differs from the central directory");
}

} // namespace ch
