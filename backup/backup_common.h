#pragma once
#include <string>

#include "platform/controls.h"
#include "platform/runtime_error.h"
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
// CleanUpIncomplete: the backup is written, but temporary files it could not delete are left
// for the next run to remove. DatabaseInUse: it failed because another program (the messenger)
// held a database file open.
enum class BackupOutcome {
    Done,
    CleanUpIncomplete,
    NoMessengerFolder,
    Failed,
    DatabaseInUse,
    AnotherBackupRunning
};

// The opening words of both completion boxes (the misspelling is the program's own text).
extern const char* const kCompletionWords; // "Your ICQ backup has been succesfully copied to: "
extern const char* const kDoneTitle;       // "Done !"
extern const char* const kBackupFailedTitle;
extern const char* const kCleanUpIncompleteTitle; // "Clean-up incomplete"

// The guard of both backups: when Label1 says no messenger folder was found, shows the
// "Oops..." warning and returns true.
bool refuseWithoutMessengerFolder(const Label& Label1, Dialogs& dialogs);

// Why an operation failed, in plain words for an error box: a lower-case clause without a
// final full stop, e.g. "the disk is full".
std::string plainReason(const RuntimeError& e);

// "2 of 5 files were copied" (singular for a list of one).
std::string filesCopiedText(int copied, int total);

// Shows the error box of a failed backup (exclamation icon, OK).
void showBackupFailure(Dialogs& dialogs, const std::string& text);

} // namespace ch
