#include "app/win32/check_window.h"

#include "platform/win32/gui_control_names.h"

namespace ch::gui {

namespace {

using Id = CheckWindow::Id;

const std::pair<Id, const char*> kNames[] = {
    {Id::txtReport, "txtReport"},
    {Id::cmdClose, "cmdClose"},
};

} // namespace

CheckWindow::Id CheckWindow::idOf(const std::string& name) {
    return gui::idOf(kNames, name);
}

HWND CheckWindow::control(Id id) const {
    return window_.control(gui::nameOf(kNames, id));
}

CheckWindow::CheckWindow(FrmCheck& check, Dialogs& dialogs)
    : check_(check), dialogs_(dialogs), window_(frmCheckDesign(), *this) {}

CheckWindow::~CheckWindow() {
    report_.reset();
    window_.destroy();
}

void CheckWindow::close() {
    guiDispatch(dialogs_, [this] { check_.cmdClose_Click(); });
}

void CheckWindow::runModal(HWND owner) {
    requireInDesign(window_.design(), kNames, "the check window's design has no ");
    window_.create(owner);
    SetWindowTextA(window_.hwnd(), check_.Caption.c_str());
    report_ = std::make_unique<TextBoxView>(control(Id::txtReport), check_.txtReport);

    gui::runModal(window_, owner, [this] { return check_.loaded; });
    report_.reset();
}

void CheckWindow::onControl(const ControlDesign& control, int notifyCode) {
    if (notifyCode == BN_CLICKED && idOf(control.name) == Id::cmdClose)
        close();
}

void CheckWindow::onDialogKey(int) {
    close(); // Close is both the default and the cancel button: Enter and Esc close
}

void CheckWindow::onClose() {
    close();
}

} // namespace ch::gui
