#pragma once
// An Archiver that records every call with its argument and answers from a script. It can
// play a missing DLL (48) or a missing entry (453), and, given a MemoryFileSystem, read the
// list file at addZIP time and write a stand-in archive, so tests see what the library saw.
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/services.h"

namespace ch::test {

class MemoryFileSystem;

struct ArchiverCall {
    std::string entry;    // "addZIP_Initialise", "addZIP_ArchiveName" …
    std::string argument; // the text passed, empty for entries without one
};

class FakeArchiver : public Archiver {
  public:
    FakeArchiver() = default;
    explicit FakeArchiver(MemoryFileSystem& fs) : fs_(&fs) {}

    int32_t addZIP_Initialise() override;
    int32_t addZIP_ArchiveName(const std::string& archivePath) override;
    int32_t addZIP_IncludeListFile(const std::string& listFilePath) override;
    int32_t addZIP() override;
    // Not logged in calls. With a MemoryFileSystem, addZIP tells the progress as the library
    // does: each stage at its start, after each listed file and at its end, in KiB of the
    // listed files; a stop leaves no archive and returns AZIP_ERR_CANCELLED.
    bool addZIP_SetProgress(ArchiveProgress progress) override;

    // Not logged in calls: every password set, in order. passwordEntry false plays a library
    // without the entry.
    std::vector<std::string> passwordsSet;
    bool passwordEntry = true;
    bool addZIP_SetPassword(const std::string& password) override {
        if (passwordEntry)
            passwordsSet.push_back(password);
        return passwordEntry;
    }

    // Plays a library without the progress entry.
    bool progressEntry = true;
    int progressSets = 0;

    // Every entry throws 48, as when azip32.dll cannot be loaded.
    void dllMissing() { missingDll_ = true; }
    // This entry throws 453, as when the DLL lacks it.
    void entryMissing(const std::string& entry) { missingEntries_.push_back(entry); }
    // Results per entry, used in order; 0 once the script of an entry is used up.
    std::map<std::string, std::deque<int32_t>> results;
    // Runs inside addZIP before it returns (for a test to look at the disk at that moment).
    std::function<void()> duringAddZip;

    std::vector<ArchiverCall> calls;
    std::vector<std::string> entriesCalled() const;
    // With a MemoryFileSystem: the list file's text and, per listed path, whether that file
    // existed when addZIP ran. The stand-in archive holds the bare names, one per line.
    std::string listFileAtAddZip;
    std::vector<std::pair<std::string, bool>> listedAtAddZip;

  private:
    int32_t call(const std::string& entry, const std::string& argument);
    MemoryFileSystem* fs_ = nullptr;
    bool missingDll_ = false;
    std::vector<std::string> missingEntries_;
    std::string archiveName_, listFile_;
    ArchiveProgress progress_;
};

} // namespace ch::test
