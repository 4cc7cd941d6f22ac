#pragma once
// The About box as a portable model; the Win32 layer renders it from frmAboutDesign().
#include <string>

#include "platform/controls.h"
#include "platform/form_design.h"
#include "platform/forms_runtime.h"
#include "platform/services.h"

namespace ch {

const FormDesign& frmAboutDesign();

class FrmAbout : public ModalForm {
  public:
    explicit FrmAbout(const Services& services) : s_(services) {}

    // Loaded state: the Win32 layer creates the window when it loads and destroys it when
    // it unloads. Each load starts again from the design texts.
    bool loaded = false;
    std::string Caption;
    Label lblTitle, lblVersion, lblDescription, lblDisclaimer;

    bool isLoaded() const override { return loaded; }
    void load() override; // design texts, then Form_Load
    void unload();        // loaded = false; the view closes
    void Form_Load();
    void cmdOK_Click() { unload(); }
    void cmdSysInfo_Click();

  private:
    Services s_;
};

} // namespace ch
