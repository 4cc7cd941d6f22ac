// POSIX files for the native build (tests and benchmarks).
#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <libgen.h>
#include <sys/stat.h>
#include <unistd.h>

#include "azip32/entry_name.h"
#include "azip32/file_io.h"

namespace ch::azip {
namespace {

constexpr intptr_t kClosed = -1;

[[noreturn]] void fail(const char* what, const std::string& path) {
    throw IoError(std::string(what) + " " + path + ": " + std::strerror(errno));
}

FileStamp stampOf(time_t t) {
    FileStamp s;
    s.unixTime = t;
    struct tm local;
    if (!localtime_r(&t, &local) || local.tm_year < 80)
        return s; // before 1980 DOS dates cannot say it; keep the earliest
    if (local.tm_year > 207)
        local = tm{59, 59, 23, 31, 11, 207, 0, 0, 0, 0, nullptr};
    s.dosTime =
        static_cast<uint16_t>((local.tm_hour << 11) | (local.tm_min << 5) | (local.tm_sec / 2));
    s.dosDate = static_cast<uint16_t>(((local.tm_year - 80) << 9) | ((local.tm_mon + 1) << 5) |
                                      local.tm_mday);
    return s;
}

std::string folderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

} // namespace

File File::openRead(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        fail("cannot open", path);
    struct stat st;
    if (fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd);
        errno = EISDIR;
        fail("cannot open", path);
    }
    return File(fd, path);
}

File File::createNew(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0)
        fail("cannot create", path);
    return File(fd, path);
}

File File::borrow(intptr_t handle, const std::string& path) {
    if (::lseek(static_cast<int>(handle), 0, SEEK_SET) < 0)
        fail("cannot read", path);
    return File(handle, path, false);
}

File::File(File&& other) noexcept
    : handle_(other.handle_), path_(std::move(other.path_)), owned_(other.owned_) {
    other.handle_ = kClosed;
}

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        if (handle_ != kClosed && owned_)
            ::close(static_cast<int>(handle_));
        handle_ = other.handle_;
        path_ = std::move(other.path_);
        owned_ = other.owned_;
        other.handle_ = kClosed;
    }
    return *this;
}

File::~File() {
    if (handle_ != kClosed && owned_)
        ::close(static_cast<int>(handle_));
}

size_t File::read(void* buffer, size_t size) {
    for (;;) {
        const ssize_t n = ::read(static_cast<int>(handle_), buffer, size);
        if (n >= 0)
            return static_cast<size_t>(n);
        if (errno != EINTR)
            fail("cannot read", path_);
    }
}

void File::readAt(uint64_t offset, void* buffer, size_t size) {
    auto* p = static_cast<char*>(buffer);
    while (size > 0) {
        const ssize_t n = ::pread(static_cast<int>(handle_), p, size, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            fail("cannot read", path_);
        if (n == 0)
            throw IoError("unexpected end of " + path_);
        p += n;
        size -= static_cast<size_t>(n);
        offset += static_cast<uint64_t>(n);
    }
}

void File::writeAt(uint64_t offset, const void* data, size_t size) {
    const auto* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::pwrite(static_cast<int>(handle_), p, size, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            fail("cannot write", path_);
        p += n;
        size -= static_cast<size_t>(n);
        offset += static_cast<uint64_t>(n);
    }
}

void File::truncate(uint64_t size) {
    if (::ftruncate(static_cast<int>(handle_), static_cast<off_t>(size)) != 0)
        fail("cannot set the size of", path_);
}

void File::sync() {
    if (::fsync(static_cast<int>(handle_)) != 0)
        fail("cannot flush", path_);
}

uint64_t File::size() {
    struct stat st;
    if (fstat(static_cast<int>(handle_), &st) != 0)
        fail("cannot query", path_);
    return static_cast<uint64_t>(st.st_size);
}

FileStamp File::stamp() {
    struct stat st;
    if (fstat(static_cast<int>(handle_), &st) != 0)
        fail("cannot query", path_);
    return stampOf(st.st_mtime);
}

void File::close() {
    const int fd = static_cast<int>(handle_);
    handle_ = kClosed;
    if (fd != kClosed && owned_ && ::close(fd) != 0)
        fail("cannot close", path_);
}

void removeFile(const std::string& path) noexcept {
    ::unlink(path.c_str());
}

void replaceFile(const std::string& from, const std::string& to) {
    if (::rename(from.c_str(), to.c_str()) != 0)
        fail("cannot rename to", to);
    // The rename itself lives in the folder; flush it so it survives a crash.
    const int dir = ::open(folderOf(to).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}

bool isSystemLeadByte(unsigned char) {
    return false;
}

std::string systemNameToUtf8(const std::string& name) {
    return latin1OrUtf8ToUtf8(name);
}

} // namespace ch::azip
