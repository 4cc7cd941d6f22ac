#include "azip32/archive_writer.h"

#include <cstring>
#include <optional>
#include <utility>
#include <zlib.h>

#include "azip32/azip32.h"
#include "azip32/block_compressor.h"
#include "azip32/entry_name.h"
#include "azip32/failure.h"
#include "azip32/output_stream.h"

namespace ch::azip {
namespace {

[[noreturn]] void sourceFailure(const std::string& detail) {
    throw Failure(AZIP_ERR_SOURCE_FILE, detail);
}

void tell(const FileHook& files, FileEvent event, size_t index, intptr_t& opened) {
    if (files && !files(event, index, opened))
        throw Failure(AZIP_ERR_CANCELLED, "stopped by the caller at a listed file");
}

// Cuts the listed files into blocks, in list order, each file opened only while it is read.
class SourceReader {
  public:
    SourceReader(const std::vector<std::string>& paths, const FileHook& files)
        : paths_(paths), files_(files), opened_(paths.size(), 0) {}

    bool more() const { return next_ < paths_.size(); }

    // Fills the block with the next piece of the current file. Sets starts when the block
    // is the first of a file; its entry record is then in started. The block that ends a
    // file that grew while it was read gets the file's time then in ended: it was still being
    // written when it was handed over, and has its final time only now.
    void fill(Block& b, bool& starts, EntryRecord& started, std::optional<FileStamp>& ended) {
        const std::string& path = paths_[next_];
        starts = !file_;
        if (starts)
            tell(files_, FileEvent::Wanted, next_, opened_[next_]);
        try {
            if (starts) {
                file_ = open(next_);
                started = EntryRecord{};
                started.name = systemNameToUtf8(bareName(path, isSystemLeadByte));
                started.stamp = file_->stamp();
                started.zip64Local = file_->size() >= kMax32;
                tailSize_ = 0;
                grew_ = false;
            }
            b.inputSize = 0;
            while (b.inputSize < kBlockSize) {
                const size_t n = file_->read(b.input.get() + b.inputSize, kBlockSize - b.inputSize);
                if (n == 0 && !moreToCome())
                    break;
                b.inputSize += n;
            }
            b.last = b.inputSize < kBlockSize;
            ended.reset();
            if (b.last && grew_)
                ended = file_->stamp();
        } catch (const IoError& e) {
            sourceFailure(e.what());
        }
        std::memcpy(b.dictionary.get(), tail_, tailSize_);
        b.dictionarySize = tailSize_;
        if (b.last) {
            file_.reset();
            ++next_;
        } else {
            // A full block is at least a dictionary long.
            std::memcpy(tail_, b.input.get() + kBlockSize - kDictionarySize, kDictionarySize);
            tailSize_ = kDictionarySize;
        }
    }

    // At the end of what the current file holds: whether its caller, still writing it, has
    // more for the reads. Only a file read through the caller's handle can still grow.
    bool moreToCome() {
        intptr_t more = 0;
        if (opened_[next_])
            tell(files_, FileEvent::AtEnd, next_, more);
        grew_ = grew_ || more != 0;
        return more != 0;
    }

    const std::string& path(size_t i) const { return paths_[i]; }
    size_t current() const { return next_; }

    // The listed file i from its start: through the caller's handle until the file's Done,
    // else by its name.
    File open(size_t i) const {
        return opened_[i] ? File::borrow(opened_[i], paths_[i]) : File::openRead(paths_[i]);
    }

    // Tells the caller the library is done with file i, whose handle is then the caller's
    // to close.
    void done(size_t i) {
        intptr_t none = 0;
        opened_[i] = 0;
        tell(files_, FileEvent::Done, i, none);
    }

