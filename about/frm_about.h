#pragma once
// The About box as a portable model; the Win32 layer renders it from frmAboutDesign().
#include <string>

#include "platform/controls.h"
#include "platform/form_design.h"
#include "platform/forms_runtime.h"
#include "platform/services.h"

namespace ch {

class FileSystem;

const FormDesign& frmAboutDesign();

class FrmAbout : public ModalForm {
  public:
    FrmAbout(FileSystem& fs, Registry& registry, Processes& processes, Dialogs& dialogs,
             const AppObject& App)
        : fs_(fs), registry_(registry), processes_(processes), dialogs_(dialogs), App_(App) {}

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
    FileSystem& fs_;
    Registry& registry_;
    Processes& processes_;
    Dialogs& dialogs_;
    const AppObject& App_;
};

} // namespace ch
