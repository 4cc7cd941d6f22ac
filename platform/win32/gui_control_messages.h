#pragma once
// Typed wrappers for the messages the windows send to standard controls. Each one converts
// indexes and handles to and from WPARAM/LPARAM/LRESULT in one place (the same on 32 and 64
// bits) and notes the behaviour of the message that callers must know.
#include <windows.h>

#include <commctrl.h>

#include <string>

namespace ch::gui {

namespace detail {

inline WPARAM indexParam(int index) {
    return static_cast<WPARAM>(static_cast<INT_PTR>(index)); // -1 stays all ones
}

inline int indexResult(LRESULT result) {
    const int value = static_cast<int>(result);
    return value < 0 ? -1 : value;
}

} // namespace detail

// --- Drop-down lists (combo boxes) ---

inline void comboReset(HWND combo) {
    SendMessageA(combo, CB_RESETCONTENT, 0, 0);
}

// Returns the new entry's index, or -1 on failure (CB_ERR, or CB_ERRSPACE when out of memory).
// A combo box with CBS_SORT files the entry in sorted order rather than at the end; the views
// create theirs unsorted so that indexes match their models.
inline int comboAdd(HWND combo, const std::string& text) {
    return detail::indexResult(
        SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str())));
}

// -1 clears the selection and the box's text; the message then answers CB_ERR although it
// succeeded, so its result is not returned.
inline void comboSelect(HWND combo, int index) {
    SendMessageA(combo, CB_SETCURSEL, detail::indexParam(index), 0);
}

// The selected entry's index, or -1 (CB_ERR) when nothing is selected.
inline int comboSelected(HWND combo) {
    return detail::indexResult(SendMessageA(combo, CB_GETCURSEL, 0, 0));
}

// Whether the list part is down (visible) right now.
inline bool comboDroppedDown(HWND combo) {
    return SendMessageA(combo, CB_GETDROPPEDSTATE, 0, 0) != FALSE;
}

// --- List boxes ---

inline void listReset(HWND list) {
    SendMessageA(list, LB_RESETCONTENT, 0, 0);
}

// Returns the new item's index, or -1 on failure (LB_ERR, or LB_ERRSPACE when out of memory).
// A list with LBS_SORT files the item in sorted order rather than at the end. The list holds
// Unicode: the text is converted from the ANSI code page.
inline int listAdd(HWND list, const std::string& text) {
    return detail::indexResult(
        SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str())));
}

// Single-selection lists only: it cannot select in a multiple-selection list. -1 clears the
// selection; the message then answers LB_ERR although it succeeded, so its result is not
// returned.
inline void listSelect(HWND list, int index) {
    SendMessageA(list, LB_SETCURSEL, detail::indexParam(index), 0);
}

// The selected item's index, or -1 (LB_ERR) when nothing is selected. Single-selection lists
// only: a multiple-selection list answers with its focused item instead.
inline int listSelected(HWND list) {
    return detail::indexResult(SendMessageA(list, LB_GETCURSEL, 0, 0));
}

// The height of every row of a fixed-height owner-drawn list (a variable-height list would take
// the row's index instead of 0). Heights over 255 pixels are refused: false.
inline bool listSetItemHeight(HWND list, int height) {
    return static_cast<int>(SendMessageA(list, LB_SETITEMHEIGHT, 0, static_cast<LPARAM>(height))) !=
           LB_ERR;
}

// --- Any control ---

// Stops or resumes the control's drawing while it is refilled. Resuming does not repaint what
// changed meanwhile: the caller repaints the control afterwards (InvalidateRect covers the
// items; RedrawWindow with RDW_FRAME also the border and scroll bar).
inline void setRedraw(HWND control, bool redraw) {
    SendMessageA(control, WM_SETREDRAW, redraw ? TRUE : FALSE, 0);
}

// The control only borrows the font: the caller deletes it, after the control no longer uses
// it. The control keeps its size; with redraw it repaints at once.
inline void setFont(HWND control, HFONT font, bool redraw) {
    SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), MAKELPARAM(redraw, 0));
}

// --- Progress bars ---

// The bar's range, from 0 to maximum (32-bit, unlike PBM_SETRANGE's 16-bit words).
inline void progressSetRange(HWND bar, int maximum) {
    SendMessageA(bar, PBM_SETRANGE32, 0, static_cast<LPARAM>(maximum));
}

// Moves the bar to position, within its range. A themed bar animates towards it.
inline void progressSetPosition(HWND bar, int position) {
    SendMessageA(bar, PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

// --- Buttons, pictures, tooltips ---

// Clicks as the user would: the parent gets BN_CLICKED. May do nothing when the button sits in
// a dialog box that is not the active window.
inline void clickButton(HWND button) {
    SendMessageA(button, BM_CLICK, 0, 0);
}

// Shows the icon in an SS_ICON static control. Returns the icon shown before, or null (also on
// failure).
inline HICON setStaticIcon(HWND picture, HICON icon) {
    return reinterpret_cast<HICON>(
        SendMessageA(picture, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0));
}

// Registers a tool; false if refused. cbSize must be set. sizeof(TOOLINFOA) counts lpReserved,
// and a comctl32 older than version 6 refuses that size (TTTOOLINFOA_V2_SIZE is the one it
// takes); the program's manifest asks for version 6.
inline bool addTool(HWND tooltip, const TOOLINFOA& info) {
    return SendMessageA(tooltip, TTM_ADDTOOLA, 0,
                        reinterpret_cast<LPARAM>(const_cast<TOOLINFOA*>(&info))) != FALSE;
}

} // namespace ch::gui
