#include "tests/support/fake_shell.h"

namespace ch::test {

intptr_t FakeShell::shellExecute(uintptr_t ownerWindow, const std::string& verb,
                                 const std::string& file, const std::string& parameters,
                                 const std::string& directory, int showCommand) {
    calls.push_back({ownerWindow, verb, file, parameters, directory, showCommand});
    if (failure)
        throw *failure;
    return result;
}

} // namespace ch::test
