#pragma once
// Reads ZIP archives made by this program or by any other ZIP tool, through FileSystem: the
// central directory, each entry's local header, and each entry's data inflated in full with
// its CRC-32 and size checked. Stored and deflated entries are read; anything else (other
// methods, encryption) is reported as an entry that cannot be read.
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/file_system.h"

namespace ch {

// The archive, or one entry of it, is damaged or cannot be read. entry is empty when the
// fault is in the archive as a whole.
class ZipDamage : public std::runtime_error {
  public:
    ZipDamage(std::string entry, const std::string& what)
        : std::runtime_error(what), entry_(std::move(entry)) {}
    const std::string& entry() const { return entry_; }

  private:
    std::string entry_;
};

struct ZipEntry {
    std::string name; // as stored, "/" separated
    uint16_t flags = 0;
    uint16_t method = 0;
    uint16_t dosTime = 0;
    uint16_t dosDate = 0;
    uint32_t crc = 0;
    uint64_t compressedSize = 0;
    uint64_t size = 0;
    uint64_t localOffset = 0;
    bool isFolder() const { return !name.empty() && name.back() == '/'; }
};

// CRC-32 of bytes, continuing from crc (0 to start).
uint32_t crc32Of(const std::string& bytes, uint32_t crc = 0);

class ZipReader {
  public:
    // Reads the end record and the whole central directory. Without an end record (a
    // truncated archive) the entries are found by walking their local headers from the start,
    // so that the entry where the archive breaks off can be named. Throws ZipDamage when the
    // archive cannot be read at all, RuntimeError when the file cannot be read.
    ZipReader(FileSystem& fs, std::string path);

    const std::vector<ZipEntry>& entries() const { return entries_; }
    // True when the central directory was missing and the entries come from local headers.
    bool centralDirectoryMissing() const { return centralDirectoryMissing_; }

    // Checks the entry's local header against its central directory header, inflates its
    // data and checks size and CRC-32. Each piece of data goes to sink when one is given.
    // Throws ZipDamage naming the entry, RuntimeError when the file cannot be read.
    void readEntry(const ZipEntry& entry,
                   const std::function<void(const std::string&)>& sink = {}) const;

  private:
    std::string readExactly(uint64_t offset, size_t size, const std::string& entry) const;
    void readCentralDirectory(uint64_t count, uint64_t cdOffset, uint64_t cdSize);
    void walkLocalHeaders();

    FileSystem& fs_;
    std::string path_;
    uint64_t fileSize_ = 0;
    std::vector<ZipEntry> entries_;
    bool centralDirectoryMissing_ = false;
};

} // namespace ch
