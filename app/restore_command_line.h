#pragma once
// "/verify <backup> [<messenger folder>]" and "/restore <backup> <messenger folder>" on the
// command line: the same checks and restore as the window, with every line printed and
// logged like a scheduled backup's.
#include <optional>
#include <string>
#include <vector>

#include "app/command_line_args.h"
#include "app/command_line_console.h"
#include "app/command_line_services.h"
#include "platform/work_progress.h"

namespace ch {

// "/verify": reads cl.backup through (an archive, a folder of copies or one of its database
// files) and compares it with cl.messengerFolder's database when one is given. Returns the
// exit code: 0 intact, 2 damaged, unreadable or not found, 6 cancelled, 7 encrypted and the
// stored password missing or wrong.
int runVerifyCommand(const CommandLine& cl, const CommandLineServices& s, Console& console,
                     const WorkControl& work);

// "/restore": restores cl.backup (as /verify takes it) into cl.messengerFolder. Returns the
// exit code: 0 restored, 2 not restored, 3 a database folder given as the messenger folder, 4
// the database in use, 5 a backup kept running through the restore's wait, 6 cancelled, 7
// encrypted and the stored password missing or wrong (nothing changed).
int runRestoreCommand(const CommandLine& cl, const CommandLineServices& s, Console& console,
                      const Clock& clock, const WorkControl& work);

} // namespace ch
