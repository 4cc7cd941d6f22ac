#pragma once
// What a run from the command line works with: no window, so none of the window's services
// (message boxes, shell, registry, processes, forms, file picker, the progress window).
#include "platform/archiver.h"
#include "platform/backup_lock.h"
#include "platform/file_system.h"
#include "platform/password_store.h"
#include "platform/services.h"

namespace ch {

struct CommandLineServices {
    FileSystem& fs;
    Archiver& archiver;     // a ZIP Backup's archiving library
    BackupLock& backupLock; // one backup or restore at a time on this machine
    const AppObject& App;   // the program folder: chathoard.log, defaultdrive.ini
    // The password of /zip /encrypt, /verify and /restore, which /password sets; none where it
    // is null.
    PasswordStore* passwords = nullptr;
};

} // namespace ch
