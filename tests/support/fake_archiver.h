#pragma once
// An Archiver that records every call with its argument and answers from a script. It can
// play a missing DLL (48) or a missing entry (453), and, given a MemoryFileSystem, read the
// list file at makeArchive time and write a stand-in archive, so tests see what the library
// saw.
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/archiver.h"

namespace ch::test {

class MemoryFileSystem;

struct ArchiverCall {
    std::string entry;    // "addZIP_Initialise" or "makeArchive"
    std::string argument; // makeArchive's archive path, empty for addZIP_Initialise
};

class FakeArchiver : public Archiver {
  public:
    FakeArchiver() = default;
    explicit FakeArchiver(MemoryFileSystem& fs) : fs_(&fs) {}

    int32_t addZIP_Initialise() override;
    // With a MemoryFileSystem, tells the progress as the library does: each stage at its
    // start, after each listed file and at its end, in KiB of the listed files; a stop leaves
    // no archive and returns AZIP_ERR_CANCELLED.
    int32_t makeArchive(const ArchiveRequest& request, const ArchiveProgress& progress) override;
    bool canEncrypt() override { return passwordEntry && !missingDll_; }
    bool canMakeOnDemand() override { return onDemandEntry && !missingDll_; }
    bool canReadGrowingFiles() override { return growingEntry && canMakeOnDemand(); }

    // Every request makeArchive was given, in order.
    std::vector<ArchiveRequest> requests;
    // False plays a library that cannot encrypt: a request with a password makes nothing, as
    // with a missing DLL.
    bool passwordEntry = true;
    // False plays a library that cannot tell its progress.
    bool progressEntry = true;
    // True plays a library that makes an archive on demand: a request's file hook hears of
    // each listed file (Wanted before it is read, Done after) and may stop it.
    bool onDemandEntry = false;
    // True, with onDemandEntry, plays a library that reads on through a handed-over file
    // still being written: after each such file it asks AtEnd, which must find it whole.
    bool growingEntry = false;

    // Every entry throws 48, as when azip32.dll cannot be loaded.
    void dllMissing() { missingDll_ = true; }
    // This entry throws 453, as when the DLL lacks it.
    void entryMissing(const std::string& entry) { missingEntries_.push_back(entry); }
    // Results per entry, used in order; 0 once the script of an entry is used up.
    std::map<std::string, std::deque<int32_t>> results;
    // Runs inside makeArchive before it returns (for a test to look at the disk at that
    // moment).
    std::function<void()> duringAddZip;

    std::vector<ArchiverCall> calls;
    std::vector<std::string> entriesCalled() const;
    // With a MemoryFileSystem: the list file's text and, per listed path, whether that file
    // existed when makeArchive read it. The stand-in archive holds the bare names, one per line.
    std::string listFileAtAddZip;
    std::vector<std::pair<std::string, bool>> listedAtAddZip;
    // On demand, the listed files the program handed over open, by their index.
    std::vector<uint32_t> handedOver;

  private:
    int32_t call(const std::string& entry, const std::string& argument);
    MemoryFileSystem* fs_ = nullptr;
    bool missingDll_ = false;
    std::vector<std::string> missingEntries_;
};

} // namespace ch::test
