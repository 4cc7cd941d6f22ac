#pragma once
// Records every shell call and answers as ShellExecute would have with a scripted result, or
// fails as an unusable shell library does.
#include <optional>
#include <string>
#include <vector>

#include "platform/runtime_error.h"
#include "platform/services.h"

namespace ch::test {

struct ShellCall {
    uintptr_t ownerWindow;
    std::string file;
};

class FakeShell : public Shell {
  public:
    ShellOutcome open(uintptr_t ownerWindow, const std::string& fileOrLink) override;
    std::vector<ShellCall> calls;
    intptr_t result = 42;                // ShellExecute's answer: above 32 success, else the reason
    std::optional<RuntimeError> failure; // thrown instead of answering
};

} // namespace ch::test
