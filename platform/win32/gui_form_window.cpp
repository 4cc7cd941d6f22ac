#include "platform/win32/gui_form_window.h"

#include <commctrl.h>

#include <stdexcept>

#include "platform/event_dispatch.h"
#include "platform/win32/gui_control_messages.h"
#include "platform/win32/gui_layout.h"
#include "platform/win32/gui_resources.h"

namespace ch::gui {

namespace {

// Rows shown when a drive list drops down.
constexpr int kDropDownRows = 8;

std::string fontKey(const FontSpec& font) {
    if (font.face.empty())
        return font.weight == 400 ? std::string() : std::to_string(font.weight);
    return font.face + "/" + std::to_string(font.points) + "/" + std::to_string(font.weight);
}

// GetDpiForWindow and AdjustWindowRectExForDpi exist from Windows 10 on; older systems have
// one DPI for the whole session.
template <typename F> F user32Function(const char* name) {
    return reinterpret_cast<F>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), name)));
}

int windowDpi(HWND hwnd) {
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    static const auto getDpi = user32Function<GetDpiForWindowFn>("GetDpiForWindow");
    if (getDpi)
        if (UINT dpi = getDpi(hwnd))
            return static_cast<int>(dpi);
    return systemDpi();
}

void adjustForDpi(RECT& rect, DWORD style, bool menu, DWORD exStyle, int dpi) {
    using AdjustFn = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
    static const auto adjust = user32Function<AdjustFn>("AdjustWindowRectExForDpi");
    if (adjust)
        adjust(&rect, style, menu, exStyle, static_cast<UINT>(dpi));
    else
        AdjustWindowRectEx(&rect, style, menu, exStyle);
}

HFONT makeFont(const FontSpec& spec, int dpi) {
    LOGFONTA lf{};
    if (spec.face.empty()) {
        // The system's message font, which dialogs use; it comes at the session's DPI.
        NONCLIENTMETRICSA metrics{};
        metrics.cbSize = sizeof(metrics);
        SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0);
        lf = metrics.lfMessageFont;
        lf.lfHeight = MulDiv(lf.lfHeight, dpi, systemDpi());
        if (spec.weight != 400)
            lf.lfWeight = spec.weight;
    } else {
        lf.lfHeight = fontHeight(spec.points, dpi);
        lf.lfWeight = spec.weight;
        lf.lfCharSet = ANSI_CHARSET;
        lstrcpynA(lf.lfFaceName, spec.face.c_str(), LF_FACESIZE);
    }
    return CreateFontIndirectA(&lf);
}

std::string className(const FormDesign& design) {
    return "Chathoard." + design.name;
}

void registerClass(const std::string& name, bool withIcon) {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof(wc);
    HINSTANCE instance = GetModuleHandleA(nullptr);
    if (GetClassInfoExA(instance, name.c_str(), &wc))
        return;
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = DefWindowProcA; // replaced per window once its FormWindow is known
    wc.hInstance = instance;
    wc.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512)); // IDC_ARROW
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = name.c_str();
    // A dialog frame carries no icon; only a window of its own in the taskbar shows one.
    if (withIcon) {
        wc.hIcon = static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(CHATHOARD_ICON_ID),
                                                 IMAGE_ICON, GetSystemMetrics(SM_CXICON),
                                                 GetSystemMetrics(SM_CYICON), 0));
        wc.hIconSm = static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(CHATHOARD_ICON_ID),
                                                   IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                                   GetSystemMetrics(SM_CYSMICON), 0));
    }
    RegisterClassExA(&wc);
}

} // namespace

int systemDpi() {
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : 96;
}

void guiDispatch(Dialogs& dialogs, const std::function<void()>& action) {
    try {
        dispatchEvent(dialogs, action);
    } catch (const std::exception& e) {
        // Not a run-time failure of the program's own: report it and stay alive, since
        // unwinding further would cross the system's window procedure frames.
        try {
            dialogs.msgBox(std::string("The program met an unexpected problem and could not "
                                       "finish this action:\r\n\r\n") +
                               e.what(),
                           vbCritical);
        } catch (...) {
        }
    }
}

FormWindow::FormWindow(const FormDesign& design, FormEvents& events)
    : design_(design), events_(events) {}

FormWindow::~FormWindow() {
    destroy();
    for (auto& [key, font] : fonts_)
        DeleteObject(font);
}

DWORD FormWindow::style() const {
    if (design_.border == BorderStyle::FixedDialog)
        return WS_POPUP | WS_CAPTION | WS_SYSMENU;
    DWORD s = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU; // fixed single: no sizing border
    if (design_.minButton)
        s |= WS_MINIMIZEBOX;
    if (design_.maxButton)
        s |= WS_MAXIMIZEBOX;
    return s;
}

