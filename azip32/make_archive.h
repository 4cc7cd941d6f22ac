#pragma once
// The whole of addZIP: list file in, checked archive out, or nothing changed on disk.
#include <cstdint>
#include <string>

#include "azip32/archive_writer.h"
#include "azip32/deflate_encoder.h"
#include "azip32/progress.h"

namespace ch::azip {

struct ArchiveResult {
    int32_t code = 0;   // AZIP_OK or an AZIP_ERR_ code
    std::string detail; // what failed and why, for tests and debugging
};

// threads 0 means one per core. The library's entries always use the default settings;
// others are for measuring the encoder's speed against its size. progress, when given, hears
// of the packing and the check and may stop either (AZIP_ERR_CANCELLED, nothing changed).
// A password encrypts every entry (WinZip AES-256). files, when given, hears of each listed
// file as the packing reaches it, so that the caller can make it just then and remove it once
// packed: the packing's total is then not known beforehand (see Progress::begin).
ArchiveResult makeArchive(const std::string& archivePath, const std::string& listPath,
                          unsigned threads = 0, const DeflateSettings& settings = {},
                          const ProgressCallback& progress = {}, const std::string& password = {},
                          const FileHook& files = {}) noexcept;

} // namespace ch::azip
