#pragma once
#include "platform/controls.h"
#include "platform/services.h"

namespace ch {

extern const char* const kInsertDiskPrompt; // "Please insert a diskette or CD-ROM"

// Drive1_Change and Drive2_Change are this one procedure applied to the two selectors:
// picked is the drive list that changed, folders the folder list below it, other the drive
// list of the other selector.
void DriveChange(DriveList& picked, FolderList& folders, const DriveList& other, Dialogs& dialogs);

} // namespace ch
