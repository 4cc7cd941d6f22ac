#pragma once
// The archiving library as the program sees it.
#include <cstdint>
#include <functional>
#include <limits>
#include <string>

namespace ch {

// How far the library has got: stage 1 packing, 2 checking the written archive, doneKiB of
// totalKiB kibibytes. Returning false asks it to stop; it then changes nothing and returns
// AZIP_ERR_CANCELLED (7). Called on any of the library's threads, one call at a time.
using ArchiveProgress = std::function<bool(int32_t stage, uint32_t doneKiB, uint32_t totalKiB)>;

// What the library says of a listed file in an archive made on demand.
enum class ListedFile {
    Wanted = 1, // it is about to open the file: the file must be there when the hook returns
    Done = 2,   // it will not read the file again: the file may go
    AtEnd = 3,  // its reads through the hook's handle reached the end of what the file holds
};
// Hears of the listed file at index (list order), on the thread that called makeArchive, a few
// files ahead of the packing. Returning false stops the library as a progress stop does. On
// Wanted the hook may set opened to the file open for reading: the library then reads it through
// that handle, which must stay open until the file's Done, instead of opening the file again.
// Such a file may still be being written, with a library that canReadGrowingFiles(): on AtEnd
// the hook waits until more of it is there, or it is whole, and sets opened to 1 for the reads
// to go on; left at 0, the file is whole.
using ListedFileHook = std::function<bool(ListedFile event, uint32_t index, intptr_t& opened)>;

// One archive to make. Named fields, not three text arguments in a row that a caller could
// swap without the compiler noticing.
struct ArchiveRequest {
    std::string archivePath;
    std::string listFilePath; // the staged paths, one a line
    std::string password;     // UTF-8: every entry is encrypted with it; empty for none
    // When set, the listed files need not exist when makeArchive starts: the hook makes each
    // as it is wanted. Only for a library that canMakeOnDemand(). The packing's progress then
    // has a total of 0 and counts the bytes packed.
    ListedFileHook files;
};

// makeArchive's result when a password was asked for and the library cannot encrypt (a version
// without the entries that take one, or none loaded): no archive was made, and the library
// was not asked for one. The library's own results are small numbers.
inline constexpr int32_t kArchiverCannotEncrypt = std::numeric_limits<int32_t>::min();

// azip32.dll, bound by name on first call (48 no DLL, 453 no entry).
class Archiver {
  public:
    virtual ~Archiver() = default;
    // The library's first entry, as the program calls it once at start.
    virtual int32_t addZIP_Initialise() = 0;
    // Makes one archive and returns the library's result (AZIP_OK or an AZIP_ERR_ code), or
    // kArchiverCannotEncrypt. progress, when not empty, hears how far it is and may stop it; a
    // library too old to tell works unreported and cannot be stopped. Leaves no password or
    // progress behind in the library.
    virtual int32_t makeArchive(const ArchiveRequest& request, const ArchiveProgress& progress) = 0;
    // Whether makeArchive can encrypt: false for a library too old to take a password, or one
    // that cannot be loaded. Asks the library for nothing; never throws.
    virtual bool canEncrypt() = 0;
    // Whether makeArchive takes a request's file hook: false for a library too old to, or one
    // that cannot be loaded. Asks the library for nothing; never throws.
    virtual bool canMakeOnDemand() = 0;
    // Whether the request's file hook may hand over a file still being written (see
    // ListedFileHook). Asks the library for nothing; never throws.
    virtual bool canReadGrowingFiles() { return false; }
};

} // namespace ch
