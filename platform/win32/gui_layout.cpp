#include "platform/win32/gui_layout.h"

#include <algorithm>
#include <cmath>

namespace ch::gui {

PixelRect controlRect(const FormDesign& form, const ControlDesign& control, int dpi) {
    int left = control.left, top = control.top;
    if (!control.parent.empty())
        if (const ControlDesign* frame = form.find(control.parent)) {
            left += frame->left;
            top += frame->top;
        }
    const int x = twipsToPixels(left, dpi), y = twipsToPixels(top, dpi);
    // Right and bottom edges come from the twips too, so adjacent controls never drift apart.
    return {x, y, twipsToPixels(left + control.width, dpi) - x,
            twipsToPixels(top + control.height, dpi) - y};
}

std::vector<const ControlDesign*> tabOrder(const FormDesign& form) {
    std::vector<const ControlDesign*> order;
    for (const auto& c : form.controls)
        if (c.tabIndex >= 0)
            order.push_back(&c);
    std::stable_sort(order.begin(), order.end(),
                     [](auto* a, auto* b) { return a->tabIndex < b->tabIndex; });
    return order;
}

bool takesFocus(ControlKind kind) {
    switch (kind) {
    case ControlKind::TextBox:
    case ControlKind::FileList:
    case ControlKind::FolderList:
    case ControlKind::DriveList:
    case ControlKind::Button:
    case ControlKind::ComboBox:
    case ControlKind::CheckBox:
        return true;
    default:
        return false;
    }
}

int fontHeight(double points, int dpi) {
    return -static_cast<int>(std::lround(points * dpi / 72));
}

int scalePixels(int pixelsAt96, int dpi) {
    return std::max(1, static_cast<int>(std::lround(pixelsAt96 * dpi / 96.0)));
}

int controlId(const FormDesign& form, const ControlDesign& control) {
    return kFirstControlId + static_cast<int>(&control - form.controls.data());
}

int menuId(const FormDesign& form, const MenuDesign& menu) {
    return kFirstMenuId + static_cast<int>(&menu - form.menus.data());
}

} // namespace ch::gui
