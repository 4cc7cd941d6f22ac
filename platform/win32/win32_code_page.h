#pragma once
#include "platform/code_page.h"

namespace ch {

// The code page Windows gives this process (CP_ACP). It keeps nothing of its own.
class Win32CodePage : public CodePage {
  public:
    LeadByteTest leadByteTest() const override;
    bool ansiFromUtf8(const std::string& utf8, std::string& ansi) const override;
    std::string caseFolded(const std::string& name) const override;
};

// The one the process has, for a file system that needs one to split its paths.
const Win32CodePage& systemCodePage();

} // namespace ch
