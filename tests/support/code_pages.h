#pragma once
// Lead-byte tests of the ANSI code pages the tests read names in.
namespace ch::test {

// Code page 932 (Japanese): lead bytes 0x81-0x9F and 0xE0-0xFC; 0xA1-0xDF are one-byte
// katakana.
inline bool isCodePage932LeadByte(unsigned char byte) {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

// A single-byte code page: no byte starts a two-byte character.
inline bool isNeverLeadByte(unsigned char) {
    return false;
}

} // namespace ch::test
