// The exported entries. They only keep copies of the two names, the password and the progress
// callback and hand them to makeArchive; one call runs at a time. addZIP_Make and
// addZIP_MakeOnDemand keep nothing.
#include <algorithm>
#include <mutex>
#include <string>

#include "azip32/azip32.h"
#include "azip32/crypto.h"
#include "azip32/make_archive.h"

namespace {

struct Settings {
    std::mutex mutex;
    std::string archivePath;
    std::string listPath;
    std::string password;
    AZIP_PROGRESS_CALLBACK progress = nullptr;
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

void forgetPassword() {
    std::string& p = settings().password;
    ch::crypto::wipe(p.data(), p.size());
    p.clear();
}

uint32_t kibibytes(uint64_t bytes) {
    return static_cast<uint32_t>(std::min<uint64_t>(bytes >> 10, UINT32_MAX));
}

// addZIP_Make and addZIP_MakeOnDemand: everything comes as arguments and nothing is kept.
int32_t makeWithArguments(const char* archivePath, const char* listFilePath, const char* password,
                          AZIP_PROGRESS_CONTEXT_CALLBACK callback, void* context,
                          const ch::azip::FileHook& files) {
    if (!archivePath || !*archivePath || !listFilePath || !*listFilePath)
        return AZIP_ERR_NOT_SET;
    ch::azip::ProgressCallback progress;
    if (callback)
        progress = [callback, context](ch::azip::Stage stage, uint64_t done, uint64_t total) {
            return callback(context, static_cast<int32_t>(stage), kibibytes(done),
                            kibibytes(total)) == 0;
        };
    std::string secret;
    int32_t result = AZIP_ERR_INTERNAL;
    try {
        secret = password ? password : "";
        result =
            ch::azip::makeArchive(archivePath, listFilePath, 0, {}, progress, secret, files).code;
    } catch (...) {
    }
    ch::crypto::wipe(secret.data(), secret.size());
    return result;
}

// addZIP_MakeOnDemandOpened and addZIP_MakeOnDemandGrowing. A caller of the first never hears
// AZIP_FILE_AT_END: every file it hands over is whole.
int32_t makeWithOpenedFiles(const char* archivePath, const char* listFilePath, const char* password,
                            AZIP_PROGRESS_CONTEXT_CALLBACK callback,
                            AZIP_OPENED_FILE_CALLBACK files, void* context, bool growing) {
    if (!files)
        return AZIP_ERR_NOT_SET;
    return makeWithArguments(
        archivePath, listFilePath, password, callback, context,
        [files, context, growing](ch::azip::FileEvent event, size_t index, intptr_t& opened) {
            if (event == ch::azip::FileEvent::AtEnd && !growing)
                return true;
            return files(context, static_cast<int32_t>(event), static_cast<uint32_t>(index),
                         &opened) == 0;
        });
}

} // namespace

extern "C" {

int32_t AZIP_API addZIP_Initialise(void) {
    std::lock_guard lock(settings().mutex);
    settings().archivePath.clear();
    settings().listPath.clear();
    forgetPassword();
    settings().progress = nullptr;
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
    ch::azip::ProgressCallback progress;
    if (AZIP_PROGRESS_CALLBACK callback = settings().progress)
        progress = [callback](ch::azip::Stage stage, uint64_t done, uint64_t total) {
            return callback(static_cast<int32_t>(stage), kibibytes(done), kibibytes(total)) == 0;
        };
    return ch::azip::makeArchive(settings().archivePath, settings().listPath, 0, {}, progress,
                                 settings().password)
        .code;
}

int32_t AZIP_API addZIP_SetProgress(AZIP_PROGRESS_CALLBACK callback) {
    std::lock_guard lock(settings().mutex);
    settings().progress = callback;
    return AZIP_OK;
}

int32_t AZIP_API addZIP_SetPassword(const char* password) {
    std::lock_guard lock(settings().mutex);
    forgetPassword();
    try {
        settings().password = password ? password : "";
    } catch (...) {
        return AZIP_ERR_INTERNAL;
    }
    return AZIP_OK;
}

int32_t AZIP_API addZIP_Make(const char* archivePath, const char* listFilePath,
                             const char* password, AZIP_PROGRESS_CONTEXT_CALLBACK callback,
                             void* context) {
    return makeWithArguments(archivePath, listFilePath, password, callback, context, {});
}

int32_t AZIP_API addZIP_MakeOnDemand(const char* archivePath, const char* listFilePath,
                                     const char* password, AZIP_PROGRESS_CONTEXT_CALLBACK callback,
                                     AZIP_FILE_CALLBACK files, void* context) {
    if (!files)
        return AZIP_ERR_NOT_SET;
    return makeWithArguments(archivePath, listFilePath, password, callback, context,
                             [files, context](ch::azip::FileEvent event, size_t index, intptr_t&) {
                                 return files(context, static_cast<int32_t>(event),
                                              static_cast<uint32_t>(index)) == 0;
                             });
}

int32_t AZIP_API addZIP_MakeOnDemandOpened(const char* archivePath, const char* listFilePath,
                                           const char* password,
                                           AZIP_PROGRESS_CONTEXT_CALLBACK callback,
                                           AZIP_OPENED_FILE_CALLBACK files, void* context) {
    return makeWithOpenedFiles(archivePath, listFilePath, password, callback, files, context,
                               false);
}

int32_t AZIP_API addZIP_MakeOnDemandGrowing(const char* archivePath, const char* listFilePath,
                                            const char* password,
                                            AZIP_PROGRESS_CONTEXT_CALLBACK callback,
                                            AZIP_OPENED_FILE_CALLBACK files, void* context) {
    return makeWithOpenedFiles(archivePath, listFilePath, password, callback, files, context, true);
}

} // extern "C"
