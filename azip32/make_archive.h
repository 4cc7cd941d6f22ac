#pragma once
// The whole of addZIP: list file in, checked archive out, or nothing changed on disk.
#include <cstdint>
#include <string>

namespace ch::azip {

struct ArchiveResult {
    int32_t code = 0;   // AZIP_OK or an AZIP_ERR_ code
    std::string detail; // what failed and why, for tests and debugging
};

// threads 0 means one per core.
ArchiveResult makeArchive(const std::string& archivePath, const std::string& listPath,
                          unsigned threads = 0) noexcept;

} // namespace ch::azip
