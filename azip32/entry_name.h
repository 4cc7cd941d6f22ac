#pragma once
// How a listed path becomes the name of its entry inside the archive.
#include <string>
#include <string_view>

namespace ch::azip {

// The part after the last backslash or slash (both separate folders, on every platform).
std::string bareName(std::string_view path);
bool isPlainAscii(std::string_view text);
// Valid UTF-8 is kept; anything else is read as Latin-1 and converted.
std::string latin1OrUtf8ToUtf8(std::string_view text);

} // namespace ch::azip
