#include "platform/win32/win32_archiver.h"

#include <windows.h>

#include "platform/ansi_path.h"
#include "platform/win32/win32_text.h"

namespace ch {
namespace {

using NoArgument = int32_t(WINAPI*)();
using TextArgument = int32_t(WINAPI*)(const char*);

std::string dllPathIn(const std::string& folder) {
    if (!folder.empty() && lastSeparator(folder, "\\", isAnsiLeadByte) == folder.size() - 1)
        return folder + "azip32.dll";
    return folder + "\\azip32.dll";
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
    return dll_.bind<NoArgument>("addZIP")();
}

} // namespace ch
