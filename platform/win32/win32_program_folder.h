#pragma once
#include <string>

namespace ch {

// The folder of the running program file, as ANSI text: no trailing backslash except at a
// drive root ("C:\").
std::string programFolder();

} // namespace ch
