#include "backup/archive_result.h"

namespace ch {

std::string archiveResultReason(int32_t result) {
    return "the archiving library reported error " + std::to_string(result);
}

} // namespace ch
