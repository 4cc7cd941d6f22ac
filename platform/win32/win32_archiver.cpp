#include "platform/win32/win32_archiver.h"

#include <windows.h>

#include <atomic>
#include <mutex>

#include "platform/ansi_path.h"
#include "platform/runtime_error.h"
#include "platform/win32/win32_text.h"

namespace ch {
namespace {

using NoArgument = int32_t(WINAPI*)();
using TextArgument = int32_t(WINAPI*)(const char*);
using ProgressCallback = int32_t(CALLBACK*)(int32_t stage, uint32_t doneKiB, uint32_t totalKiB);
using ProgressArgument = int32_t(WINAPI*)(ProgressCallback);

const char* const kSetProgress = "addZIP_SetProgress";

std::string dllPathIn(const std::string& folder) {
    if (!folder.empty() && lastSeparator(folder, "\\", isAnsiLeadByte) == folder.size() - 1)
        return folder + "azip32.dll";
    return folder + "\\azip32.dll";
}

// The library's callback carries no context, so the progress of the addZIP under way waits in
// one slot of the process, set only for that call. One such call at a time: the library's
// settings are the process's too.
std::mutex reportingAddZip;
std::atomic<const ArchiveProgress*> progressSlot{nullptr};

int32_t CALLBACK progressOfAddZip(int32_t stage, uint32_t doneKiB, uint32_t totalKiB) {
    const ArchiveProgress* progress = progressSlot.load();
    if (!progress)
        return 0;
    // Nothing may unwind through the library: a hook that fails stops the archive instead.
    try {
        return (*progress)(stage, doneKiB, totalKiB) ? 0 : 1;
    } catch (...) {
        return 1;
    }
}

} // namespace

Win32Archiver::Win32Archiver(const std::string& folder) : dll_(dllPathIn(folder)) {}

int32_t Win32Archiver::addZIP_Initialise() {
    return dll_.bind<NoArgument>("addZIP_Initialise")();
}

int32_t Win32Archiver::addZIP_ArchiveName(const std::string& archivePath) {
    return dll_.bind<TextArgument>("addZIP_ArchiveName")(archivePath.c_str());
}

int32_t Win32Archiver::addZIP_IncludeListFile(const std::string& listFilePath) {
    return dll_.bind<TextArgument>("addZIP_IncludeListFile")(listFilePath.c_str());
}

int32_t Win32Archiver::addZIP() {
    const NoArgument addZip = dll_.bind<NoArgument>("addZIP");
    if (!progress_)
        return addZip();
    ProgressArgument setProgress = nullptr;
    try {
        setProgress = dll_.bind<ProgressArgument>(kSetProgress);
    } catch (const RuntimeError&) {
        return addZip(); // an older library: no progress, and the archive is made as before
    }
    const std::lock_guard<std::mutex> alone(reportingAddZip);
    progressSlot.store(&progress_);
    setProgress(&progressOfAddZip);
    const int32_t result = addZip();
    setProgress(nullptr);
    progressSlot.store(nullptr);
    return result;
}

bool Win32Archiver::addZIP_SetPassword(const std::string& password) {
    try {
        dll_.bind<TextArgument>("addZIP_SetPassword")(password.c_str());
        return true;
    } catch (const RuntimeError&) {
        return false;
    }
}

bool Win32Archiver::addZIP_SetProgress(ArchiveProgress progress) {
    progress_ = std::move(progress);
    try {
        dll_.entry(kSetProgress);
        return true;
    } catch (const RuntimeError&) {
        return false;
    }
}

} // namespace ch
