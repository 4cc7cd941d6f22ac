#pragma once
// The standard Windows open dialog, as a service: the Win32 implementation shows it, tests
// answer from a script.
#include <optional>
#include <string>

namespace ch {

class FilePicker {
  public:
    virtual ~FilePicker() = default;
    // Lets the user pick one existing file. filter is a list of "description|patterns" pairs
    // separated by "|", e.g. "Backups|*.zip;*.dat|All files|*.*". The dialog starts in
    // initialFolder (the system's choice when it is empty or gone). Returns the full path, or
    // nothing when the dialog was cancelled.
    virtual std::optional<std::string> openFile(const std::string& title, const std::string& filter,
                                                const std::string& initialFolder) = 0;
};

} // namespace ch
