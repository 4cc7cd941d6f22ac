#include "platform/progress_form.h"

namespace ch {
namespace {

FormDesign makeDesign() {
    FormDesign d;
    d.name = "frmProgress";
    d.caption = "Working"; // replaced by the work's title when shown
    d.clientWidth = 5640;
    d.clientHeight = 1740;
    d.border = BorderStyle::FixedDialog;
    d.showInTaskbar = false;

    auto& c = d.controls;
    c.push_back(designRow("lblStage", ControlKind::Label, "", "", 120, 150, 5400, 255, -1));
    c.push_back(designRow("prgBar", ControlKind::ProgressBar, "", "", 120, 480, 5400, 300, -1));
    c.push_back(designRow("lblTime", ControlKind::Label, "", "", 120, 900, 5400, 255, -1));
    // The only control that takes the focus: Enter and Esc both cancel.
    ControlDesign cancel =
        designRow("cmdCancel", ControlKind::Button, "", "Cancel", 4260, 1245, 1260, 375, 0);
    cancel.isCancel = true;
    c.push_back(cancel);
    return d;
}

} // namespace

const FormDesign& frmProgressDesign() {
    static const FormDesign design = makeDesign();
    return design;
}

} // namespace ch
