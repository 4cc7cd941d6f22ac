#include "azip32/archive_check.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <new>
#include <numeric>
#include <optional>
#include <thread>
#include <zlib.h>

#include "azip32/azip32.h"
#include "azip32/caller_priority.h"
#include "azip32/failure.h"
#include "azip32/fault_points.h"
#include "azip32/file_io.h"
#include "azip32/little_endian.h"
#include "azip32/winzip_aes.h"

namespace ch::azip {
namespace {

constexpr size_t kCheckBufferSize = 256 * 1024;
constexpr size_t kDictionaryBytes = 32 * 1024;

// What inflating (or reading) an entry or a piece of it gave.
struct Inflated {
    uint32_t crc = 0;
    uint64_t size = 0;
    std::vector<unsigned char> tail; // the last 32 KiB, for a piece that a check point ends
};

[[noreturn]] void mismatch(const std::string& what) {
    throw Failure(AZIP_ERR_CHECK, "archive check: " + what);
}

void require(bool ok, const std::string& what) {
    if (!ok)
        mismatch(what);
}

struct Directory {
    uint64_t count = 0;
    uint64_t offset = 0;
    uint64_t size = 0;
};

Directory readEndRecords(File& file, uint64_t fileSize) {
    require(fileSize >= kEndSize, "the archive is too short");
    unsigned char end[kEndSize];
    file.readAt(fileSize - kEndSize, end, kEndSize);
    require(get32(end) == kEndSignature, "no end record");
    require(get16(end + 20) == 0, "unexpected archive comment");
    Directory d{get16(end + 10), get32(end + 16), get32(end + 12)};
    uint64_t recordsStart = fileSize - kEndSize;
    if (d.count == kMax16 || d.offset == kMax32 || d.size == kMax32) {
        const size_t zip64Size = kZip64EndSize + kZip64LocatorSize;
        require(fileSize >= kEndSize + zip64Size, "no ZIP64 end record");
        unsigned char z[kZip64EndSize + kZip64LocatorSize];
        recordsStart = fileSize - kEndSize - zip64Size;
        file.readAt(recordsStart, z, zip64Size);
        require(get32(z) == kZip64EndSignature, "no ZIP64 end record");
        require(get32(z + kZip64EndSize) == kZip64LocatorSignature, "no ZIP64 locator");
        require(get64(z + kZip64EndSize + 8) == recordsStart, "ZIP64 locator points elsewhere");
        d = Directory{get64(z + 32), get64(z + 48), get64(z + 40)};
    }
    require(d.offset + d.size == recordsStart, "central directory size or offset is wrong");
    return d;
}

// Sequential reading of the central directory in buffer-sized pieces.
class DirectoryReader {
  public:
    DirectoryReader(File& file, uint64_t offset, uint64_t size)
        : file_(file), next_(offset), left_(size) {}

    // Makes n bytes available and returns them.
    const unsigned char* take(size_t n) {
        if (have_ - used_ < n) {
            std::move(buffer_.begin() + used_, buffer_.begin() + have_, buffer_.begin());
            have_ -= used_;
            used_ = 0;
            if (buffer_.size() < n)
                buffer_.resize(n);
            const auto more =
                static_cast<size_t>(std::min<uint64_t>(buffer_.size() - have_, left_));
            require(have_ + more >= n, "central directory ends early");
            file_.readAt(next_, buffer_.data() + have_, more);
            next_ += more;
            left_ -= more;
            have_ += more;
        }
        used_ += n;
        return buffer_.data() + used_ - n;
    }
    bool exhausted() const { return left_ == 0 && used_ == have_; }

