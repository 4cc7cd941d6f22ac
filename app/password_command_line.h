#pragma once
// "/password" and "/password:remove" on the command line, and the stored password that
// /zip /encrypt, /verify and /restore use.
#include <functional>
#include <optional>
#include <string>

#include "app/command_line_args.h"
#include "app/command_line_console.h"
#include "app/command_line_services.h"
#include "platform/work_progress.h"

namespace ch {

// What /encrypt says when no password is stored.
extern const char* const kNoStoredPasswordText;

// The stored password, or nullopt when none is stored or it cannot be read (which is then
// reported on the console).
std::optional<std::string> storedPassword(const CommandLineServices& s, Console& console);

// Sets the stored password from two lines that must agree, or removes it. Returns the exit
// code: 0 stored or removed, 7 not given twice alike (the stored one is then unchanged), 2
// the store failed.
int runPasswordCommand(
    const CommandLine& cl, const CommandLineServices& s, Console& console,
    const std::function<std::optional<std::string>(const std::string& prompt)>& readPassword);

} // namespace ch
