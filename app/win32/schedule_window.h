#pragma once
// The window of File > Schedule backups...: frmSchedule's design rendered over a loaded
// FrmSchedule, shown modally. It copies the form's fields into its controls when it opens and
// after each button, and back before a button's handler runs; the rest is the form's.
#include "app/frm_schedule.h"
#include "app/win32/modal_form_window.h"

namespace ch::gui {

class ScheduleWindow : public ModalFormWindow<FrmSchedule> {
  public:
    ScheduleWindow(FrmSchedule& form, Dialogs& dialogs);

  private:
    void opened() override;
    void run(Handler handler) override;
    void onControl(const ControlDesign& control, int notifyCode) override;
    void showFields();
    void readFields();
    void enableForWhen();
    void browse();
    void copyCommand();
};

} // namespace ch::gui