  private:
    File& file_;
    uint64_t next_;
    uint64_t left_;
    std::vector<unsigned char> buffer_ = std::vector<unsigned char>(64 * 1024);
    size_t have_ = 0;
    size_t used_ = 0;
};

void checkCentralHeader(DirectoryReader& dir, const EntryRecord& e) {
    const unsigned char* h = dir.take(kCentralFixedSize);
    const std::string& n = e.name;
    require(get32(h) == kCentralSignature, "central header missing for " + n);
    require(get16(h + 8) == entryFlags(e) && get16(h + 10) == headerMethod(e),
            "flags or method differ for " + n);
    require(get16(h + 12) == e.stamp.dosTime && get16(h + 14) == e.stamp.dosDate,
            "date differs for " + n);
    require(get32(h + 16) == headerCrc(e), "CRC differs for " + n);
    const size_t nameSize = get16(h + 28);
    const size_t extraSize = get16(h + 30);
    const size_t commentSize = get16(h + 32);
    uint64_t compressed = get32(h + 20);
    uint64_t uncompressed = get32(h + 24);
    uint64_t offset = get32(h + 42);
    const unsigned char* name = dir.take(nameSize);
    require(std::string(reinterpret_cast<const char*>(name), nameSize) == n,
            "name differs for " + n);
    const unsigned char* extra = dir.take(extraSize);
    for (size_t i = 0; i + 4 <= extraSize;) {
        const uint16_t id = get16(extra + i);
        const size_t size = get16(extra + i + 2);
        require(i + 4 + size <= extraSize, "extra field overruns for " + n);
        if (id == kZip64ExtraId) {
            const unsigned char* z = extra + i + 4;
            const unsigned char* zEnd = z + size;
            for (uint64_t* field : {&uncompressed, &compressed, &offset}) {
                if (*field != kMax32)
                    continue;
                require(z + 8 <= zEnd, "ZIP64 extra too short for " + n);
                *field = get64(z);
                z += 8;
            }
        }
        i += 4 + size;
    }
    dir.take(commentSize);
    require(compressed == e.compressedSize && uncompressed == e.uncompressedSize,
            "sizes differ for " + n);
    require(offset == e.localOffset, "offset differs for " + n);
}

// Where piece j of an entry with check points lies: from the check point before it (or the
// start) to the one after it (or the end), in the compressed data and in the raw data.
struct PieceSpan {
    uint64_t from, to, rawFrom, rawTo;
};
PieceSpan pieceSpan(const EntryRecord& e, size_t j) {
    const std::vector<CheckPoint>& points = e.checkPoints;
    const bool first = j == 0, last = j == points.size();
    return {first ? 0 : points[j - 1].dataOffset, last ? e.compressedSize : points[j].dataOffset,
            first ? 0 : points[j - 1].rawOffset, last ? e.uncompressedSize : points[j].rawOffset};
}

// Decompresses one entry's data from disk and compares its CRC-32 and sizes.
class DataChecker {
  public:
    DataChecker(const std::string& path, Progress* progress, const std::string& password)
        : file_(File::openRead(path)), progress_(progress), password_(password),
          in_(kCheckBufferSize), out_(kCheckBufferSize) {}

    // The whole entry, front to back.
    void check(const EntryRecord& e) {
        const std::string& n = e.name;
        uint64_t dataStart = checkLocalHeader(e);
        uint64_t dataSize = e.compressedSize;
        if (e.encrypted) {
            require(dataSize >= aes::kOverhead, "encrypted data too short for " + n);
            uint8_t salt[aes::kHeaderSize];
            file_.readAt(dataStart, salt, sizeof salt);
            cipher_.emplace(password_, salt);
            require(std::equal(salt + aes::kSaltSize, salt + aes::kHeaderSize, cipher_->verifier()),
                    "password check differs for " + n);
            dataStart += aes::kHeaderSize;
            dataSize -= aes::kOverhead;
        }
        const Inflated whole = e.method == kMethodStored
                                   ? readStored(dataSize, dataStart)
                                   : inflateData(e, dataSize, dataStart, nullptr, true);
        require(whole.size == e.uncompressedSize, "data size differs for " + n);
        require(whole.crc == e.crc, "data CRC differs for " + n);
        if (cipher_) {
            uint8_t stored[aes::kTagSize], computed[aes::kTagSize];
            file_.readAt(dataStart + dataSize, stored, sizeof stored);
            cipher_->tag(computed);
            cipher_.reset();
            require(std::equal(stored, stored + aes::kTagSize, computed), "tag differs for " + n);
        }
    }

