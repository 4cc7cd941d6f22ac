#pragma once
// What several end-to-end cases share: a sample messenger install on drive m:, and a program
// started with its settings file in place.
#include <string>
#include <vector>

#include "tests/e2e/e2e_driver.h"

namespace ch::e2e {

// M:\ICQ with db\*.dat, db\*.idx and one file that is no database file; M:\Other has no db.
// Made once per run; returns the database file names.
const std::vector<std::string>& sampleMessenger();
constexpr const char* kSampleDb = "M:\\ICQ\\db";

// Writes defaultdrive.ini ("C"), starts the program in currentFolder and waits for its window.
HWND startWithSettings(Program& program, const std::string& currentFolder = "M:\\");

// Types path into the file name field of the open dialog titled title and presses Open.
void pickInOpenDialog(Program& program, const std::string& title, const std::string& path);

// The window that has the keyboard focus in the program.
HWND focusOf(HWND mainWindow);

// Text in lower case as Windows folds it, and whether text holds part in any case.
std::string lower(std::string text);
bool mentions(const std::string& text, const std::string& part);

} // namespace ch::e2e
