#pragma once
#include <cstdint>
#include <string>

namespace ch {

// Why addZIP did not write the archive, in plain words (a lower-case clause without a final
// full stop), from the non-zero result it returned.
std::string archiveResultReason(int32_t result);

} // namespace ch
