#pragma once
// The system's ANSI code page, in which the program's paths and names are text: how a path
// splits, how a name stored as UTF-8 reads, and how Windows compares names.
#include <string>

#include "platform/ansi_path.h"

namespace ch {

class CodePage {
  public:
    virtual ~CodePage() = default;
    // In a double-byte code page, whether a byte starts a two-byte character (whose second
    // byte may be a backslash).
    virtual LeadByteTest leadByteTest() const = 0;
    // A name stored as UTF-8 (as ZIP tools store names outside ASCII) in the code page. False
    // when it is not UTF-8 or a character has no exact form there: then ansi holds the name
    // with "?" for such characters, for messages only.
    virtual bool ansiFromUtf8(const std::string& utf8, std::string& ansi) const = 0;
    // A name as Windows compares names: upper case by the rules of the code page, so that
    // "\xC9.dat" and "\xE9.dat" (E with an accent) are the same file.
    virtual std::string caseFolded(const std::string& name) const = 0;
};

} // namespace ch
