#pragma once
// The standard open dialog (GetOpenFileName), owned by the active window.
#include "platform/file_picker.h"

namespace ch {

class Win32FilePicker : public FilePicker {
  public:
    std::optional<std::string> openFile(const std::string& title, const std::string& filter,
                                        const std::string& initialFolder) override;
};

} // namespace ch
