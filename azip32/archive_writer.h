#pragma once
// Writes a whole ZIP archive for a list of files into an open, empty file.
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "azip32/deflate_encoder.h"
#include "azip32/entry_sealer.h"
#include "azip32/file_io.h"
#include "azip32/progress.h"
#include "azip32/zip_format.h"

namespace ch::azip {

// What a caller hears of each listed file, by its place in the list, on the thread that packs:
// Wanted just before the file is first opened (it must be there when the hook returns), Done
// once the library will not read it again (the caller may delete it). False stops the packing
// as a Cancel does. On Wanted the hook may set opened to the file open for reading, which is
// then read through that handle, never closed here, instead of being opened by name again.
// AtEnd comes when the reads through such a handle reach the end of what the file holds: a
// caller still writing the file sets opened to nonzero once more of it is there, or once it is
// whole, and the reads go on; left at 0, the file is whole. The entry's time is the file's when
// its reads end.
enum class FileEvent : int32_t { Wanted = 1, Done = 2, AtEnd = 3 };
using FileHook = std::function<bool(FileEvent event, size_t index, intptr_t& opened)>;

// Returns what was written, entry by entry, for the check that follows. Throws Failure
// (AZIP_ERR_SOURCE_FILE for a listed file, AZIP_ERR_CANCELLED when progress says stop) or
// IoError (writing the archive). Each block packed counts its bytes in progress. With a
// sealer every entry is encrypted. files, when given, hears of each listed file. A deflated
// entry gets a check point every checkPointEvery bytes of its data (a multiple of the block
// size; 0 for none).
constexpr uint64_t kCheckPointEvery = 32 * 1024 * 1024;
std::vector<EntryRecord> writeArchive(File& archive, const std::vector<std::string>& paths,
                                      unsigned threads, const DeflateSettings& settings = {},
                                      Progress* progress = nullptr, EntrySealer* sealer = nullptr,
                                      const FileHook& files = {},
                                      uint64_t checkPointEvery = kCheckPointEvery);

} // namespace ch::azip
