#include "app/win32/password_window.h"

#include <vector>

#include "platform/win32/win32_text.h"

namespace ch::gui {
namespace {

// A masked box's text as UTF-8, as the command line reads a typed password; the box itself
// is emptied, so that the text does not stay in its memory.
std::string takeText(HWND box) {
    const int n = GetWindowTextLengthW(box);
    std::vector<wchar_t> wide(static_cast<size_t>(n) + 1, L'\0');
    const int got = GetWindowTextW(box, wide.data(), n + 1);
    std::string utf8(static_cast<size_t>(got) * 3 + 1, '\0');
    const int size = WideCharToMultiByte(CP_UTF8, 0, wide.data(), got, utf8.data(),
                                         static_cast<int>(utf8.size()), nullptr, nullptr);
    SecureZeroMemory(wide.data(), wide.size() * sizeof(wchar_t));
    utf8.resize(size > 0 ? static_cast<size_t>(size) : 0);
    return utf8;
}

void clearText(HWND box) {
    SetWindowTextW(box, L"");
}

} // namespace

PasswordWindow::PasswordWindow(FrmPassword& form, Dialogs& dialogs)
    : form_(form), dialogs_(dialogs), window_(frmPasswordDesign(), *this) {}

PasswordWindow::~PasswordWindow() {
    window_.destroy();
}

void PasswordWindow::runModal(HWND owner) {
    window_.create(owner);
    SetWindowTextA(window_.hwnd(), form_.Caption.c_str());
    showFields();
    SetFocus(window_.control("txtPassword"));
    gui::runModal(window_, owner, [this] { return form_.loaded; });
}

void PasswordWindow::showFields() {
    SetWindowTextW(window_.control("lblStatus"), toWide(form_.status).c_str());
    EnableWindow(window_.control("cmdRemove"), form_.removeEnabled);
    // A box the form emptied (the second after a mismatch) is emptied here too.
    for (const char* name : {"txtPassword", "txtConfirm"}) {
        const TextBox& box =
            std::string(name) == "txtPassword" ? form_.txtPassword : form_.txtConfirm;
        if (box.Text().empty())
            clearText(window_.control(name));
    }
}

void PasswordWindow::run(void (FrmPassword::*handler)()) {
    form_.txtPassword.setText(takeText(window_.control("txtPassword")));
    form_.txtConfirm.setText(takeText(window_.control("txtConfirm")));
    guiDispatch(dialogs_, [this, handler] { (form_.*handler)(); });
    if (!form_.loaded)
        return;
    showFields();
    // After a refusal the focus goes back to the box to type in again.
    SetFocus(window_.control(form_.txtConfirm.Text().empty() && !form_.txtPassword.Text().empty()
                                 ? "txtConfirm"
                                 : "txtPassword"));
}

void PasswordWindow::onControl(const ControlDesign& c, int notifyCode) {
    if (notifyCode != BN_CLICKED)
        return;
    if (c.name == "cmdOK")
        run(&FrmPassword::cmdOK_Click);
    else if (c.name == "cmdCancel")
        run(&FrmPassword::cmdCancel_Click);
    else if (c.name == "cmdRemove")
        run(&FrmPassword::cmdRemove_Click);
}

void PasswordWindow::onDialogKey(int id) {
    run(id == IDOK ? &FrmPassword::cmdOK_Click : &FrmPassword::cmdCancel_Click);
}

void PasswordWindow::onClose() {
    run(&FrmPassword::cmdCancel_Click);
}

AskPasswordWindow::AskPasswordWindow(FrmAskPassword& form, Dialogs& dialogs)
    : form_(form), dialogs_(dialogs), window_(frmAskPasswordDesign(), *this) {}

AskPasswordWindow::~AskPasswordWindow() {
    window_.destroy();
}

void AskPasswordWindow::runModal(HWND owner) {
    window_.create(owner);
    SetWindowTextA(window_.hwnd(), form_.Caption.c_str());
    SetWindowTextW(window_.control("lblPrompt"), toWide(form_.prompt).c_str());
    SetFocus(window_.control("txtPassword"));
    gui::runModal(window_, owner, [this] { return form_.loaded; });
}

void AskPasswordWindow::run(void (FrmAskPassword::*handler)()) {
    form_.txtPassword.setText(takeText(window_.control("txtPassword")));
    guiDispatch(dialogs_, [this, handler] { (form_.*handler)(); });
    if (form_.loaded)
        SetFocus(window_.control("txtPassword"));
}

void AskPasswordWindow::onControl(const ControlDesign& c, int notifyCode) {
    if (notifyCode != BN_CLICKED)
        return;
    if (c.name == "cmdOK")
        run(&FrmAskPassword::cmdOK_Click);
    else if (c.name == "cmdCancel")
        run(&FrmAskPassword::cmdCancel_Click);
}

void AskPasswordWindow::onDialogKey(int id) {
    run(id == IDOK ? &FrmAskPassword::cmdOK_Click : &FrmAskPassword::cmdCancel_Click);
}

void AskPasswordWindow::onClose() {
    run(&FrmAskPassword::cmdCancel_Click);
}

} // namespace ch::gui
