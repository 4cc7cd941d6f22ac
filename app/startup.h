#pragma once
#include <string>

#include "platform/controls.h"
#include "platform/file_system.h"
#include "platform/services.h"

namespace ch {

// The staging drive as read from defaultdrive.ini, unchanged (normally one letter).
extern std::string DefaultDrive;

// Form1's load handler: initialises the archiving library and reads (or creates) the
// staging-drive setting through Text1 into DefaultDrive.
void Form_Load(TextBox& Text1, const Services& s);

// Reads the staging-drive setting through Text1 into DefaultDrive as Form_Load does, but never
// creates the file or shows anything: DefaultDrive stays as it was when it cannot be read.
void readDefaultDriveQuietly(TextBox& Text1, const Services& s);

} // namespace ch
