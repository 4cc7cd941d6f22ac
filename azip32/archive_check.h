#pragma once
// Reads a written archive back from disk and checks it against what was meant to be in it:
// the end records, every central directory header, every local header, and every entry's
// data, decompressed in full with its CRC-32 and sizes compared.
#include <string>
#include <vector>

#include "azip32/progress.h"
#include "azip32/zip_format.h"

namespace ch::azip {

// Throws Failure(AZIP_ERR_CHECK) naming the first difference found, or
// Failure(AZIP_ERR_CANCELLED) when progress says stop; every byte of entry data read counts
// in progress. Encrypted entries are decrypted with password and their tags compared.
void checkArchive(const std::string& path, const std::vector<EntryRecord>& expected,
                  unsigned threads, Progress* progress = nullptr, const std::string& password = {});

} // namespace ch::azip
