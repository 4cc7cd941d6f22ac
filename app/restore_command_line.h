#pragma once
// "/verify <backup> [<messenger folder>]" and "/restore <backup> <messenger folder>" on the
// command line: the same checks and restore as the window, with every line printed and
// logged like a scheduled backup's.
#include <optional>
#include <string>
#include <vector>

#include "app/command_line.h"

namespace ch {

// Runs args when they start with /verify or /restore and returns the exit code: 0 intact /
// restored, 2 damaged, unreadable or not restored, 3 bad arguments, 4 the database in use, 5 a
// backup kept running through the restore's wait. nullopt for any other command line.
std::optional<int> runBackupCheckCommand(const std::vector<std::string>& args, const Services& s,
                                         const OutputLine& out, const Clock& clock);

} // namespace ch
