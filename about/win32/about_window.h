#pragma once
// The About box window: frmAbout's design rendered over a loaded FrmAbout, shown modally.
#include <memory>
#include <vector>

#include "about/frm_about.h"
#include "platform/win32/gui_form_window.h"
#include "platform/win32/gui_views.h"

namespace ch::gui {

class AboutWindow : private FormEvents {
  public:
    // The controls the box uses, by identity: their design names are spelt once, in
    // about_window.cpp, and each is checked against the design when the box is made.
    enum class Id {
        cmdOK,
        cmdSysInfo,
        lblTitle,
        lblVersion,
        lblDescription,
        lblDisclaimer,
        picIcon,
        None
    };

    AboutWindow(FrmAbout& about, Dialogs& dialogs);
    ~AboutWindow() override;
    // Shows the box (already loaded) over owner, which takes no input meanwhile, and returns
    // once the box has been unloaded.
    void runModal(HWND owner);

  private:
    static Id idOf(const std::string& name);
    HWND control(Id id) const;
    void onControl(const ControlDesign& control, int notifyCode) override;
    void onMenu(const MenuDesign&) override {}
    void onDialogKey(int id) override;
    void onClose() override;
    void run(const std::function<void()>& action);

    FrmAbout& about_;
    Dialogs& dialogs_;
    FormWindow window_;
    std::vector<std::unique_ptr<LabelView>> labels_;
    HICON icon_ = nullptr;
};

} // namespace ch::gui
