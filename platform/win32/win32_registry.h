#pragma once
#include "platform/services.h"

namespace ch {

// The advapi32 registry: opens the key for reading, reads the value into a buffer of the
// limit's size and closes the key again.
class Win32Registry : public Registry {
  public:
    RegistryValue readString(uint32_t root, const std::string& key,
                             const std::string& value) override;
};

} // namespace ch
