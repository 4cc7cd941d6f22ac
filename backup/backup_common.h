#pragma once
#include "platform/controls.h"
#include "platform/services.h"

namespace ch {

// What a backup reads of the main window at the moment of the click.
struct BackupSources {
    const Label& Label1;
    const FileList& File1;
    const FolderList& Dir1;
    const FolderList& Dir2;
};

// How a backup ended; the buttons ignore it, the command line maps it to an exit code.
enum class BackupOutcome { Done, NoMessengerFolder, Failed };

} // namespace ch
