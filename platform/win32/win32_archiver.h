#pragma once
#include "platform/services.h"
#include "platform/win32/win32_dll_binding.h"

namespace ch {

// The entries of azip32.dll, loaded by full path from one folder (by default the program
// folder) and bound by name on the first call of each.
class Win32Archiver : public Archiver {
  public:
    explicit Win32Archiver(const std::string& folder);
    int32_t addZIP_Initialise() override;
    int32_t addZIP_ArchiveName(const std::string& archivePath) override;
    int32_t addZIP_IncludeListFile(const std::string& listFilePath) override;
    int32_t addZIP() override;
    bool addZIP_SetProgress(ArchiveProgress progress) override;
    bool addZIP_SetPassword(const std::string& password) override;

    // The full path of the DLL this archiver loads.
    const std::string& libraryPath() const { return dll_.library(); }

  private:
    DllBinding dll_;
    ArchiveProgress progress_;
};

} // namespace ch
