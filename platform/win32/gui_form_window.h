#pragma once
// A top-level window built from a FormDesign: border and title-bar buttons, client area in
// twips at the real DPI, controls in stored order with their fonts, colours and tooltips, the
// menu bar, tab order, and the etched lines. The window procedure only routes: every user
// action goes to the FormEvents the owner of the window supplied.
#include <windows.h>

#include <functional>
#include <map>
#include <string>

#include "platform/form_design.h"
#include "platform/services.h"

namespace ch::gui {

class FormEvents {
  public:
    virtual ~FormEvents() = default;
    virtual void onControl(const ControlDesign& control, int notifyCode) = 0;
    virtual void onMenu(const MenuDesign& menu) = 0;
    // Enter (IDOK) or Esc (IDCANCEL) pressed where no control takes them.
    virtual void onDialogKey(int id) = 0;
    virtual void onClose() = 0;
    // Owner-drawn folder lists.
    virtual void onMeasureItem(const ControlDesign&, MEASUREITEMSTRUCT&) {}
    virtual void onDrawItem(const ControlDesign&, const DRAWITEMSTRUCT&) {}
    virtual void onDpiChanged() {}
    virtual void onDestroy() {}
};

class FormWindow {
  public:
    FormWindow(const FormDesign& design, FormEvents& events);
    ~FormWindow();
    FormWindow(const FormWindow&) = delete;
    FormWindow& operator=(const FormWindow&) = delete;

    // Creates the window and its controls, hidden, centred on the screen. owner: the window
    // that owns this one (none for the main window).
    void create(HWND owner);
    // Shows the window and puts the focus on the first control in tab order that can take it.
    void show(int showCommand);
    void destroy();

    HWND hwnd() const { return hwnd_; }
    HWND control(const std::string& name) const;
    const FormDesign& design() const { return design_; }
    int dpi() const { return dpi_; }
    HWND tooltip() const { return tooltip_; }
    // The font a control of the design is drawn with at the current DPI.
    HFONT fontOf(const ControlDesign& control) const;

  private:
    static LRESULT CALLBACK windowProc(HWND, UINT, WPARAM, LPARAM);
    LRESULT handle(UINT msg, WPARAM wParam, LPARAM lParam);
    void createControl(const ControlDesign& c);
    void createMenu();
    void createTooltips();
    void makeFonts();
    void layout();
    void resizeToClientArea(const RECT* suggested);
    void orderForTabbing();
    void paintLines(HDC dc);
    LRESULT colourStatic(HDC dc, HWND child);
    const ControlDesign* designOf(HWND child) const;
    const ControlDesign* designOfId(int id) const;
    DWORD style() const;
    DWORD exStyle() const;

    const FormDesign& design_;
    FormEvents& events_;
    HWND hwnd_ = nullptr;
    HWND tooltip_ = nullptr;
    HWND lastFocus_ = nullptr;
    int dpi_ = 96;
    std::map<std::string, HWND> controls_; // by name; control arrays are drawn, not created
    std::map<std::string, HFONT> fonts_;   // by face and size; "" is the default font
};

// Shows window (created) over owner, which takes no input meanwhile, with a dialog's keyboard
// handling, until isOpen() turns false or the window is gone; then destroys it.
void runModal(FormWindow& window, HWND owner, const std::function<bool()>& isOpen);

// The screen's DPI as GDI reports it to this (DPI-aware) process.
int systemDpi();

// Runs a user action through the program's event dispatcher, and keeps anything else that
// escapes it from unwinding through the window procedure.
void guiDispatch(Dialogs& dialogs, const std::function<void()>& action);

} // namespace ch::gui
