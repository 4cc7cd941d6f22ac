#pragma once
// FileSystem on the Win32 wide-character API. Paths arrive as ANSI text and are converted
// with the system code page; errors carry the runtime's numbers and name the path.
#include "platform/file_system.h"
#include "platform/win32/win32_code_page.h"

namespace ch {

class Win32FileSystem : public FileSystem {
  public:
    Win32FileSystem() : FileSystem(systemCodePage()) {}
    // win32_file_copy.cpp
    std::string copyToTemporary(const std::string& source, const std::string& destination,
                                CopyFlush flush = CopyFlush::ToDisk,
                                const CopyProgress& progress = {}) override;
    std::unique_ptr<OpenCopy> copyToNew(const std::string& source, const std::string& destination,
                                        const CopyProgress& progress = {}) override;
    void moveOver(const std::string& temporary, const std::string& destination) override;
    void writeFile(const std::string& path, const std::string& bytes, WriteMode mode) override;
    // win32_file_system.cpp
    void deleteFile(const std::string& path) override;
    void makeFolder(const std::string& path) override;
    void removeFolder(const std::string& path) override;
    FileStatus status(const std::string& path) override;
    void setModifiedTime(const std::string& path, int64_t modified) override;
    std::vector<FolderEntry> listEntries(const std::string& folder) override;
    std::vector<DriveInfo> drives() override;
    std::string currentFolder(char driveLetter) override;
    std::string fullPath(const std::string& path) override;
    std::string resolvedPath(const std::string& path) override;
    std::optional<FileIdentity> identityOf(const std::string& path) override;
    // win32_backup_files.cpp
    void checkOpen(const std::string& path, OpenCheck how) override;
    std::string readPart(const std::string& path, uint64_t offset, size_t size) override;
    void rename(const std::string& from, const std::string& to) override;
    uint64_t freeBytes(const std::string& folder) override;
    // win32_copies_ahead.cpp
    std::unique_ptr<CopiesAhead> copiesAhead() override;
    std::optional<size_t> firstInUse(const std::vector<std::string>& files) override;
};

} // namespace ch
