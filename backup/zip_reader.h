#pragma once
// Reads ZIP archives made by this program or by any other ZIP tool, through FileSystem: the
// central directory, each entry's local header, and each entry's data inflated in full with
// its CRC-32 and size checked. Stored and deflated entries are read, also inside WinZip's
// AES-256 encryption when a password is given; anything else (other methods, other
// encryption) is reported as an entry that cannot be read. Nothing the archive says
// about itself is taken on trust: the end records, the central directory and the local
// headers must agree, and entries must not share bytes, or the archive is damaged.
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/code_page.h"
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

// An encrypted entry cannot be read: no password was given, or the entry's password check
// says that it was encrypted with another. A damaged entry whose check happens to agree is
// found out by its authentication code, as damage.
class ZipPasswordError : public ZipDamage {
  public:
    ZipPasswordError(std::string entry, bool passwordGiven)
        : ZipDamage(std::move(entry), passwordGiven ? "the password is wrong"
                                                    : "it is encrypted and no password was given"),
          passwordGiven_(passwordGiven) {}
    bool passwordGiven() const { return passwordGiven_; }

  private:
    bool passwordGiven_;
};

struct ZipEntry {
    // As this system spells it: a name stored as UTF-8 is converted to the ANSI code page,
    // with "?" for a character that has no form there. "/" separated.
    std::string name;
    std::string storedName; // the bytes of the archive's headers
    // The UTF-8 spelling of a Unicode name field written for storedName; empty without one.
    // It is the entry's true name (storedName is then in some OEM code page).
    std::string unicodeName;
    bool nameFits = true; // false when the ANSI code page cannot spell the name
    uint16_t flags = 0;
    uint16_t method = 0;
    uint16_t dosTime = 0;
    uint16_t dosDate = 0;
    uint32_t crc = 0;
    uint64_t compressedSize = 0;
    uint64_t size = 0;
    uint64_t localOffset = 0;
    // WinZip AES (method 99): the extra field's version (1 or 2), key strength and real method.
    uint16_t aesVersion = 0;
    uint8_t aesStrength = 0;
    uint16_t aesMethod = 0;
    bool isEncrypted() const { return flags & 1; }
    bool isFolder() const { return !name.empty() && name.back() == '/'; }
};

// CRC-32 of bytes, continuing from crc (0 to start).
uint32_t crc32Of(const std::string& bytes, uint32_t crc = 0);

class ZipReader {
  public:
    // Reads the end records and the whole central directory, and checks that the entries'
    // local headers and data do not overlap. Without an end record (a truncated archive) the
    // entries are found by walking their local headers from the start, so that the entry
    // where the archive breaks off can be named. Throws ZipDamage when the archive cannot be
    // read at all or contradicts itself, RuntimeError when the file cannot be read.
    ZipReader(FileSystem& fs, const CodePage& codePage, std::string path);

    const std::vector<ZipEntry>& entries() const { return entries_; }
    // True when the central directory was missing and the entries come from local headers.
    bool centralDirectoryMissing() const { return centralDirectoryMissing_; }

    // Checks the entry's local header against its central directory header, inflates its
    // data and checks size and CRC-32 (and its data descriptor's, when it has one). Each piece of
    // data goes to sink when one is given. An encrypted entry is decrypted with the password and
    // its authentication code checked. Returns the CRC-32 of the data (which an AE-2 entry does
    // not record). Throws ZipPasswordError, ZipDamage naming the entry, RuntimeError when the
    // file cannot be read.
    uint32_t readEntry(const ZipEntry& entry,
                       const std::function<void(const std::string&)>& sink = {}) const;

    // The password of encrypted entries, as UTF-8 bytes; empty for none.
    void setPassword(std::string password) { password_ = std::move(password); }

  private:
    std::string readExactly(uint64_t offset, size_t size, const std::string& entry) const;
    void readCentralDirectory(uint64_t count, uint64_t cdOffset, uint64_t cdSize);
    void nameEntry(ZipEntry& z) const;
    void readExtraFields(ZipEntry& z, const std::string& extra) const;
    void checkNoOverlap() const;
    void checkDataDescriptor(const ZipEntry& entry, uint64_t at) const;
    void walkLocalHeaders();

    FileSystem& fs_;
    const CodePage& codePage_; // converts the names stored as UTF-8
    std::string path_;
    uint64_t fileSize_ = 0;
    uint64_t dataEnd_ = 0; // where entries' data must end: the central directory's start
    std::vector<ZipEntry> entries_;
    bool centralDirectoryMissing_ = false;
    std::string password_;
};

} // namespace ch