DWORD FormWindow::exStyle() const {
    if (design_.border == BorderStyle::FixedDialog)
        return WS_EX_DLGMODALFRAME;
    return design_.showInTaskbar ? WS_EX_APPWINDOW : 0;
}

void FormWindow::create(HWND owner) {
    const std::string cls = className(design_);
    registerClass(cls, design_.showInTaskbar);
    dpi_ = systemDpi();
    hwnd_ = CreateWindowExA(exStyle(), cls.c_str(), design_.caption.c_str(), style(), 0, 0, 0, 0,
                            owner, nullptr, GetModuleHandleA(nullptr), nullptr);
    if (!hwnd_)
        throw std::runtime_error("cannot create the window " + design_.name);
    SetWindowLongPtrA(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetWindowLongPtrA(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&FormWindow::windowProc));
    dpi_ = windowDpi(hwnd_);
    createMenu();
    makeFonts();
    for (const auto& c : design_.controls)
        createControl(c);
    orderForTabbing();
    createTooltips();
    layout();
    resizeToClientArea(nullptr);
}

void FormWindow::show(int showCommand) {
    ShowWindow(hwnd_, showCommand);
    for (const ControlDesign* c : tabOrder(design_)) {
        HWND h = control(c->name);
        if (h && takesFocus(c->kind) && IsWindowVisible(h) && IsWindowEnabled(h)) {
            SetFocus(h);
            lastFocus_ = h;
            break;
        }
    }
}

void FormWindow::destroy() {
    if (hwnd_)
        DestroyWindow(hwnd_);
}

HWND FormWindow::control(const std::string& name) const {
    auto it = controls_.find(name);
    return it == controls_.end() ? nullptr : it->second;
}

HFONT FormWindow::fontOf(const ControlDesign& c) const {
    auto it = fonts_.find(fontKey(c.font));
    return it == fonts_.end() ? nullptr : it->second;
}

void FormWindow::makeFonts() {
    std::map<std::string, HFONT> fresh;
    fresh[""] = makeFont({}, dpi_);
    for (const auto& c : design_.controls)
        if (!fresh.count(fontKey(c.font)))
            fresh[fontKey(c.font)] = makeFont(c.font, dpi_);
    for (auto& [key, font] : fonts_)
        DeleteObject(font); // controls get the new ones next
    fonts_ = std::move(fresh);
}

void FormWindow::createMenu() {
    if (design_.menus.empty())
        return;
    HMENU bar = CreateMenu();
    HMENU popup = nullptr;
    for (const auto& m : design_.menus) {
        if (m.level == 0) {
            popup = CreatePopupMenu();
            AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(popup), m.caption.c_str());
        } else if (popup) {
            if (m.caption == "-")
                AppendMenuA(popup, MF_SEPARATOR, 0, nullptr);
            else
                AppendMenuA(popup, MF_STRING, menuId(design_, m), m.caption.c_str());
        }
    }
    SetMenu(hwnd_, bar);
}

void FormWindow::createControl(const ControlDesign& c) {
    const char* cls = nullptr;
    DWORD s = WS_CHILD | (c.visible ? WS_VISIBLE : 0);
    DWORD ex = 0;
    switch (c.kind) {
    case ControlKind::TextBox:
        cls = "EDIT";
        s |= WS_TABSTOP |
             (c.multiLine ? ES_MULTILINE | ES_AUTOVSCROLL | WS_VSCROLL : ES_AUTOHSCROLL) |
             (c.locked ? ES_READONLY : 0) | (c.password ? ES_PASSWORD : 0);
        ex = WS_EX_CLIENTEDGE;
        break;
    case ControlKind::FileList:
        cls = "LISTBOX";
        s |= WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY | LBS_HASSTRINGS | LBS_NOINTEGRALHEIGHT;
        ex = WS_EX_CLIENTEDGE;
        break;
    case ControlKind::FolderList:
        cls = "LISTBOX";
        s |= WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY | LBS_HASSTRINGS | LBS_NOINTEGRALHEIGHT |
             LBS_OWNERDRAWFIXED;
        ex = WS_EX_CLIENTEDGE;
        break;
    case ControlKind::DriveList:
        cls = "COMBOBOX";
        s |= WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST;
        break;
    case ControlKind::Frame:
        cls = "BUTTON";
        s |= BS_GROUPBOX;
        break;
    case ControlKind::Button:
        cls = "BUTTON";
        s |= WS_TABSTOP | (c.isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
        break;
    case ControlKind::Label:
        cls = "STATIC";
        s |= c.centred ? SS_CENTER : SS_LEFT;
        break;
    case ControlKind::Picture:
        cls = "STATIC";
        s |= SS_ICON | SS_CENTERIMAGE | SS_REALSIZECONTROL;
        break;
    case ControlKind::ProgressBar:
        cls = PROGRESS_CLASSA;
        s |= PBS_SMOOTH;
        break;
    case ControlKind::ComboBox:
        cls = "COMBOBOX";
        s |= WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST;
        break;
    case ControlKind::CheckBox:
        cls = "BUTTON";
        s |= WS_TABSTOP | BS_AUTOCHECKBOX;
        break;
    case ControlKind::Line:
        return; // drawn by the window itself
    }
    HWND h = CreateWindowExA(ex, cls, c.caption.c_str(), s, 0, 0, 0, 0, hwnd_,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(controlId(design_, c))),
                             GetModuleHandleA(nullptr), nullptr);
    if (!h)
        throw std::runtime_error("cannot create the control " + c.name);
    controls_[c.name] = h;
}

