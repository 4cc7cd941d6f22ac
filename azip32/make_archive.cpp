#include "azip32/make_archive.h"

#include <future>
#include <new>
#include <optional>

#include "azip32/archive_check.h"
#include "azip32/archive_writer.h"
#include "azip32/azip32.h"
#include "azip32/block_compressor.h"
#include "azip32/failure.h"
#include "azip32/file_io.h"
#include "azip32/list_file.h"
#include "azip32/temporary_name.h"

namespace ch::azip {
namespace {

// A new file beside the archive, so the final rename stays on one volume.
File createTemporary(const std::string& archivePath, std::string& tempPath) {
    std::optional<IoError> lastError;
    for (int attempt = 0; attempt < 100; ++attempt) {
        tempPath = temporaryArchivePath(archivePath, attempt);
        try {
            return File::createNew(tempPath);
        } catch (const IoError& e) {
            lastError = e;
        }
    }
    tempPath.clear();
    throw Failure(AZIP_ERR_WRITE, lastError->what());
}

// The bytes the packing will read, for a progress display; asked only when one listens.
uint64_t sourceBytes(const std::vector<std::string>& paths) {
    uint64_t total = 0;
    for (const std::string& path : paths) {
        try {
            total += File::openRead(path).size();
        } catch (const IoError& e) {
            throw Failure(AZIP_ERR_SOURCE_FILE, e.what());
        }
    }
    return total;
}

uint64_t dataBytes(const std::vector<EntryRecord>& entries) {
    uint64_t total = 0;
    for (const EntryRecord& e : entries)
        total += e.compressedSize;
    return total;
}

void writeCheckAndReplace(const std::string& archivePath, const std::vector<std::string>& paths,
                          unsigned threads, const DeflateSettings& settings,
                          const ProgressCallback& callback, const std::string& password,
                          const FileHook& files, std::string& tempPath) {
    Progress progress(callback);
    // Files made as they are wanted cannot be measured first.
    progress.begin(Stage::Packing, callback && !files ? sourceBytes(paths) : 0);
    File temp = createTemporary(archivePath, tempPath);
    std::vector<EntryRecord> entries;
    std::optional<EntrySealer> sealer;
    if (!password.empty())
        sealer.emplace(password);
    try {
        entries = writeArchive(temp, paths, threads, settings, &progress,
                               sealer ? &*sealer : nullptr, files);
    } catch (const IoError& e) {
        throw Failure(AZIP_ERR_WRITE, e.what());
    }
    progress.finish();
    progress.begin(Stage::Checking, dataBytes(entries));
    {
        // The disk takes the archive while the check reads it back from the cache: the wait
        // for the one overlaps the work of the other. Both end before the archive is put in
        // place; the future's end waits for the flush also when the check fails.
        std::future<void> flushed = std::async(std::launch::async, [&temp] {
            temp.sync();
            temp.close();
        });
        checkArchive(tempPath, entries, threads, &progress, password);
        try {
            flushed.get();
        } catch (const IoError& e) {
            throw Failure(AZIP_ERR_WRITE, e.what());
        }
    }
    // The last moment a Cancel can leave the old archive in place.
    progress.finish();
    try {
        replaceFile(tempPath, archivePath);
    } catch (const IoError& e) {
        throw Failure(AZIP_ERR_WRITE, e.what());
    }
    tempPath.clear();
}

} // namespace

ArchiveResult makeArchive(const std::string& archivePath, const std::string& listPath,
                          unsigned threads, const DeflateSettings& settings,
                          const ProgressCallback& progress, const std::string& password,
                          const FileHook& files) noexcept {
    if (archivePath.empty() || listPath.empty())
        return {AZIP_ERR_NOT_SET, "the archive name or the list file is not set"};
    if (threads == 0)
        threads = BlockCompressor::defaultThreadCount();
    std::string tempPath;
    ArchiveResult result;
    try {
        writeCheckAndReplace(archivePath, readListFile(listPath), threads, settings, progress,
                             password, files, tempPath);
    } catch (const Failure& f) {
        result = {f.code(), f.what()};
    } catch (const std::bad_alloc&) {
        result = {AZIP_ERR_INTERNAL, "out of memory"};
    } catch (const std::exception& e) {
        result = {AZIP_ERR_INTERNAL, e.what()};
    }
    if (!tempPath.empty())
        removeFile(tempPath);
    return result;
}

} // namespace ch::azip