  private:
    const std::vector<std::string>& paths_;
    const FileHook& files_;
    std::vector<intptr_t> opened_;
    size_t next_ = 0;
    std::optional<File> file_;
    unsigned char tail_[kDictionarySize];
    size_t tailSize_ = 0;
    bool grew_ = false; // the current file grew while it was read
};

// Rewrites an entry's data uncompressed, for files that deflate does not shrink. The file
// is read a second time and must give the same bytes as the first. Only the reads are the
// source's failures; a failing write is the archive's, as anywhere else.
void storeInstead(OutputStream& out, EntryRecord& e, uint64_t dataStart, const SourceReader& reader,
                  size_t index, const Progress* progress, EntrySealer* sealer) {
    const std::string& path = reader.path(index);
    out.rewind(dataStart);
    if (sealer)
        sealer->restart();
    uint32_t crc = 0;
    uint64_t size = 0;
    const auto sourceRead = [&](auto step) {
        try {
            return step();
        } catch (const IoError& failure) {
            sourceFailure(failure.what());
        }
    };
    File file = sourceRead([&] { return reader.open(index); });
    std::vector<unsigned char> buffer(256 * 1024);
    for (;;) {
        const size_t n = sourceRead([&] { return file.read(buffer.data(), buffer.size()); });
        if (n == 0)
            break;
        if (progress)
            progress->poll(); // read a second time: no progress, but a Cancel still stops it
        crc = static_cast<uint32_t>(crc32(crc, buffer.data(), static_cast<uInt>(n)));
        size += n;
        if (sealer)
            sealer->seal(buffer.data(), n);
        out.write(buffer.data(), n);
    }
    if (crc != e.crc || size != e.uncompressedSize)
        sourceFailure(path + " changed while it was being packed");
    e.method = kMethodStored;
    e.compressedSize = size;
    e.checkPoints.clear();
}

} // namespace

std::vector<EntryRecord> writeArchive(File& archive, const std::vector<std::string>& paths,
                                      unsigned threads, const DeflateSettings& settings,
                                      Progress* progress, EntrySealer* sealer,
                                      const FileHook& files, uint64_t checkPointEvery) {
    OutputStream out(archive);
    std::vector<EntryRecord> entries;
    entries.reserve(paths.size());
    SourceReader reader(paths, files);
    BlockCompressor compressor(threads, threads * 2 + 2, settings);
    const size_t slots = compressor.slotCount();

    // Per block in flight: whether it starts a file and that file's record and index.
    struct Pending {
        bool starts = false;
        EntryRecord entry;
        std::optional<FileStamp> ended;
        size_t fileIndex = 0;
    };
    std::vector<Pending> pending(slots);
    EntryRecord current;
    uint64_t dataStart = 0;
    size_t submitted = 0;
    size_t written = 0;

    for (;;) {
        while (submitted - written < slots && reader.more()) {
            Block& b = compressor.slot(submitted % slots);
            Pending& p = pending[submitted % slots];
            p.fileIndex = reader.current();
            reader.fill(b, p.starts, p.entry, p.ended);
            compressor.submit(b);
            ++submitted;
        }
        if (submitted == written)
            break;
        Block& b = compressor.slot(written % slots);
        Pending& p = pending[written % slots];
        compressor.wait(b);
        ++written;
        if (b.failed)
            throw Failure(AZIP_ERR_INTERNAL, "deflate failed on " + reader.path(p.fileIndex));
        if (p.starts) {
            current = std::move(p.entry);
            current.localOffset = out.position();
            current.encrypted = sealer != nullptr;
            out.write(localHeader(current));
            if (sealer)
                out.write(sealer->begin());
            dataStart = out.position();
        }
        // A block other than a file's first starts on a byte between deflate blocks, after
        // a full dictionary of the file's data.
        if (!p.starts && !sealer && checkPointEvery > 0 &&
            current.uncompressedSize % checkPointEvery == 0)
            current.checkPoints.push_back(
                {current.uncompressedSize, current.compressedSize,
                 std::vector<unsigned char>(b.dictionary.get(),
                                            b.dictionary.get() + b.dictionarySize)});
        if (sealer)
            sealer->seal(b.output.get(), b.outputSize);
        out.write(b.output.get(), b.outputSize);
        if (progress)
            progress->advance(b.inputSize);
        current.crc = static_cast<uint32_t>(crc32_combine(current.crc, b.crc, b.inputSize));
        current.compressedSize += b.outputSize;
        current.uncompressedSize += b.inputSize;
        if (!b.last)
            continue;
        if (p.ended) {
            // The local header keeps the length it was first written with.
            if (hasUnixTime(current) != hasUnixTime(*p.ended))
                current.localUnixTime = hasUnixTime(current);
            current.stamp = *p.ended;
        }
        if (current.compressedSize >= current.uncompressedSize)
            storeInstead(out, current, dataStart, reader, p.fileIndex, progress, sealer);
        if (sealer) {
            out.write(sealer->end());
            current.compressedSize += aes::kOverhead;
        }
        if (!current.zip64Local && current.uncompressedSize >= kMax32)
            sourceFailure(reader.path(p.fileIndex) + " grew while it was being packed");
        out.patch(current.localOffset, localHeader(current));
        entries.push_back(std::move(current));
        reader.done(p.fileIndex);
    }

    const uint64_t cdOffset = out.position();
    for (const EntryRecord& e : entries)
        out.write(centralHeader(e));
    const uint64_t cdSize = out.position() - cdOffset;
    out.write(endRecords(entries.size(), cdOffset, cdSize));
    out.finish();
    return entries;
}

} // namespace ch::azip
