#pragma once
// Splitting ANSI paths. In a double-byte code page (932, 936, 949, 950) the second byte of a
// character may be 0x5C, the backslash: in code page 932 "表" is 0x95 0x5C. Such a byte
// belongs to its character and never separates folders.
#include <cstddef>
#include <string_view>

namespace ch {

// Whether a byte starts a double-byte character in the code page of the text.
using LeadByteTest = bool (*)(unsigned char byte);

// The position of the last character of path that is one of separators (ASCII characters),
// or npos when there is none.
size_t lastSeparator(std::string_view path, std::string_view separators, LeadByteTest isLeadByte);

// The position of the first separator character of path at or after from (which must start a
// character), or npos when there is none.
size_t nextSeparator(std::string_view path, size_t from, char separator, LeadByteTest isLeadByte);

// Whether a and b are the same text but for the case of ASCII letters; a two-byte character's
// bytes are compared exactly.
bool equalNoCase(std::string_view a, std::string_view b, LeadByteTest isLeadByte);

} // namespace ch
