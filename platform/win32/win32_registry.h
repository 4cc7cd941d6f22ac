#pragma once
#include "platform/services.h"

namespace ch {

// The advapi32 registry calls. Key handles fit the interface's 32 bits in this 32-bit program.
class Win32Registry : public Registry {
  public:
    long openKey(uint32_t root, const std::string& subKey, uint32_t options, uint32_t access,
                 uint32_t& key) override;
    long queryValue(uint32_t key, const std::string& valueName, uint32_t& type, unsigned char* data,
                    uint32_t& size) override;
    long closeKey(uint32_t key) override;
};

} // namespace ch