    // Piece j of a deflated entry with check points, inflated with the window of the check
    // point before it. What it gives is only known right once the pieces are joined
    // (joinPieces).
    Inflated checkPiece(const EntryRecord& e, size_t j) {
        const uint64_t dataStart = checkLocalHeader(e);
        const PieceSpan span = pieceSpan(e, j);
        require(span.from < span.to && span.to <= e.compressedSize,
                "check points out of order for " + e.name);
        const bool last = j == e.checkPoints.size();
        Inflated piece = inflateData(e, span.to - span.from, dataStart + span.from,
                                     j == 0 ? nullptr : &e.checkPoints[j - 1].window, last);
        require(span.rawFrom < span.rawTo && piece.size == span.rawTo - span.rawFrom,
                "data size differs for " + e.name);
        return piece;
    }

    // Checks the local header against the record and returns where the entry's data starts.
    uint64_t checkLocalHeader(const EntryRecord& e) {
        unsigned char h[kLocalFixedSize];
        file_.readAt(e.localOffset, h, sizeof h);
        const std::string& n = e.name;
        require(get32(h) == kLocalSignature, "local header missing for " + n);
        require(get16(h + 6) == entryFlags(e) && get16(h + 8) == headerMethod(e) &&
                    get32(h + 14) == headerCrc(e),
                "local header differs for " + n);
        const size_t nameSize = get16(h + 26);
        const size_t extraSize = get16(h + 28);
        require(nameSize == n.size(), "local name differs for " + n);
        std::string nameAndExtra(nameSize + extraSize, '\0');
        file_.readAt(e.localOffset + kLocalFixedSize, nameAndExtra.data(), nameAndExtra.size());
        require(nameAndExtra.compare(0, nameSize, n) == 0, "local name differs for " + n);
        checkLocalSizes(e, h, nameAndExtra.substr(nameSize));
        return e.localOffset + kLocalFixedSize + nameSize + extraSize;
    }

  private:
    // A reader going front to back takes the sizes from the local header (or its ZIP64 extra
    // field), so they must say what the central directory says.
    static void checkLocalSizes(const EntryRecord& e, const unsigned char* h,
                                const std::string& extra) {
        const std::string& n = e.name;
        const auto* x = reinterpret_cast<const unsigned char*>(extra.data());
        std::optional<std::pair<uint64_t, uint64_t>> zip64; // uncompressed, compressed
        for (size_t i = 0; i + 4 <= extra.size();) {
            const size_t size = get16(x + i + 2);
            require(i + 4 + size <= extra.size(), "local extra field overruns for " + n);
            if (get16(x + i) == kZip64ExtraId) {
                require(size == 16 && !zip64, "local ZIP64 extra field is malformed for " + n);
                zip64.emplace(get64(x + i + 4), get64(x + i + 12));
            }
            i += 4 + size;
        }
        require(zip64.has_value() == e.zip64Local, "local ZIP64 extra field differs for " + n);
        const uint64_t compressed = e.zip64Local ? kMax32 : e.compressedSize;
        const uint64_t uncompressed = e.zip64Local ? kMax32 : e.uncompressedSize;
        require(get32(h + 18) == compressed && get32(h + 22) == uncompressed,
                "local header sizes differ for " + n);
        require(!zip64 || (zip64->first == e.uncompressedSize && zip64->second == e.compressedSize),
                "local ZIP64 sizes differ for " + n);
    }

    Inflated readStored(uint64_t dataSize, uint64_t at) {
        uLong crc = 0;
        for (uint64_t left = dataSize; left > 0;) {
            const auto n = static_cast<size_t>(std::min<uint64_t>(left, in_.size()));
            read(at, n);
            crc = crc32(crc, in_.data(), static_cast<uInt>(n));
            at += n;
            left -= n;
        }
        return {static_cast<uint32_t>(crc), dataSize, {}};
    }

