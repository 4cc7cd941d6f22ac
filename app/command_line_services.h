#pragma once
// What a run from the command line works with: no window, so none of the window's services
// (message boxes, shell, registry, processes, forms, file picker, the progress window).
#include "platform/archiver.h"
#include "platform/backup_lock.h"
#include "platform/code_page.h"
#include "platform/file_system.h"
#include "platform/password_store.h"
#include "platform/services.h"

namespace ch {

struct CommandLineServices {
    FileSystem& fs;
    const CodePage& codePage; // how paths split and names compare
    Archiver& archiver;       // a ZIP Backup's archiving library
    BackupLock& backupLock;   // one backup or restore at a time on this machine
    const AppObject& App;     // the program folder: chathoard.log, defaultdrive.ini
    // The password of /zip /encrypt, /verify and /restore, which /password sets; none where it
    // is null.
    PasswordStore* passwords = nullptr;
};

} // namespace ch
