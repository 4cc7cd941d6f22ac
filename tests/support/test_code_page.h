#pragma once
// The code page of the in-memory platform: Latin-1 (Windows-1252's letters) unless a test
// switches it to code page 932, whose two-byte characters may end in a backslash.
#include "platform/code_page.h"
#include "tests/support/code_pages.h"

namespace ch::test {

class TestCodePage : public CodePage {
  public:
    LeadByteTest leadByteTest() const override { return leadByte_; }
    // Names outside ASCII convert only where Latin-1 holds them; in code page 932 none do.
    bool ansiFromUtf8(const std::string& utf8, std::string& ansi) const override;
    // ASCII letters, and in Latin-1 its accented ones, to upper case; two-byte characters stay.
    std::string caseFolded(const std::string& name) const override;

    void useCodePage932() { leadByte_ = isCodePage932LeadByte; }

  private:
    LeadByteTest leadByte_ = isNeverLeadByte;
};

} // namespace ch::test
