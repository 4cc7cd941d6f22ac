#pragma once
// Writes a whole ZIP archive for a list of files into an open, empty file.
#include <string>
#include <vector>

#include "azip32/deflate_encoder.h"
#include "azip32/entry_sealer.h"
#include "azip32/file_io.h"
#include "azip32/progress.h"
#include "azip32/zip_format.h"

namespace ch::azip {

// Returns what was written, entry by entry, for the check that follows. Throws Failure
// (AZIP_ERR_SOURCE_FILE for a listed file, AZIP_ERR_CANCELLED when progress says stop) or
// IoError (writing the archive). Each block packed counts its bytes in progress. With a
// sealer every entry is encrypted.
std::vector<EntryRecord> writeArchive(File& archive, const std::vector<std::string>& paths,
                                      unsigned threads, const DeflateSettings& settings = {},
                                      Progress* progress = nullptr, EntrySealer* sealer = nullptr);

} // namespace ch::azip
