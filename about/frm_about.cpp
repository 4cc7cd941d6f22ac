#include "about/frm_about.h"

#include "about/sys_info.h"

namespace ch {

void FrmAbout::load() {
    // Every showing starts again from the stored design.
    const FormDesign& design = frmAboutDesign();
    Caption = design.caption;
    lblTitle.setCaption(design.find("lblTitle")->caption);
    lblVersion.setCaption(design.find("lblVersion")->caption);
    lblDescription.setCaption(design.find("lblDescription")->caption);
    lblDisclaimer.setCaption(design.find("lblDisclaimer")->caption);
    loaded = true;
    Form_Load();
}

void FrmAbout::unload() {
    loaded = false;
}

void FrmAbout::Form_Load() {
    Caption = "About " + s_.App.Title;
    lblVersion.setCaption("Version " + std::to_string(s_.App.Major) + "." +
                          std::to_string(s_.App.Minor) + "." + std::to_string(s_.App.Revision));
    lblTitle.setCaption(s_.App.Title);
}

void FrmAbout::cmdSysInfo_Click() {
    StartSysInfo(s_);
}

} // namespace ch
