#pragma once
// Records every shell call and answers with a scripted result, or fails as an unusable
// shell library does.
#include <optional>
#include <string>
#include <vector>

#include "platform/runtime_error.h"
#include "platform/services.h"

namespace ch::test {

struct ShellCall {
    uintptr_t ownerWindow;
    std::string verb, file, parameters, directory;
    int showCommand;
};

class FakeShell : public Shell {
  public:
    intptr_t shellExecute(uintptr_t ownerWindow, const std::string& verb, const std::string& file,
                          const std::string& parameters, const std::string& directory,
                          int showCommand) override;
    std::vector<ShellCall> calls;
    intptr_t result = 42;                // above 32: success
    std::optional<RuntimeError> failure; // thrown instead of answering
};

} // namespace ch::test
