// The four exported entries. They only keep copies of the two names and hand them to
// makeArchive; one call runs at a time.
#include <mutex>
#include <string>

#include "azip32/azip32.h"
#include "azip32/make_archive.h"

namespace {

struct Settings {
    std::mutex mutex;
    std::string archivePath;
    std::string listPath;
};

Settings& settings() {
    static Settings s;
    return s;
}

int32_t setName(std::string& target, const char* text) {
    std::lock_guard lock(settings().mutex);
    try {
        target = text ? text : "";
    } catch (...) {
        target.clear();
        return AZIP_ERR_INTERNAL;
    }
    return target.empty() ? AZIP_ERR_NOT_SET : AZIP_OK;
}

} // namespace

extern "C" {

int32_t AZIP_API addZIP_Initialise(void) {
    std::lock_guard lock(settings().mutex);
    settings().archivePath.clear();
    settings().listPath.clear();
    return AZIP_OK;
}

int32_t AZIP_API addZIP_ArchiveName(const char* archivePath) {
    return setName(settings().archivePath, archivePath);
}

int32_t AZIP_API addZIP_IncludeListFile(const char* listFilePath) {
    return setName(settings().listPath, listFilePath);
}

int32_t AZIP_API addZIP(void) {
    std::lock_guard lock(settings().mutex);
    return ch::azip::makeArchive(settings().archivePath, settings().listPath).code;
}

} // extern "C"
