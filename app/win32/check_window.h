#pragma once
// The window of File > Check a backup...: frmCheck's design rendered over a loaded FrmCheck,
// shown modally: the verdict with a message box's icon, what is wrong, and the report as a
// read-only edit control: it scrolls, and its text can be selected and copied.
#include <memory>
#include <vector>

#include "app/frm_check.h"
#include "platform/win32/gui_form_window.h"
#include "platform/win32/gui_views.h"

namespace ch::gui {

class CheckWindow : private FormEvents {
  public:
    enum class Id { picVerdict, lblVerdict, lblProblems, txtReport, cmdClose, None };

    CheckWindow(FrmCheck& check, Dialogs& dialogs);
    ~CheckWindow() override;
    // Shows the window (already loaded) over owner, which takes no input meanwhile, and
    // returns once it has been unloaded.
    void runModal(HWND owner);

  private:
    static Id idOf(const std::string& name);
    HWND control(Id id) const;
    void onControl(const ControlDesign& control, int notifyCode) override;
    void onMenu(const MenuDesign&) override {}
    void onDialogKey(int id) override;
    void onClose() override;
    void close();

    FrmCheck& check_;
    Dialogs& dialogs_;
    FormWindow window_;
    std::unique_ptr<TextBoxView> report_;
    std::vector<std::unique_ptr<LabelView>> labels_;
    HICON icon_ = nullptr;
};

} // namespace ch::gui
