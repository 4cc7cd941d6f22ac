#include "app/win32/check_window.h"

#include "platform/win32/gui_control_messages.h"
#include "platform/win32/gui_control_names.h"
#include "platform/win32/gui_layout.h"

namespace ch::gui {

namespace {

using Id = CheckWindow::Id;

const std::pair<Id, const char*> kNames[] = {
    {Id::picVerdict, "picVerdict"},   {Id::lblVerdict, "lblVerdict"},
    {Id::lblProblems, "lblProblems"}, {Id::txtReport, "txtReport"},
    {Id::cmdClose, "cmdClose"},
};

// The system's icons of message boxes, by their resource numbers (OIC_INFORMATION and so on).
LPCSTR systemIconOf(CheckIcon icon) {
    switch (icon) {
    case CheckIcon::Error:
        return MAKEINTRESOURCEA(32513);
    case CheckIcon::Warning:
        return MAKEINTRESOURCEA(32515);
    case CheckIcon::Information:
        break;
    }
    return MAKEINTRESOURCEA(32516);
}

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
    labels_.clear();
    window_.destroy();
    if (icon_)
        DestroyIcon(icon_);
}

void CheckWindow::close() {
    guiDispatch(dialogs_, [this] { check_.cmdClose_Click(); });
}

void CheckWindow::runModal(HWND owner) {
    requireInDesign(window_.design(), kNames, "the check window's design has no ");
    window_.create(owner);
    SetWindowTextA(window_.hwnd(), check_.Caption.c_str());
    report_ = std::make_unique<TextBoxView>(control(Id::txtReport), check_.txtReport);
    labels_.push_back(std::make_unique<LabelView>(control(Id::lblVerdict), check_.lblVerdict));
    labels_.push_back(std::make_unique<LabelView>(control(Id::lblProblems), check_.lblProblems));
    // Loaded at the picture's size in pixels at this DPI, not stretched from 32 by 32.
    const PixelRect r =
        controlRect(window_.design(), *window_.design().find(gui::nameOf(kNames, Id::picVerdict)),
                    window_.dpi());
    icon_ = static_cast<HICON>(
        LoadImageA(nullptr, systemIconOf(check_.icon), IMAGE_ICON, r.width, r.height, 0));
    setStaticIcon(control(Id::picVerdict), icon_);

    gui::runModal(window_, owner, [this] { return check_.loaded; });
    report_.reset();
    labels_.clear();
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