    // Inflates dataSize bytes at `at`, after window when given. The last piece of an entry
    // must end its deflate stream there; any other must stop between blocks, on a byte, and
    // keeps its last 32 KiB for the join.
    Inflated inflateData(const EntryRecord& e, uint64_t dataSize, uint64_t at,
                         const std::vector<unsigned char>* window, bool last) {
        z_stream s{};
        require(inflateInit2(&s, -MAX_WBITS) == Z_OK, "cannot start inflating");
        struct End {
            z_stream& s;
            ~End() { inflateEnd(&s); }
        } end{s};
        if (window)
            require(inflateSetDictionary(&s, window->data(), static_cast<uInt>(window->size())) ==
                        Z_OK,
                    "cannot start inflating " + e.name + " at a check point");
        Inflated piece;
        uLong crc = 0;
        uint64_t left = dataSize;
        int result = Z_OK;
        int state = 0; // zlib's data_type: 128 between blocks, plus 64 in the final block
        for (;;) {
            // A call that filled the output may have read all the input while holding back
            // output (a long run of one byte); inflate asks for more input by Z_BUF_ERROR.
            if (s.avail_in == 0 && left > 0) {
                const auto n = static_cast<size_t>(std::min<uint64_t>(left, in_.size()));
                read(at, n);
                at += n;
                left -= n;
                s.next_in = in_.data();
                s.avail_in = static_cast<uInt>(n);
            }
            s.next_out = out_.data();
            s.avail_out = static_cast<uInt>(out_.size());
            result = inflate(&s, Z_NO_FLUSH);
            require(result == Z_OK || result == Z_STREAM_END || result == Z_BUF_ERROR,
                    "bad deflate data for " + e.name);
            // A call that could do nothing says so by Z_BUF_ERROR, and also forgets that
            // the stream stood between blocks: the state is that of the call before.
            if (result != Z_BUF_ERROR)
                state = s.data_type;
            const size_t produced = out_.size() - s.avail_out;
            crc = crc32(crc, out_.data(), static_cast<uInt>(produced));
            piece.size += produced;
            if (!last)
                keepTail(piece.tail, produced);
            if (result == Z_STREAM_END)
                break;
            // Every byte given and nothing held back: the piece is over.
            if (left == 0 && s.avail_in == 0 && s.avail_out > 0)
                break;
            require(result != Z_BUF_ERROR || left > 0, "deflate data ends early for " + e.name);
        }
        if (last) {
            require(result == Z_STREAM_END, "deflate data ends early for " + e.name);
            require(left == 0 && s.avail_in == 0, "deflate data longer than stored for " + e.name);
        } else {
            // Between blocks, no bit left over, the final block not begun: where the stream
            // of one piece joins the next.
            require(result != Z_STREAM_END && state == 128,
                    "deflate data does not break at its check point for " + e.name);
        }
        piece.crc = static_cast<uint32_t>(crc);
        return piece;
    }

    // The last 32 KiB inflated so far, after `produced` more bytes in out_.
    void keepTail(std::vector<unsigned char>& tail, size_t produced) const {
        const unsigned char* end = out_.data() + produced;
        if (produced >= kDictionaryBytes) {
            tail.assign(end - kDictionaryBytes, end);
            return;
        }
        tail.insert(tail.end(), out_.data(), end);
        if (tail.size() > kDictionaryBytes)
            tail.erase(tail.begin(), tail.end() - kDictionaryBytes);
    }

    void read(uint64_t at, size_t n) {
        file_.readAt(at, in_.data(), n);
        if (cipher_)
            cipher_->decrypt(in_.data(), n);
        if (progress_)
            progress_->advance(n);
    }

