#pragma once
// The windows of File > Backup password... and of the password an encrypted backup asks for:
// their designs rendered over loaded forms, shown modally. The masked boxes are read into the
// forms before a button's handler runs, and emptied when the window goes.
#include "app/frm_password.h"
#include "app/win32/modal_form_window.h"

namespace ch::gui {

class PasswordWindow : public ModalFormWindow<FrmPassword> {
  public:
    PasswordWindow(FrmPassword& form, Dialogs& dialogs);

  private:
    void opened() override;
    void run(Handler handler) override;
    void onControl(const ControlDesign& control, int notifyCode) override;
    void showFields();
};

class AskPasswordWindow : public ModalFormWindow<FrmAskPassword> {
  public:
    AskPasswordWindow(FrmAskPassword& form, Dialogs& dialogs);

  private:
    void opened() override;
    void run(Handler handler) override;
    void onControl(const ControlDesign& control, int notifyCode) override;
};

} // namespace ch::gui
