#pragma once
// Splitting ANSI paths. In a double-byte code page (932, 936, 949, 950) the second byte of a
// character may be 0x5C, the backslash: in code page 932 "表" is 0x95 0x5C. Such a byte
// belongs to its character and never separates folders.
#include <cstddef>
#include <string>
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

// ASCII lower case, as names and switches are compared.
char lowerCase(char c);
std::string lowerCase(std::string text);
// Case-insensitive ASCII ordering and equality used for names.
bool lessNoCase(const std::string& a, const std::string& b);
bool equalNoCase(const std::string& a, const std::string& b);
bool startsWithNoCase(const std::string& text, const std::string& start);

// Whether a and b are the same text but for the case of ASCII letters; a two-byte character's
// bytes are compared exactly.
bool equalNoCase(std::string_view a, std::string_view b, LeadByteTest isLeadByte);

// The root of a full path, as Windows reads it: "C:\" (3; a bare "C:" is 2), a network share
// "\\server\share" with the backslash after it when there is one, and the same two behind
// "\\?\" ("\\?\C:\", "\\?\UNC\server\share\"). 0 when path starts with none of them.
size_t pathRootLength(std::string_view path, LeadByteTest isLeadByte);

// Whether path names a network share: "\\server\share..." or "\\?\UNC\server\share...".
bool isNetworkPath(std::string_view path);

// path without a "\\?\" prefix ("\\?\UNC\s\x" is "\\s\x"): the form two paths are compared
// in, since the prefix changes how a path is read, not what it names.
std::string withoutLongPrefix(const std::string& path);

// The folder that holds path: "C:\x\a.zip" -> "C:\x", "C:\a.zip" -> "C:\",
// "\\nas\b\a.zip" -> "\\nas\b"; path itself when it is a root or has no separator.
std::string parentFolderOf(const std::string& path, LeadByteTest isLeadByte);

// A full folder path as the folder lists keep it: spec resolved against base when it is
// relative, one backslash between names, none at the end except at the root, "." and ".."
// resolved, the drive letter upper case. A network share's root keeps the server and share
// names as given and no backslash after it ("\\nas\backups").
std::string normalFolderPath(const std::string& base, const std::string& spec,
                             LeadByteTest isLeadByte);

} // namespace ch