    File file_;
    Progress* progress_;
    const std::string& password_;
    std::optional<aes::EntryCipher> cipher_;
    std::vector<unsigned char> in_;
    std::vector<unsigned char> out_;
};

bool inPieces(const EntryRecord& e) {
    return !e.checkPoints.empty() && e.method == kMethodDeflated && !e.encrypted;
}

// A piece of an entry is checked on its own only once the piece before it is known to end
// with the window the piece started from; then the pieces' CRCs join into the entry's.
void joinPieces(const EntryRecord& e, const std::vector<Inflated>& pieces) {
    uint32_t crc = 0;
    uint64_t size = 0;
    for (size_t j = 0; j < pieces.size(); ++j) {
        if (j > 0)
            require(pieces[j - 1].tail == e.checkPoints[j - 1].window,
                    "deflate data does not join at its check point for " + e.name);
        crc = static_cast<uint32_t>(
            crc32_combine(crc, pieces[j].crc, static_cast<z_off_t>(pieces[j].size)));
        size += pieces[j].size;
    }
    require(size == e.uncompressedSize, "data size differs for " + e.name);
    require(crc == e.crc, "data CRC differs for " + e.name);
}

// Checks entries' data on several threads, largest first; a large entry with check points
// is checked in pieces, side by side. The first failure wins.
void checkData(const std::string& path, const std::vector<EntryRecord>& expected, unsigned threads,
               Progress* progress, const std::string& password) {
    struct Task {
        size_t entry;
        size_t piece; // kWhole: the entry front to back
        uint64_t bytes;
    };
    constexpr size_t kWhole = SIZE_MAX;
    std::vector<Task> order;
    std::vector<std::vector<Inflated>> pieces(expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        const EntryRecord& e = expected[i];
        if (!inPieces(e)) {
            order.push_back({i, kWhole, e.compressedSize});
            continue;
        }
        pieces[i].resize(e.checkPoints.size() + 1);
        for (size_t j = 0; j <= e.checkPoints.size(); ++j) {
            const PieceSpan span = pieceSpan(e, j);
            order.push_back({i, j, span.to > span.from ? span.to - span.from : 0});
        }
    }
    std::stable_sort(order.begin(), order.end(),
                     [](const Task& a, const Task& b) { return a.bytes > b.bytes; });
    std::atomic<size_t> next{0};
    std::atomic<bool> stop{false};
    std::mutex failureMutex;
    std::optional<Failure> failure;
    const auto fail = [&](const Failure& f) {
        std::lock_guard lock(failureMutex);
        failure = failure.value_or(f);
        stop = true;
    };
    // Nothing may leave a helper thread: an exception there would end the program.
    const CallerPriority caller;
    const auto work = [&] {
        caller.applyToThisThread();
        try {
            DataChecker checker(path, progress, password);
            for (size_t i; !stop && (i = next++) < order.size();) {
                faultPoint(FaultPoint::WorkerTask);
                const Task& t = order[i];
                if (t.piece == kWhole)
                    checker.check(expected[t.entry]);
                else
                    pieces[t.entry][t.piece] = checker.checkPiece(expected[t.entry], t.piece);
            }
        } catch (const Failure& f) {
            fail(f);
        } catch (const IoError& e) {
            fail(Failure(AZIP_ERR_CHECK, e.what()));
        } catch (const std::bad_alloc&) {
            fail(Failure(AZIP_ERR_INTERNAL, "out of memory"));
        } catch (const std::exception& e) {
            fail(Failure(AZIP_ERR_INTERNAL, e.what()));
        }
    };
    // The calling thread checks too.
    const size_t helpers =
        order.size() > 1 ? std::min<size_t>(std::max(threads, 1u), order.size()) - 1 : 0;
    std::vector<std::thread> pool;
    const auto joinAll = [&] {
        for (auto& t : pool)
            t.join();
    };
    try {
        for (size_t i = 0; i < helpers; ++i) {
            faultPoint(FaultPoint::ThreadStart);
            pool.emplace_back(work);
        }
    } catch (...) {
        // The helpers started must be joined before the failure goes on.
        stop = true;
        joinAll();
        throw;
    }
    work();
    joinAll();
    if (failure)
        throw *failure;
    for (size_t i = 0; i < expected.size(); ++i)
        if (inPieces(expected[i]))
            joinPieces(expected[i], pieces[i]);
}

} // namespace

void checkArchive(const std::string& path, const std::vector<EntryRecord>& expected,
                  unsigned threads, Progress* progress, const std::string& password) {
    try {
        File file = File::openRead(path);
        const Directory d = readEndRecords(file, file.size());
        require(d.count == expected.size(), "entry count differs");
        DirectoryReader dir(file, d.offset, d.size);
        for (const EntryRecord& e : expected)
            checkCentralHeader(dir, e);
        require(dir.exhausted(), "central directory is longer than its entries");
    } catch (const IoError& e) {
        mismatch(e.what());
    }
    checkData(path, expected, threads, progress, password);
}

} // namespace ch::azip
