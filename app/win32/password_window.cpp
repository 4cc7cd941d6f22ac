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
    : ModalFormWindow(form, dialogs, frmPasswordDesign()) {}

void PasswordWindow::opened() {
    showFields();
    SetFocus(control("txtPassword"));
}

void PasswordWindow::showFields() {
    SetWindowTextW(control("lblStatus"), toWide(form_.status).c_str());
    EnableWindow(control("cmdRemove"), form_.removeEnabled);
    // A box the form emptied (the second after a mismatch) is emptied here too.
    for (const char* name : {"txtPassword", "txtConfirm"}) {
        const TextBox& box =
            std::string(name) == "txtPassword" ? form_.txtPassword : form_.txtConfirm;
        if (box.Text().empty())
            clearText(control(name));
    }
}

void PasswordWindow::run(Handler handler) {
    form_.txtPassword.setText(takeText(control("txtPassword")));
    form_.txtConfirm.setText(takeText(control("txtConfirm")));
    guiDispatch(dialogs_, [this, handler] { (form_.*handler)(); });
    if (!form_.loaded)
        return;
    showFields();
    // After a refusal the focus goes back to the box to type in again.
    SetFocus(control(form_.txtConfirm.Text().empty() && !form_.txtPassword.Text().empty()
                         ? "txtConfirm"
                         : "txtPassword"));
}

void PasswordWindow::onControl(const ControlDesign& c, int notifyCode) {
    runClicked(c, notifyCode,
               {{"cmdOK", &FrmPassword::cmdOK_Click},
                {"cmdCancel", &FrmPassword::cmdCancel_Click},
                {"cmdRemove", &FrmPassword::cmdRemove_Click}});
}

AskPasswordWindow::AskPasswordWindow(FrmAskPassword& form, Dialogs& dialogs)
    : ModalFormWindow(form, dialogs, frmAskPasswordDesign()) {}

void AskPasswordWindow::opened() {
    SetWindowTextW(control("lblPrompt"), toWide(form_.prompt).c_str());
    SetFocus(control("txtPassword"));
}

void AskPasswordWindow::run(Handler handler) {
    form_.txtPassword.setText(takeText(control("txtPassword")));
    guiDispatch(dialogs_, [this, handler] { (form_.*handler)(); });
    if (form_.loaded)
        SetFocus(control("txtPassword"));
}

void AskPasswordWindow::onControl(const ControlDesign& c, int notifyCode) {
    runClicked(
        c, notifyCode,
        {{"cmdOK", &FrmAskPassword::cmdOK_Click}, {"cmdCancel", &FrmAskPassword::cmdCancel_Click}});
}

} // namespace ch::gui
