#include "tests/support/fake_shell.h"

namespace ch::test {

ShellOutcome FakeShell::open(uintptr_t ownerWindow, const std::string& fileOrLink) {
    calls.push_back({ownerWindow, fileOrLink});
    if (failure)
        throw *failure;
    if (result > 32)
        return {};
    return {false, static_cast<int>(result)};
}

} // namespace ch::test