void FormWindow::orderForTabbing() {
    // Tab and Shift+Tab walk the sibling order, so it is made the tab order.
    HWND previous = HWND_TOP;
    for (const ControlDesign* c : tabOrder(design_)) {
        HWND h = control(c->name);
        if (!h)
            continue;
        SetWindowPos(h, previous, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        previous = h;
        // Every control a group of its own: arrow keys then stay inside lists and never hop
        // between buttons.
        SetWindowLongA(h, GWL_STYLE, GetWindowLongA(h, GWL_STYLE) | WS_GROUP);
    }
}

void FormWindow::createTooltips() {
    for (const auto& c : design_.controls) {
        HWND h = control(c.name);
        if (c.toolTip.empty() || !h)
            continue;
        if (!tooltip_)
            tooltip_ = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr,
                                       WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT,
                                       CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr,
                                       GetModuleHandleA(nullptr), nullptr);
        TOOLINFOA info{};
        info.cbSize = sizeof(info);
        info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        info.hwnd = hwnd_;
        info.uId = reinterpret_cast<UINT_PTR>(h);
        info.lpszText = const_cast<char*>(c.toolTip.c_str()); // the tooltip copies it
        addTool(tooltip_, info);
    }
}

void FormWindow::layout() {
    for (const auto& c : design_.controls) {
        HWND h = control(c.name);
        if (!h)
            continue;
        PixelRect r = controlRect(design_, c, dpi_);
        // A drop-down list's height includes its list; the closed box sizes itself to its font.
        if (c.kind == ControlKind::DriveList || c.kind == ControlKind::ComboBox)
            r.height *= kDropDownRows;
        setFont(h, fontOf(c), true);
        MoveWindow(h, r.left, r.top, r.width, r.height, TRUE);
    }
}

