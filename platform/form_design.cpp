#include "platform/form_design.h"

namespace ch {

const ControlDesign* FormDesign::find(const std::string& controlName, int index) const {
    for (const auto& c : controls)
        if (c.name == controlName && c.index == index) return &c;
    return nullptr;
}

} // namespace ch
