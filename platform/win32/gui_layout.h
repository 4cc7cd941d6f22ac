#pragma once
// Where a designed control lands in pixels, and in which order controls take the focus.
// Kept free of window handles so the arithmetic can be checked on its own.
#include <vector>

#include "platform/form_design.h"

namespace ch::gui {

struct PixelRect {
    int left = 0, top = 0, width = 0, height = 0;
    bool operator==(const PixelRect&) const = default;
};

// The control's rectangle in the client area. A control inside a frame counts from the frame's
// top-left corner; the sum is converted once so that frame and child round the same way.
PixelRect controlRect(const FormDesign& form, const ControlDesign& control, int dpi);

// Tab order: controls with a tab index, lowest first; equal indexes keep their stored order.
// The sibling order of the created windows follows it, which is what Tab walks.
std::vector<const ControlDesign*> tabOrder(const FormDesign& form);

// Whether a control kind can ever hold the keyboard focus.
bool takesFocus(ControlKind kind);

// LOGFONT height (negative: character height) of a font of `points` at `dpi`.
int fontHeight(double points, int dpi);

// A length given in pixels at 96 DPI (pen widths, icon sizes), at `dpi`; never below 1.
int scalePixels(int pixelsAt96, int dpi);

// Window command identifiers: controls and menu items by stored position. 1 and 2 are kept
// free for the dialog keys (Enter, Esc) that IsDialogMessage sends as IDOK and IDCANCEL.
constexpr int kFirstControlId = 100;
constexpr int kFirstMenuId = 1000;
int controlId(const FormDesign& form, const ControlDesign& control);
int menuId(const FormDesign& form, const MenuDesign& menu);

} // namespace ch::gui
