#pragma once
// The archiving library as the engine sees it.
#include <cstdint>
#include <functional>
#include <string>

namespace ch {

// How far addZIP has got, as the library tells it: stage 1 packing, 2 checking the written
// archive, doneKiB of totalKiB kibibytes. Returning false asks addZIP to stop; it then changes
// nothing and returns AZIP_ERR_CANCELLED (7). Called on any of the library's threads, one call
// at a time.
using ArchiveProgress = std::function<bool(int32_t stage, uint32_t doneKiB, uint32_t totalKiB)>;

// The four entries of azip32.dll, bound by name on first call (48 no DLL, 453 no entry), and
// the fifth that later versions have.
class Archiver {
  public:
    virtual ~Archiver() = default;
    virtual int32_t addZIP_Initialise() = 0;
    virtual int32_t addZIP_ArchiveName(const std::string& archivePath) = 0;
    virtual int32_t addZIP_IncludeListFile(const std::string& listFilePath) = 0;
    virtual int32_t addZIP() = 0;
    // What the following calls of addZIP tell how far they are; an empty one for none. False
    // when the library cannot tell (a version without the entry, or none loaded): addZIP then
    // works as before, unreported and not cancellable. Never throws.
    virtual bool addZIP_SetProgress(ArchiveProgress progress) = 0;
    // The password (UTF-8) that the following calls of addZIP encrypt every entry with; empty
    // for none. False when the library cannot encrypt (a version without the entry, or none
    // loaded): a caller that wanted encryption must then make no archive. Never throws.
    virtual bool addZIP_SetPassword(const std::string& password) = 0;
};

} // namespace ch
