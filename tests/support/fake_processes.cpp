#include "tests/support/fake_processes.h"

#include <algorithm>
#include <cctype>

#include "platform/runtime_error.h"

namespace ch::test {

namespace {

bool sameName(const std::string& a, const std::string& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](unsigned char x, unsigned char y) {
        return std::tolower(x) == std::tolower(y);
    });
}

} // namespace

bool FakeProcesses::known(const std::string& path) const {
    for (const auto& program : programs)
        if (sameName(program, path) || sameName(program, path + ".exe"))
            return true;
    return false;
}

std::string FakeProcesses::resolve(const std::string& commandLine) const {
    if (commandLine.front() == '"') {
        const std::string program = commandLine.substr(1, commandLine.find('"', 1) - 1);
        return known(program) ? program : std::string();
    }
    for (auto space = commandLine.find(' ');; space = commandLine.find(' ', space + 1)) {
        const std::string candidate = commandLine.substr(0, space);
        if (known(candidate))
            return candidate;
        if (space == std::string::npos)
            return {};
    }
}

void FakeProcesses::start(const std::string& commandLine, int windowStyle) {
    starts.push_back({commandLine, windowStyle, {}});
    if (commandLine.empty())
        throw RuntimeError(errInvalidProcedureCall);
    starts.back().program = resolve(commandLine);
    if (starts.back().program.empty())
        throw RuntimeError(errFileNotFound);
}

} // namespace ch::test
