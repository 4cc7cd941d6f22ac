#pragma once
// The ZIP record signatures, extra-field ids, limits and fixed sizes of PKWARE's APPNOTE, for
// the library's writer and any reader of its archives.
#include <cstddef>
#include <cstdint>

namespace ch::azip {

constexpr uint32_t kLocalSignature = 0x04034b50;
constexpr uint32_t kCentralSignature = 0x02014b50;
constexpr uint32_t kEndSignature = 0x06054b50;
constexpr uint32_t kZip64EndSignature = 0x06064b50;
constexpr uint32_t kZip64LocatorSignature = 0x07064b50;
constexpr uint16_t kMethodStored = 0;
constexpr uint16_t kMethodDeflated = 8;
constexpr uint16_t kFlagUtf8 = 1 << 11;
constexpr uint16_t kZip64ExtraId = 0x0001;
constexpr uint16_t kTimestampExtraId = 0x5455;
constexpr uint16_t kPaddingExtraId = 0xD935; // the id zip aligners pad with; readers skip it
constexpr uint64_t kMax32 = 0xFFFFFFFFu;
constexpr uint64_t kMax16 = 0xFFFFu;
constexpr size_t kLocalFixedSize = 30;
constexpr size_t kCentralFixedSize = 46;
constexpr size_t kEndSize = 22;
constexpr size_t kZip64EndSize = 56;
constexpr size_t kZip64LocatorSize = 20;

} // namespace ch::azip
