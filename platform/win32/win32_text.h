#pragma once
// Conversions between the program's ANSI paths and the wide strings of the Win32 API.
#include <string>

namespace ch {

// ANSI (the system code page) to UTF-16 and back.
std::wstring toWide(const std::string& ansi);
std::string toAnsi(const std::wstring& wide);
// Whether a byte starts a double-byte character in the system's ANSI code page.
bool isAnsiLeadByte(unsigned char byte);
// True when a wide string survives the trip to the ANSI code page unchanged.
bool fitsAnsi(const std::wstring& wide);

// The wide form of a path for the file APIs. A path too long for the classic limit gets the
// "\\?\" prefix after normalising it, so long paths work instead of being cut short.
std::wstring winPath(const std::string& ansiPath);

// The system's own wording for a Win32 error code, without the trailing line break.
std::string systemMessage(unsigned long code);

} // namespace ch
