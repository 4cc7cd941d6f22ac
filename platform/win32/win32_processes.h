#pragma once
#include "platform/services.h"

namespace ch {

// Starts programs with CreateProcessA and does not wait for them.
class Win32Processes : public Processes {
  public:
    void start(const std::string& commandLine, int windowStyle) override;
};

} // namespace ch
