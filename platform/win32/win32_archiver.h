#pragma once
#include "platform/archiver.h"
#include "platform/win32/win32_dll_binding.h"

namespace ch {

// The entries of azip32.dll, loaded by full path from one folder (by default the program
// folder) and bound by name on the first call of each.
class Win32Archiver : public Archiver {
  public:
    explicit Win32Archiver(const std::string& folder);
    int32_t addZIP_Initialise() override;
    // addZIP_MakeOnDemandGrowing (or, in a library without it, addZIP_MakeOnDemandOpened, or
    // addZIP_MakeOnDemand, which opens every file by name) for a request with a file hook;
    // else addZIP_Make, or, in a library without it, the entries that name the archive and
    // the list, the password when one is asked for, and addZIP (unreported: their progress
    // callback carries no context).
    int32_t makeArchive(const ArchiveRequest& request, const ArchiveProgress& progress) override;
    // Whether the library has addZIP_Make or addZIP_SetPassword.
    bool canEncrypt() override;
    // Whether the library has addZIP_MakeOnDemand.
    bool canMakeOnDemand() override;
    // Whether the library has addZIP_MakeOnDemandGrowing.
    bool canReadGrowingFiles() override;

    // The full path of the DLL this archiver loads.
    const std::string& libraryPath() const { return dll_.library(); }

  private:
    int32_t makeWithOlderEntries(const ArchiveRequest& request);

    DllBinding dll_;
};

} // namespace ch
