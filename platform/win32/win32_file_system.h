#pragma once
// FileSystem on the Win32 wide-character API. Paths arrive as ANSI text and are converted
// with the system code page; errors carry the runtime's numbers and name the path.
#include "platform/file_system.h"

namespace ch {

class Win32FileSystem : public FileSystem {
  public:
    void copyFile(const std::string& source, const std::string& destination,
                  CopyFlush flush = CopyFlush::ToDisk) override;
    std::string copyToTemporary(const std::string& source, const std::string& destination) override;
    void moveOver(const std::string& temporary, const std::string& destination) override;
    void deleteFile(const std::string& path) override;
    void deleteByPattern(const std::string& pattern) override;
    void makeFolder(const std::string& path) override;
    void removeFolder(const std::string& path) override;
    std::string findFirstFile(const std::string& pattern) override;
    bool folderExists(const std::string& path) override;
    bool fileExists(const std::string& path) override;
    bool fileInUse(const std::string& path) override;
    std::vector<std::string> listFolders(const std::string& folder) override;
    std::vector<FolderEntry> listEntries(const std::string& folder) override;
    std::vector<std::string> listFiles(const std::string& folder,
                                       const std::string& patterns) override;
    std::vector<DriveInfo> drives() override;
    std::string currentFolder(char driveLetter) override;
    std::string readAll(const std::string& path) override;
    void writeAll(const std::string& path, const std::string& bytes) override;
    void appendText(const std::string& path, const std::string& bytes) override;
    int64_t modifiedTime(const std::string& path) override;
    void checkReadable(const std::string& path) override;
    // win32_backup_files.cpp
    uint64_t fileSize(const std::string& path) override;
    std::string readPart(const std::string& path, uint64_t offset, size_t size) override;
    void writeNewFile(const std::string& path, const std::string& bytes) override;
    void rename(const std::string& from, const std::string& to) override;
    void checkNotInUse(const std::string& path) override;
    uint64_t freeBytes(const std::string& folder) override;
    LeadByteTest leadByteTest() const override;
    bool ansiFromUtf8(const std::string& utf8, std::string& ansi) const override;
    std::string caseFolded(const std::string& name) const override;
};

} // namespace ch
