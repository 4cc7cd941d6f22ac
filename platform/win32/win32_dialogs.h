#pragma once
#include <functional>

#include "platform/services.h"

namespace ch {

// MessageBoxA with the application title by default. The owner is asked for at each box, so
// a box shown while the About box is open sits on the About box.
class Win32Dialogs : public Dialogs {
  public:
    // ownerWindow returns the window to own the box (0 for none); by default the active
    // window of this thread.
    explicit Win32Dialogs(std::string appTitle, std::function<uintptr_t()> ownerWindow = {});
    int msgBox(const std::string& prompt, int style,
               const std::optional<std::string>& title = std::nullopt) override;

  private:
    std::string appTitle_;
    std::function<uintptr_t()> ownerWindow_;
};

} // namespace ch
