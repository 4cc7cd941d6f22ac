#include "app/win32/schedule_window.h"

#include <shlobj.h>

#include <cstring>

#include "platform/win32/win32_text.h"

namespace ch::gui {
namespace {

std::string textOf(HWND h) {
    const int n = GetWindowTextLengthW(h);
    std::wstring text(static_cast<size_t>(n) + 1, L'\0');
    GetWindowTextW(h, text.data(), n + 1);
    text.resize(static_cast<size_t>(n));
    return toAnsi(text);
}

void setText(HWND h, const std::string& text) {
    SetWindowTextW(h, toWide(text).c_str());
}

// The folder picker opens on the folder already given; the shell calls this when it is ready.
int CALLBACK browseCallback(HWND picker, UINT msg, LPARAM, LPARAM start) {
    if (msg == BFFM_INITIALIZED && start)
        SendMessageW(picker, BFFM_SETSELECTIONW, TRUE, start);
    return 0;
}

} // namespace

ScheduleWindow::ScheduleWindow(FrmSchedule& form, Dialogs& dialogs)
    : ModalFormWindow(form, dialogs, frmScheduleDesign()) {}

void ScheduleWindow::opened() {
    for (const char* kind : kScheduleKinds)
        SendMessageA(control("cboKind"), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(kind));
    for (const char* when : kScheduleWhens)
        SendMessageA(control("cboWhen"), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(when));
    showFields();
}

void ScheduleWindow::showFields() {
    SendMessageA(control("cboKind"), CB_SETCURSEL, static_cast<WPARAM>(form_.kindIndex), 0);
    SendMessageA(control("cboWhen"), CB_SETCURSEL, static_cast<WPARAM>(form_.whenIndex), 0);
    setText(control("txtFrom"), form_.txtFrom.Text());
    setText(control("txtTo"), form_.txtTo.Text());
    setText(control("txtTime"), form_.txtTime.Text());
    setText(control("txtKeep"), form_.txtKeep.Text());
    setText(control("txtWait"), form_.txtWait.Text());
    for (const DayBox& box : kDayBoxes)
        SendMessageA(control(box.name), BM_SETCHECK,
                     (form_.days & box.day) ? BST_CHECKED : BST_UNCHECKED, 0);
    SendMessageA(control("chkEncrypted"), BM_SETCHECK,
                 form_.encrypted ? BST_CHECKED : BST_UNCHECKED, 0);
    EnableWindow(control("chkEncrypted"), form_.encryptedEnabled);
    EnableWindow(control("cmdRemove"), form_.removeEnabled);
    setText(control("lblStatus"), form_.status);
    setText(control("lblLastRun"), form_.lastRun);
    EnableWindow(control("cmdLog"), form_.removeEnabled);
    const bool manual = !form_.manualCommand.empty();
    setText(control("txtCommand"), form_.manualCommand);
    ShowWindow(control("txtCommand"), manual ? SW_SHOW : SW_HIDE);
    ShowWindow(control("cmdCopy"), manual ? SW_SHOW : SW_HIDE);
    enableForWhen();
}

void ScheduleWindow::readFields() {
    form_.kindIndex = static_cast<int>(SendMessageA(control("cboKind"), CB_GETCURSEL, 0, 0));
    form_.whenIndex = static_cast<int>(SendMessageA(control("cboWhen"), CB_GETCURSEL, 0, 0));
    form_.txtFrom.setText(textOf(control("txtFrom")));
    form_.txtTo.setText(textOf(control("txtTo")));
    form_.txtTime.setText(textOf(control("txtTime")));
    form_.txtKeep.setText(textOf(control("txtKeep")));
    form_.txtWait.setText(textOf(control("txtWait")));
    form_.days = 0;
    for (const DayBox& box : kDayBoxes)
        if (SendMessageA(control(box.name), BM_GETCHECK, 0, 0) == BST_CHECKED)
            form_.days |= box.day;
    form_.encrypted = SendMessageA(control("chkEncrypted"), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

// The time is for the two timed choices, the days for the weekly one.
void ScheduleWindow::enableForWhen() {
    const auto when = SendMessageA(control("cboWhen"), CB_GETCURSEL, 0, 0);
    EnableWindow(control("txtTime"), when != static_cast<LRESULT>(TaskWhen::AtLogOn));
    for (const DayBox& box : kDayBoxes)
        EnableWindow(control(box.name), when == static_cast<LRESULT>(TaskWhen::Weekdays));
}

void ScheduleWindow::run(Handler handler) {
    readFields();
    guiDispatch(dialogs_, [this, handler] { (form_.*handler)(); });
    if (form_.loaded)
        showFields();
}

// The shell's folder picker, Network included, so that a share can be picked as well as typed.
void ScheduleWindow::browse() {
    const std::wstring start = toWide(textOf(control("txtTo")));
    BROWSEINFOW info = {};
    info.hwndOwner = window_.hwnd();
    info.lpszTitle = L"Choose the folder to back up into: a folder of this computer or of a "
                     L"network share.";
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE | BIF_SHAREABLE;
    info.lpfn = browseCallback;
    info.lParam = reinterpret_cast<LPARAM>(start.empty() ? nullptr : start.c_str());
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (LPITEMIDLIST picked = SHBrowseForFolderW(&info)) {
        wchar_t path[MAX_PATH] = {};
        if (SHGetPathFromIDListW(picked, path))
            SetWindowTextW(control("txtTo"), path);
        CoTaskMemFree(picked);
    }
    if (SUCCEEDED(com))
        CoUninitialize();
}

void ScheduleWindow::copyCommand() {
    const std::wstring text = toWide(form_.manualCommand);
    if (!OpenClipboard(window_.hwnd()))
        return;
    EmptyClipboard();
    const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    if (HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes)) {
        memcpy(GlobalLock(memory), text.c_str(), bytes);
        GlobalUnlock(memory);
        if (!SetClipboardData(CF_UNICODETEXT, memory))
            GlobalFree(memory);
    }
    CloseClipboard();
}

void ScheduleWindow::onControl(const ControlDesign& c, int notifyCode) {
    if (c.name == "cboWhen" && notifyCode == CBN_SELCHANGE)
        enableForWhen();
    if (notifyCode == BN_CLICKED && c.name == "cmdBrowse")
        browse();
    else if (notifyCode == BN_CLICKED && c.name == "cmdCopy")
        copyCommand();
    else
        runClicked(c, notifyCode,
                   {{"cmdOK", &FrmSchedule::cmdOK_Click},
                    {"cmdCancel", &FrmSchedule::cmdCancel_Click},
                    {"cmdRemove", &FrmSchedule::cmdRemove_Click},
                    {"cmdLog", &FrmSchedule::cmdLog_Click}});
}

} // namespace ch::gui