void FormWindow::resizeToClientArea(const RECT* suggested) {
    const int width = twipsToPixels(design_.clientWidth, dpi_);
    const int height = twipsToPixels(design_.clientHeight, dpi_);
    RECT rect{0, 0, width, height};
    adjustForDpi(rect, style(), GetMenu(hwnd_) != nullptr, exStyle(), dpi_);
    int outerWidth = rect.right - rect.left, outerHeight = rect.bottom - rect.top;
    POINT origin;
    if (suggested) {
        origin = {suggested->left, suggested->top};
    } else {
        MONITORINFO monitor{};
        monitor.cbSize = sizeof(monitor);
        GetMonitorInfoA(MonitorFromPoint({0, 0}, MONITOR_DEFAULTTOPRIMARY), &monitor);
        const RECT& work = monitor.rcWork;
        origin = {work.left + (work.right - work.left - outerWidth) / 2,
                  work.top + (work.bottom - work.top - outerHeight) / 2};
    }
    SetWindowPos(hwnd_, nullptr, origin.x, origin.y, outerWidth, outerHeight,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    // A menu bar that wraps onto two lines takes client height; give it back.
    RECT client;
    GetClientRect(hwnd_, &client);
    if (client.bottom != height || client.right != width) {
        outerWidth += width - client.right;
        outerHeight += height - client.bottom;
        if (!suggested)
            origin.y -= (height - client.bottom) / 2;
        SetWindowPos(hwnd_, nullptr, origin.x, origin.y, outerWidth, outerHeight,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

void FormWindow::paintLines(HDC dc) {
    for (const auto& c : design_.controls) {
        if (c.kind != ControlKind::Line)
            continue;
        HPEN pen = CreatePen(PS_SOLID, scalePixels(c.lineWidth, dpi_), c.foreColor.value_or(0));
        HGDIOBJ old = SelectObject(dc, pen);
        MoveToEx(dc, twipsToPixels(c.left, dpi_), twipsToPixels(c.top, dpi_), nullptr);
        LineTo(dc, twipsToPixels(c.width, dpi_), twipsToPixels(c.height, dpi_));
        SelectObject(dc, old);
        DeleteObject(pen);
    }
}

const ControlDesign* FormWindow::designOfId(int id) const {
    const int index = id - kFirstControlId;
    if (index < 0 || index >= static_cast<int>(design_.controls.size()))
        return nullptr;
    return &design_.controls[index];
}

const ControlDesign* FormWindow::designOf(HWND child) const {
    return child ? designOfId(GetDlgCtrlID(child)) : nullptr;
}

LRESULT FormWindow::colourStatic(HDC dc, HWND child) {
    const ControlDesign* c = designOf(child);
    if (c && c->foreColor)
        SetTextColor(dc, *c->foreColor);
    SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
    SetBkMode(dc, TRANSPARENT);
    return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
}

LRESULT CALLBACK FormWindow::windowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<FormWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (!self)
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    if (msg == WM_NCDESTROY) {
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
        self->hwnd_ = nullptr;
        self->tooltip_ = nullptr;
        self->controls_.clear();
        self->lastFocus_ = nullptr;
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
    return self->handle(msg, wParam, lParam);
}

LRESULT FormWindow::handle(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_COMMAND: {
        const int id = LOWORD(wParam), code = HIWORD(wParam);
        if (id == IDOK || id == IDCANCEL) {
            events_.onDialogKey(id);
        } else if (lParam) {
            if (const ControlDesign* c = designOfId(id))
                events_.onControl(*c, code);
        } else if (id >= kFirstMenuId &&
                   id - kFirstMenuId < static_cast<int>(design_.menus.size())) {
            events_.onMenu(design_.menus[id - kFirstMenuId]);
        }
        return 0;
    }
    case DM_GETDEFID: {
        // Asked by the dialog keyboard handling and by a multi-line text on Enter: a button
        // with the focus is pressed, else the design's default button, as in a dialog. A
        // window without a default button answers nothing, and Enter comes as IDOK.
        const ControlDesign* pressed = nullptr;
        for (const auto& c : design_.controls)
            if (c.isDefault)
                pressed = &c;
        if (!pressed)
            break;
        const ControlDesign* focused = designOf(GetFocus());
        if (focused && focused->kind == ControlKind::Button)
            pressed = focused;
        return MAKELRESULT(controlId(design_, *pressed), DC_HASDEFID);
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
        return colourStatic(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_MEASUREITEM: {
        auto& item = *reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
        if (const ControlDesign* c = designOfId(static_cast<int>(item.CtlID)))
            events_.onMeasureItem(*c, item);
        return TRUE;
    }
    case WM_DRAWITEM: {
        const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        if (const ControlDesign* c = designOfId(static_cast<int>(item.CtlID)))
            events_.onDrawItem(*c, item);
        return TRUE;
    }
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd_, &ps);
        paintLines(dc);
        EndPaint(hwnd_, &ps);
        return 0;
    }
    case WM_ACTIVATE:
        // Like a dialog: the focus comes back to the control that had it.
        if (LOWORD(wParam) == WA_INACTIVE) {
            HWND focus = GetFocus();
            if (focus && IsChild(hwnd_, focus))
                lastFocus_ = focus;
        } else if (!HIWORD(wParam) && lastFocus_ && IsWindow(lastFocus_)) {
            SetFocus(lastFocus_);
            return 0;
        }
        break;
    case 0x02E0: { // WM_DPICHANGED: the window moved to a monitor with another scale
        dpi_ = HIWORD(wParam);
        makeFonts();
        layout();
        events_.onDpiChanged();
        resizeToClientArea(reinterpret_cast<const RECT*>(lParam));
        InvalidateRect(hwnd_, nullptr, TRUE);
        return 0;
    }
    case WM_CLOSE:
        events_.onClose();
        return 0;
    case WM_DESTROY:
        events_.onDestroy();
        break;
    }
    return DefWindowProcA(hwnd_, msg, wParam, lParam);
}

void runModal(FormWindow& window, HWND owner, const std::function<bool()>& isOpen) {
    if (owner)
        EnableWindow(owner, FALSE);
    window.show(SW_SHOW);
    MSG msg;
    while (isOpen() && window.hwnd()) {
        const BOOL got = GetMessageA(&msg, nullptr, 0, 0);
        if (got <= 0) {
            if (got == 0)
                PostQuitMessage(static_cast<int>(msg.wParam)); // for the main loop
            break;
        }
        if (IsDialogMessageA(window.hwnd(), &msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    // The owner is enabled before the window goes, so that it, not another program, is
    // activated.
    if (owner)
        EnableWindow(owner, TRUE);
    window.destroy();
    if (owner)
        SetActiveWindow(owner);
}

} // namespace ch::gui
