#pragma once
// A window's stored design as data: the Win32 layer builds real windows from these tables, in
// stored order; positions and sizes are in twips (1/1440 inch), scaled by the real DPI.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ch {

enum class ControlKind {
    TextBox,
    FileList,
    Frame,
    FolderList,
    DriveList,
    Button,
    Label,
    Picture,
    Line,
    ProgressBar, // a bar from 0 to its range, set by its window
    ComboBox,    // a drop-down list of fixed entries, filled by its window
    CheckBox,
};

struct FontSpec {
    std::string face; // empty: the window's default dialog font (in weight, if not 400)
    double points = 0;
    int weight = 400;
};

struct ControlDesign {
    std::string name;
    ControlKind kind;
    std::string parent; // empty: the window; else a Frame's name (positions count from it)
    std::string caption;
    int left = 0, top = 0, width = 0, height = 0; // twips; for a Line: x1, y1, x2, y2
    int tabIndex = -1;                            // -1: never takes the focus
    FontSpec font;
    std::optional<uint32_t> foreColor; // RGB as 0xBBGGRR, like COLORREF
    std::string toolTip;
    bool visible = true;
    bool centred = false;   // label text alignment
    bool isDefault = false; // default button (Enter)
    bool isCancel = false;  // cancel button (Esc)
    bool multiLine = false; // TextBox: wrapped lines and a vertical scroll bar
    bool locked = false;    // TextBox: read-only (its text can still be selected and copied)
    bool password = false;  // TextBox: each character shown as a dot, never copied out
    int lineWidth = 1;      // Line: pen width in pixels
    int index = -1;         // control-array index (Line1(0), Line1(1))
};

struct MenuDesign {
    std::string name;
    std::string caption; // "-" is a separator
    int level = 0;       // 0: menu bar title, 1: item of the title before it
};

enum class BorderStyle { FixedSingle, FixedDialog };

struct FormDesign {
    std::string name;
    std::string caption;
    int clientWidth = 0, clientHeight = 0; // twips
    BorderStyle border = BorderStyle::FixedSingle;
    bool minButton = false;
    bool maxButton = false;
    bool showInTaskbar = true;
    std::vector<ControlDesign> controls; // stored order
    std::vector<MenuDesign> menus;       // stored order

    const ControlDesign* find(const std::string& controlName, int index = -1) const;
};

// One row of a design table with the fields every control has; the rest keep their defaults.
ControlDesign designRow(const char* name, ControlKind kind, const char* parent, const char* caption,
                        int left, int top, int width, int height, int tabIndex,
                        const FontSpec& font = {});

// Twips to pixels at a given DPI (15 twips per pixel at 96 DPI), rounded to nearest.
inline int twipsToPixels(int twips, int dpi) {
    return (twips * dpi + 720) / 1440;
}

} // namespace ch
