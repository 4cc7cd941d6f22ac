#pragma once
// A restore's report with what the program says of it, as the window and the command line
// would show it.
#include <string>

#include "app/restore_messages.h"
#include "backup/restore.h"

namespace ch {

struct SaidRestore : RestoreReport {
    std::string text;
};

inline SaidRestore restoreSaid(FileSystem& fs, const CodePage& codePage,
                               const CheckedBackup& backup, const std::string& messengerFolder,
                               const std::string& stamp, const WorkControl& control = {}) {
    SaidRestore said{restoreBackup(fs, codePage, backup, messengerFolder, stamp, control), {}};
    said.text = restoreReportText(backup, messengerFolder, said);
    return said;
}

} // namespace ch
