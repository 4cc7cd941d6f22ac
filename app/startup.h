#pragma once
#include <functional>
#include <optional>
#include <string>

#include "platform/controls.h"
#include "platform/file_system.h"
#include "platform/services.h"

namespace ch {

// The drive a defaultdrive.ini value names: "D", "D:" or "D:\" in either case give 'D'.
std::optional<char> stagingDriveOf(const std::string& setting);

// A warning of the start: the window shows it in an exclamation box (without a title, under
// the program's own), the command line prints it.
using StartWarning =
    std::function<void(const std::string& text, const std::optional<std::string>& title)>;

// Initialises the archiving library and reads (or creates) the staging-drive setting, warning
// of a setting that names no drive and of each failure. Returns the setting.
std::string loadStagingDrive(FileSystem& fs, Archiver& archiver, const std::string& programFolder,
                             const StartWarning& warn);

// The setting as loadStagingDrive reads it, but never creating the file or warning: nullopt
// when it cannot be read.
std::optional<std::string> readStagingDrive(FileSystem& fs, const std::string& programFolder);

// Form1's load handler: loadStagingDrive into Text1 and DefaultDrive (the staging drive as
// defaultdrive.ini gives it: its letter as typed, or the file's value as it is when that names
// no drive), its warnings in boxes.
void Form_Load(TextBox& Text1, std::string& DefaultDrive, const Services& s);

} // namespace ch
