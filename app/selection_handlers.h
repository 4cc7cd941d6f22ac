#pragma once
// The handlers that keep the drive lists, the folder lists and the database file list in step.
#include <string>

#include "platform/controls.h"
#include "platform/services.h"

namespace ch {

extern const char* const kFoundCaption;     // "ICQ Directory found !"
extern const char* const kNotFoundCaption;  // "No ICQ Directory found"
extern const char* const kInsertDiskPrompt; // "Please insert a diskette or CD-ROM"

// Drive1_Change and Drive2_Change are this one procedure applied to the two selectors:
// picked is the drive list that changed, folders the folder list below it, other the drive
// list of the other selector.
void DriveChange(DriveList& picked, FolderList& folders, const DriveList& other, Dialogs& dialogs);

// Raised by Dir1 after its Path changed: points File1 at Dir1's "db" subfolder and records in
// Label1 whether it holds database files.
void Dir1_Change(FileSystem& fs, const FolderList& Dir1, FileList& File1, Label& Label1);

} // namespace ch
