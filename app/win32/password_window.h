#pragma once
// The windows of File > Backup password... and of the password an encrypted backup asks for:
// their designs rendered over loaded forms, shown modally. The masked boxes are read into the
// forms before a button's handler runs, and emptied when the window goes.
#include "app/frm_password.h"
#include "platform/win32/gui_form_window.h"

namespace ch::gui {

class PasswordWindow : private FormEvents {
  public:
    PasswordWindow(FrmPassword& form, Dialogs& dialogs);
    ~PasswordWindow() override;
    void runModal(HWND owner);

  private:
    void onControl(const ControlDesign& control, int notifyCode) override;
    void onMenu(const MenuDesign&) override {}
    void onDialogKey(int id) override;
    void onClose() override;
    void run(void (FrmPassword::*handler)());
    void showFields();

    FrmPassword& form_;
    Dialogs& dialogs_;
    FormWindow window_;
};

class AskPasswordWindow : private FormEvents {
  public:
    AskPasswordWindow(FrmAskPassword& form, Dialogs& dialogs);
    ~AskPasswordWindow() override;
    void runModal(HWND owner);

  private:
    void onControl(const ControlDesign& control, int notifyCode) override;
    void onMenu(const MenuDesign&) override {}
    void onDialogKey(int id) override;
    void onClose() override;
    void run(void (FrmAskPassword::*handler)());

    FrmAskPassword& form_;
    Dialogs& dialogs_;
    FormWindow window_;
};

} // namespace ch::gui
