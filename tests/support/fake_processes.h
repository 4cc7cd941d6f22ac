#pragma once
// Records every program start. It knows a set of program files and resolves a command line
// the way Windows does: a quoted program path is taken whole; an unquoted one is cut at each
// space in turn and the first prefix naming a known program wins, so "C:\Program Files\x.exe"
// starts "C:\Program" when that file exists. Nothing known: 53; empty command line: 5.
#include <string>
#include <vector>

#include "platform/services.h"

namespace ch::test {

struct ProcessStart {
    std::string commandLine;
    int windowStyle;
    std::string program; // the program file started; empty when the start failed
};

class FakeProcesses : public Processes {
  public:
    void start(const std::string& commandLine, int windowStyle) override;
    std::vector<std::string> programs; // files that exist, compared case-insensitively
    std::vector<ProcessStart> starts;  // every attempt, in order

  private:
    std::string resolve(const std::string& commandLine) const;
    bool known(const std::string& path) const;
};

} // namespace ch::test
