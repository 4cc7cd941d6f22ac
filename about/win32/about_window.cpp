#include "about/win32/about_window.h"

#include "platform/win32/gui_control_messages.h"
#include "platform/win32/gui_control_names.h"
#include "platform/win32/gui_layout.h"
#include "platform/win32/gui_resources.h"

namespace ch::gui {

namespace {

using Id = AboutWindow::Id;

const std::pair<Id, const char*> kNames[] = {
    {Id::cmdOK, "cmdOK"},
    {Id::cmdSysInfo, "cmdSysInfo"},
    {Id::lblTitle, "lblTitle"},
    {Id::lblVersion, "lblVersion"},
    {Id::lblDescription, "lblDescription"},
    {Id::lblDisclaimer, "lblDisclaimer"},
    {Id::picIcon, "picIcon"},
};

} // namespace

AboutWindow::Id AboutWindow::idOf(const std::string& name) {
    return gui::idOf(kNames, name);
}

HWND AboutWindow::control(Id id) const {
    return window_.control(gui::nameOf(kNames, id));
}

AboutWindow::AboutWindow(FrmAbout& about, Dialogs& dialogs)
    : about_(about), dialogs_(dialogs), window_(frmAboutDesign(), *this) {}

AboutWindow::~AboutWindow() {
    labels_.clear();
    window_.destroy();
    if (icon_)
        DestroyIcon(icon_);
}

void AboutWindow::run(const std::function<void()>& action) {
    guiDispatch(dialogs_, action);
}

void AboutWindow::runModal(HWND owner) {
    requireInDesign(window_.design(), kNames, "the About box's design has no ");
    window_.create(owner);
    SetWindowTextA(window_.hwnd(), about_.Caption.c_str());
    const std::pair<Id, Label*> labels[] = {{Id::lblTitle, &about_.lblTitle},
                                            {Id::lblVersion, &about_.lblVersion},
                                            {Id::lblDescription, &about_.lblDescription},
                                            {Id::lblDisclaimer, &about_.lblDisclaimer}};
    for (auto [id, model] : labels)
        if (HWND h = control(id))
            labels_.push_back(std::make_unique<LabelView>(h, *model));
    if (const ControlDesign* picture = window_.design().find(gui::nameOf(kNames, Id::picIcon))) {
        const PixelRect r = controlRect(window_.design(), *picture, window_.dpi());
        icon_ = static_cast<HICON>(LoadImageA(GetModuleHandleA(nullptr),
                                              MAKEINTRESOURCEA(CHATHOARD_ICON_ID), IMAGE_ICON,
                                              r.width, r.height, 0));
        setStaticIcon(control(Id::picIcon), icon_);
    }

    gui::runModal(window_, owner, [this] { return about_.loaded; });
    labels_.clear();
}

void AboutWindow::onControl(const ControlDesign& control, int notifyCode) {
    if (notifyCode != BN_CLICKED)
        return;
    switch (idOf(control.name)) {
    case Id::cmdOK:
        run([this] { about_.cmdOK_Click(); });
        break;
    case Id::cmdSysInfo:
        run([this] { about_.cmdSysInfo_Click(); });
        break;
    default:
        break;
    }
}

void AboutWindow::onDialogKey(int id) {
    // OK is both the default and the cancel button; Enter on the other button presses that one.
    HWND sysInfo = control(Id::cmdSysInfo);
    if (id == IDOK && GetFocus() == sysInfo)
        clickButton(sysInfo);
    else
        run([this] { about_.cmdOK_Click(); });
}

void AboutWindow::onClose() {
    run([this] { about_.unload(); });
}

} // namespace ch::gui
