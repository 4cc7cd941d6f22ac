#include "platform/ansi_path.h"

namespace ch {

size_t lastSeparator(std::string_view path, std::string_view separators, LeadByteTest isLeadByte) {
    size_t last = std::string_view::npos;
    for (size_t i = 0; i < path.size(); ++i) {
        const auto byte = static_cast<unsigned char>(path[i]);
        if (isLeadByte(byte) && i + 1 < path.size())
            ++i; // the trail byte is part of this character
        else if (separators.find(path[i]) != std::string_view::npos)
            last = i;
    }
    return last;
}

} // namespace ch
