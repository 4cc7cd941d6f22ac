#pragma once
// "/normal" and "/zip" on the command line: the same backup as the buttons, its steps and its
// result told line by line.
#include "app/command_line_args.h"
#include "app/command_line_console.h"
#include "app/command_line_services.h"
#include "backup/wait_for_database.h"
#include "platform/work_progress.h"

namespace ch {

int exitCodeFor(BackupOutcome outcome);

// Backs up cl.messengerFolder's database into cl.destinationFolder, made when missing; waits
// for the database as /wait asks and for a running backup to end. Returns the exit code.
int runBackupCommand(const CommandLine& cl, const CommandLineServices& s, Console& console,
                     const Clock& clock, const Waiting& waiting, const WorkControl& work);

} // namespace ch
