#pragma once
// The window of File > Schedule backups...: frmSchedule's design rendered over a loaded
// FrmSchedule, shown modally. It copies the form's fields into its controls when it opens and
// after each button, and back before a button's handler runs; the rest is the form's.
#include "app/frm_schedule.h"
#include "platform/win32/gui_form_window.h"

namespace ch::gui {

class ScheduleWindow : private FormEvents {
  public:
    ScheduleWindow(FrmSchedule& form, Dialogs& dialogs);
    ~ScheduleWindow() override;
    void runModal(HWND owner);

  private:
    void onControl(const ControlDesign& control, int notifyCode) override;
    void onMenu(const MenuDesign&) override {}
    void onDialogKey(int id) override;
    void onClose() override;
    HWND control(const char* name) const { return window_.control(name); }
    void showFields();
    void readFields();
    void enableForWhen();
    void browse();
    void copyCommand();
    void run(void (FrmSchedule::*handler)());

    FrmSchedule& form_;
    Dialogs& dialogs_;
    FormWindow window_;
};

} // namespace ch::gui
