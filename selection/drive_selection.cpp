#include "selection/drive_selection.h"

#include "platform/runtime_error.h"

namespace ch {

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

} // namespace ch
