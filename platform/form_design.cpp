#include "platform/form_design.h"

namespace ch {

ControlDesign designRow(const char* name, ControlKind kind, const char* parent, const char* caption,
                        int left, int top, int width, int height, int tabIndex,
                        const FontSpec& font) {
    ControlDesign c;
    c.name = name;
    c.kind = kind;
    c.parent = parent;
    c.caption = caption;
    c.left = left;
    c.top = top;
    c.width = width;
    c.height = height;
    c.tabIndex = tabIndex;
    c.font = font;
    return c;
}

const ControlDesign* FormDesign::find(const std::string& controlName, int index) const {
    for (const auto& c : controls)
        if (c.name == controlName && c.index == index)
            return &c;
    return nullptr;
}

} // namespace ch
