#include "about/win32/about_window.h"

#include "platform/win32/gui_layout.h"
#include "platform/win32/gui_resources.h"

namespace ch::gui {

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
    window_.create(owner);
    SetWindowTextA(window_.hwnd(), about_.Caption.c_str());
    const std::pair<const char*, Label*> labels[] = {{"lblTitle", &about_.lblTitle},
                                                     {"lblVersion", &about_.lblVersion},
                                                     {"lblDescription", &about_.lblDescription},
                                                     {"lblDisclaimer", &about_.lblDisclaimer}};
    for (auto [name, model] : labels)
        if (HWND h = window_.control(name))
            labels_.push_back(std::make_unique<LabelView>(h, *model));
    if (const ControlDesign* picture = window_.design().find("picIcon")) {
        const PixelRect r = controlRect(window_.design(), *picture, window_.dpi());
        icon_ = static_cast<HICON>(LoadImageA(GetModuleHandleA(nullptr),
                                              MAKEINTRESOURCEA(CHATHOARD_ICON_ID), IMAGE_ICON,
                                              r.width, r.height, 0));
        SendMessageA(window_.control("picIcon"), STM_SETICON, reinterpret_cast<WPARAM>(icon_), 0);
    }

    if (owner)
        EnableWindow(owner, FALSE);
    window_.show(SW_SHOW);
    MSG msg;
    while (about_.loaded && window_.hwnd()) {
        const BOOL got = GetMessageA(&msg, nullptr, 0, 0);
        if (got <= 0) {
            if (got == 0)
                PostQuitMessage(static_cast<int>(msg.wParam)); // for the main loop
            break;
        }
        if (IsDialogMessageA(window_.hwnd(), &msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    // The owner is enabled before the box goes, so that it, not another program, is activated.
    if (owner)
        EnableWindow(owner, TRUE);
    labels_.clear();
    window_.destroy();
    if (owner)
        SetActiveWindow(owner);
}

void AboutWindow::onControl(const ControlDesign& control, int notifyCode) {
    if (notifyCode != BN_CLICKED)
        return;
    if (control.name == "cmdOK")
        run([this] { about_.cmdOK_Click(); });
    if (control.name == "cmdSysInfo")
        run([this] { about_.cmdSysInfo_Click(); });
}

void AboutWindow::onDialogKey(int id) {
    // OK is both the default and the cancel button; Enter on the other button presses that one.
    HWND sysInfo = window_.control("cmdSysInfo");
    if (id == IDOK && GetFocus() == sysInfo)
        SendMessageA(sysInfo, BM_CLICK, 0, 0);
    else
        run([this] { about_.cmdOK_Click(); });
}

void AboutWindow::onClose() {
    run([this] { about_.unload(); });
}

} // namespace ch::gui
