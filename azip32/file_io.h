#pragma once
// The library's only contact with the operating system's files: POSIX natively, Win32 on
// Windows (file_io_posix.cpp / file_io_win32.cpp). Failures throw IoError with the system's
// reason in words; callers turn them into result codes.
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

namespace ch::azip {

class IoError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// A file's modification time, both as Unix seconds and in local DOS form.
struct FileStamp {
    int64_t unixTime = 0;
    uint16_t dosTime = 0;
    uint16_t dosDate = (1 << 5) | 1; // 1980-01-01, the earliest DOS date
};

class File {
  public:
    // Opens an existing file for reading, shared with other readers and writers.
    static File openRead(const std::string& path);
    // Creates a new file for writing; fails if the name exists (so a temp name is never
    // shared with another writer).
    static File createNew(const std::string& path);
    // Reads from its start a file its caller holds open (a handle; a descriptor natively),
    // which stays the caller's: it is never closed here.
    static File borrow(intptr_t handle, const std::string& path);

    File(File&& other) noexcept;
    File& operator=(File&& other) noexcept;
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    ~File();

    // Reads up to size bytes at the current position; 0 only at the end of the file.
    size_t read(void* buffer, size_t size);
    // Reads exactly size bytes at offset, or throws.
    void readAt(uint64_t offset, void* buffer, size_t size);
    void writeAt(uint64_t offset, const void* data, size_t size);
    void truncate(uint64_t size);
    // Pushes written data to the disk.
    void sync();
    uint64_t size();
    FileStamp stamp();
    // Closes explicitly, so a failing close is reported; the destructor closes quietly.
    void close();

  private:
    explicit File(intptr_t handle, std::string path, bool owned = true)
        : handle_(handle), path_(std::move(path)), owned_(owned) {}
    intptr_t handle_;
    std::string path_;
    bool owned_;
};

// Removes a file; quiet, because it only cleans up.
void removeFile(const std::string& path) noexcept;
// Renames from over to, replacing an existing file in one step, and makes the rename durable.
void replaceFile(const std::string& from, const std::string& to);
// Whether a byte starts a double-byte character in the system's ANSI code page. Never in
// the native build, whose names are UTF-8 or Latin-1, where 0x5C is always a backslash.
bool isSystemLeadByte(unsigned char byte);
// A name from a list file, in the system's ANSI code page, as UTF-8.
std::string systemNameToUtf8(const std::string& name);

} // namespace ch::azip
