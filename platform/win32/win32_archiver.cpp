#include "platform/win32/win32_archiver.h"

#include <windows.h>

#include "platform/ansi_path.h"
#include "platform/runtime_error.h"
#include "platform/win32/win32_text.h"

namespace ch {
namespace {

using NoArgument = int32_t(WINAPI*)();
using TextArgument = int32_t(WINAPI*)(const char*);
using ProgressCallback = int32_t(CALLBACK*)(void* context, int32_t stage, uint32_t doneKiB,
                                            uint32_t totalKiB);
using MakeEntry = int32_t(WINAPI*)(const char* archivePath, const char* listFilePath,
                                   const char* password, ProgressCallback callback, void* context);
using FileCallback = int32_t(CALLBACK*)(void* context, int32_t event, uint32_t index);
using MakeOnDemandEntry = int32_t(WINAPI*)(const char* archivePath, const char* listFilePath,
                                           const char* password, ProgressCallback callback,
                                           FileCallback files, void* context);
using OpenedFileCallback = int32_t(CALLBACK*)(void* context, int32_t event, uint32_t index,
                                              intptr_t* opened);
using MakeOnDemandOpenedEntry = int32_t(WINAPI*)(const char* archivePath, const char* listFilePath,
                                                 const char* password, ProgressCallback callback,
                                                 OpenedFileCallback files, void* context);

// What the library's callbacks reach through their context pointer.
struct CallerHooks {
    const ArchiveProgress& progress;
    const ListedFileHook& files;
};

std::string dllPathIn(const std::string& folder) {
    if (!folder.empty() && lastSeparator(folder, "\\", isAnsiLeadByte) == folder.size() - 1)
        return folder + "azip32.dll";
    return folder + "\\azip32.dll";
}

// Nothing may unwind through the library: a hook that fails stops the archive instead.
template <typename Hook> int32_t callSafely(const Hook& hook) {
    try {
        return hook() ? 0 : 1;
    } catch (...) {
        return 1;
    }
}

int32_t CALLBACK reportProgress(void* context, int32_t stage, uint32_t doneKiB, uint32_t totalKiB) {
    const CallerHooks& hooks = *static_cast<const CallerHooks*>(context);
    return callSafely([&] { return hooks.progress(stage, doneKiB, totalKiB); });
}

int32_t CALLBACK reportOpenedFile(void* context, int32_t event, uint32_t index, intptr_t* opened) {
    const CallerHooks& hooks = *static_cast<const CallerHooks*>(context);
    return callSafely([&] { return hooks.files(static_cast<ListedFile>(event), index, *opened); });
}

// For a library that cannot take a file open: the hook's handle is not used.
int32_t CALLBACK reportFile(void* context, int32_t event, uint32_t index) {
    intptr_t unused = 0;
    return reportOpenedFile(context, event, index, &unused);
}

bool hasEntry(DllBinding& dll, const char* entry) {
    try {
        return dll.entry(entry) != nullptr;
    } catch (const RuntimeError&) {
        return false;
    }
}

} // namespace

Win32Archiver::Win32Archiver(const std::string& folder) : dll_(dllPathIn(folder)) {}

int32_t Win32Archiver::addZIP_Initialise() {
    return dll_.bind<NoArgument>("addZIP_Initialise")();
}

int32_t Win32Archiver::makeArchive(const ArchiveRequest& request, const ArchiveProgress& progress) {
    const CallerHooks hooks{progress, request.files};
    const char* password = request.password.empty() ? nullptr : request.password.c_str();
    for (const char* entry : {"addZIP_MakeOnDemandGrowing", "addZIP_MakeOnDemandOpened"})
        if (request.files && hasEntry(dll_, entry))
            return dll_.bind<MakeOnDemandOpenedEntry>(entry)(
                request.archivePath.c_str(), request.listFilePath.c_str(), password,
                progress ? &reportProgress : nullptr, &reportOpenedFile,
                const_cast<CallerHooks*>(&hooks));
    if (request.files)
        return dll_.bind<MakeOnDemandEntry>("addZIP_MakeOnDemand")(
            request.archivePath.c_str(), request.listFilePath.c_str(), password,
            progress ? &reportProgress : nullptr, &reportFile, const_cast<CallerHooks*>(&hooks));
    MakeEntry make = nullptr;
    try {
        make = dll_.bind<MakeEntry>("addZIP_Make");
    } catch (const RuntimeError&) {
        return makeWithOlderEntries(request);
    }
    return make(request.archivePath.c_str(), request.listFilePath.c_str(), password,
                progress ? &reportProgress : nullptr, const_cast<CallerHooks*>(&hooks));
}

bool Win32Archiver::canEncrypt() {
    return hasEntry(dll_, "addZIP_Make") || hasEntry(dll_, "addZIP_SetPassword");
}

bool Win32Archiver::canMakeOnDemand() {
    return hasEntry(dll_, "addZIP_MakeOnDemand");
}

bool Win32Archiver::canReadGrowingFiles() {
    return hasEntry(dll_, "addZIP_MakeOnDemandGrowing");
}

// The library keeps a password set this way until it is replaced: none is left behind.
int32_t Win32Archiver::makeWithOlderEntries(const ArchiveRequest& request) {
    TextArgument setPassword = nullptr;
    try {
        setPassword = dll_.bind<TextArgument>("addZIP_SetPassword");
    } catch (const RuntimeError&) {
        if (!request.password.empty())
            return kArchiverCannotEncrypt;
    }
    struct ForgetPassword {
        TextArgument setPassword;
        ~ForgetPassword() {
            if (setPassword)
                setPassword("");
        }
    } forget{setPassword};
    if (setPassword)
        setPassword(request.password.c_str());
    dll_.bind<TextArgument>("addZIP_ArchiveName")(request.archivePath.c_str());
    dll_.bind<TextArgument>("addZIP_IncludeListFile")(request.listFilePath.c_str());
    return dll_.bind<NoArgument>("addZIP")();
}

} // namespace ch
