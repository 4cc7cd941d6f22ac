#pragma once
#include <optional>
#include <string>

#include "platform/controls.h"
#include "platform/file_system.h"
#include "platform/services.h"

namespace ch {

// The staging drive read from defaultdrive.ini: one upper-case letter, or the file's value as it
// is when that names no drive.
extern std::string DefaultDrive;

// The drive a defaultdrive.ini value names: "D", "D:" or "D:\" in either case give 'D'.
std::optional<char> stagingDriveOf(const std::string& setting);

// Form1's load handler: initialises the archiving library and reads (or creates) the
// staging-drive setting through Text1 into DefaultDrive; a setting that names no drive is
// reported in a box that names the file and the expected form.
void Form_Load(TextBox& Text1, const Services& s);

// Reads the staging-drive setting through Text1 into DefaultDrive as Form_Load does, but never
// creates the file or shows anything: DefaultDrive stays as it was when it cannot be read.
void readDefaultDriveQuietly(TextBox& Text1, const Services& s);

} // namespace ch
