#pragma once
#include <cstdint>
#include <string>

#include "platform/file_system.h"
#include "platform/services.h"

namespace ch {

// Finds the System Information tool through the registry and starts it, or says it is
// unavailable.
void StartSysInfo(const Services& s);

// Reads one registry value as text (REG_SZ as is, REG_DWORD as "&h" + hex digits).
bool GetKeyValue(Registry& registry, uint32_t KeyRoot, const std::string& KeyName,
                 const std::string& SubKeyRef, std::string& KeyVal);

// The conversion of a REG_DWORD's trimmed bytes to text, on its own for tests and fuzzing.
std::string dwordText(const std::string& trimmedBytes, const std::string& prefixText = {});

} // namespace ch
