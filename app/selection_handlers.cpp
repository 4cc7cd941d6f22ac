#include "app/selection_handlers.h"

#include "backup/database_detection.h"
#include "platform/runtime_error.h"

namespace ch {

const char* const kFoundCaption = "ICQ Directory found !";
const char* const kNotFoundCaption = "No ICQ Directory found";
const char* const kInsertDiskPrompt = "Please insert a diskette or CD-ROM";

void DriveChange(DriveList& picked, FolderList& folders, const DriveList& other, Dialogs& dialogs) {
    for (;;) {
        try {
            // Moves the folder list; for Dir1 the folder detection runs before this returns.
            folders.setPath(picked.Drive());
            return;
        } catch (const RuntimeError& e) {
            if (e.number() != errDeviceUnavailable)
                return;
        }
        if (dialogs.msgBox(kInsertDiskPrompt, vbCritical + vbRetryCancel) == vbRetry) {
            picked.Refresh();
            continue;
        }
        try {
            // A different drive raises picked's Change again, so this handler runs nested for
            // it; the same drive raises nothing, which bounds the nesting.
            picked.setDrive(other.Drive());
        } catch (const RuntimeError&) {
            // The other selector's drive has gone as well: leave both lists as they are.
        }
        return;
    }
}

void Dir1_Change(FileSystem& fs, const FolderList& Dir1, FileList& File1, Label& Label1) {
    const MessengerDatabase database = findMessengerDatabase(fs, Dir1.Path());
    // A db subfolder that cannot be read leaves File1's earlier list, but the verdict must not
    // go on claiming a database here: the backups read from Dir1's path, not from File1's.
    if (database.readable)
        File1.show(databaseFolder(Dir1.Path()), database.files);
    Label1.setCaption(database.found ? kFoundCaption : kNotFoundCaption);
}

} // namespace ch
