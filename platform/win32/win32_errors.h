#pragma once
// One table turns Win32 error codes into the runtime's numbers and plain words.
#include <string>

namespace ch {

struct MappedError {
    int number;
    std::string words; // the cause in plain words, e.g. "The file is in use by another program"
};

MappedError mapWin32Error(unsigned long code);

// Throws RuntimeError{number, "<words>: <path>", code} for a failed call on a path.
[[noreturn]] void throwWin32Error(unsigned long code, const std::string& path);
[[noreturn]] void throwLastError(const std::string& path);
// As throwWin32Error for a call that expects a file: a refused access on a folder of that name
// becomes 75, "a folder is in the way".
[[noreturn]] void throwFileError(unsigned long code, const std::string& path);

// GetFileAttributesW on an ANSI path.
unsigned long attributesOf(const std::string& path);

} // namespace ch
