#pragma once
// How a listed path becomes the name of its entry inside the archive.
#include <string>
#include <string_view>

namespace ch::azip {

// Whether a byte starts a double-byte character in the code page of a listed path.
using LeadByteTest = bool (*)(unsigned char byte);
// The part after the last backslash or slash (both separate folders, on every platform).
// The second byte of a double-byte character is never taken for one, though it may be 0x5C:
// in code page 932 "表" is 0x95 0x5C.
std::string bareName(std::string_view path, LeadByteTest isLeadByte);
bool isPlainAscii(std::string_view text);
// Valid UTF-8 is kept; anything else is read as Latin-1 and converted.
std::string latin1OrUtf8ToUtf8(std::string_view text);

} // namespace ch::azip
