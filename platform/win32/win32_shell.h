#pragma once
#include "platform/services.h"
#include "platform/win32/win32_dll_binding.h"

namespace ch {

// ShellExecuteA of shell32.dll, bound on the first call.
class Win32Shell : public Shell {
  public:
    ShellOutcome open(uintptr_t ownerWindow, const std::string& fileOrLink) override;

  private:
    DllBinding shell32_{"shell32.dll"};
};

} // namespace ch
