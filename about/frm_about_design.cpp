#include "about/frm_about.h"

namespace ch {

namespace {

constexpr uint32_t kBlack = 0x000000;
constexpr uint32_t kGrey = 0x808080;
constexpr uint32_t kWhite = 0xFFFFFF;

// Every control of the About box sits on the window itself.
ControlDesign control(const char* name, ControlKind kind, const char* caption, int left, int top,
                      int width, int height, int tabIndex) {
    return designRow(name, kind, "", caption, left, top, width, height, tabIndex);
}

ControlDesign line(int index, int x1, int y1, int x2, int y2, uint32_t colour, int width) {
    ControlDesign c = control("Line1", ControlKind::Line, "", x1, y1, x2, y2, -1);
    c.index = index;
    c.foreColor = colour;
    c.lineWidth = width;
    return c;
}

ControlDesign withColour(ControlDesign c, uint32_t colour) {
    c.foreColor = colour;
    return c;
}

FormDesign makeDesign() {
    FormDesign d;
    d.name = "frmAbout";
    d.caption = "About MyApp"; // replaced by Form_Load
    d.clientWidth = 5730;
    d.clientHeight = 2925;
    d.border = BorderStyle::FixedDialog;
    d.minButton = false;
    d.maxButton = false;
    d.showInTaskbar = false;

    auto& c = d.controls;
    c.push_back(control("picIcon", ControlKind::Picture, "", 240, 240, 480, 480, 1));

    ControlDesign ok = control("cmdOK", ControlKind::Button, "OK", 4245, 2025, 1260, 345, 0);
    ok.isDefault = true;
    ok.isCancel = true;
    c.push_back(ok);

    c.push_back(
        control("cmdSysInfo", ControlKind::Button, "&System Info...", 4260, 2475, 1245, 345, 2));
    // The etched rule: a grey line one pixel above a wider white one.
    c.push_back(line(1, 90, 1845, 5654, 1845, kGrey, 1));
    c.push_back(withColour(
        control("lblDescription", ControlKind::Label,
                "This program has been made for those who want to backup their ICQ files easily.",
                1050, 1200, 3885, 570, 3),
        kBlack));

    ControlDesign title = withColour(
        control("lblTitle", ControlKind::Label, "Application Title", 1050, 360, 3885, 240, 5),
        kBlack);
    title.font = {"Tahoma", 9.75, 700};
    c.push_back(title);

    c.push_back(line(0, 105, 1860, 5654, 1860, kWhite, 2));
    c.push_back(control("lblVersion", ControlKind::Label, "Version", 1050, 780, 3885, 225, 6));
    c.push_back(withColour(
        control("lblDisclaimer", ControlKind::Label, "", 255, 2025, 3870, 825, 4), kBlack));
    return d;
}

} // namespace

const FormDesign& frmAboutDesign() {
    static const FormDesign design = makeDesign();
    return design;
}

} // namespace ch
