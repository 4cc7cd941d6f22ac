#pragma once
#include "platform/controls.h"

namespace ch {

extern const char* const kFoundCaption;     // "ICQ Directory found !"
extern const char* const kNotFoundCaption;  // "No ICQ Directory found"

// Raised by Dir1 after its Path changed: points File1 at Dir1's "db" subfolder and records in
// Label1 whether it holds database files.
void Dir1_Change(const FolderList& Dir1, FileList& File1, Label& Label1);

} // namespace ch
