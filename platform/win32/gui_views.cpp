#include "platform/win32/gui_views.h"

#include <shellapi.h>

#include <algorithm>

#include "platform/win32/gui_control_messages.h"
#include "platform/win32/gui_layout.h"

namespace ch::gui {

namespace {

HICON folderIcon(bool open) {
    // The shell's own folder pictures, asked for by attributes so no real folder is touched.
    SHFILEINFOA info{};
    UINT flags =
        SHGFI_ICON | SHGFI_SMALLICON | SHGFI_USEFILEATTRIBUTES | (open ? SHGFI_OPENICON : 0);
    SHGetFileInfoA("folder", FILE_ATTRIBUTE_DIRECTORY, &info, sizeof(info), flags);
    return info.hIcon;
}

} // namespace

DriveListView::DriveListView(HWND combo, DriveList& model, Dispatch dispatch)
    : combo_(combo), model_(model), dispatch_(std::move(dispatch)) {
    model_.onUpdate = [this] { refresh(); };
    refresh();
}

DriveListView::~DriveListView() {
    model_.onUpdate = nullptr;
}

void DriveListView::refresh() {
    comboReset(combo_);
    for (const auto& entry : model_.entries())
        comboAdd(combo_, entry);
    comboSelect(combo_, model_.selectedIndex());
}

void DriveListView::onNotify(int code) {
    switch (code) {
    case CBN_SELCHANGE:
        // While the list is down, arrow keys and the mouse only browse; the pick comes with
        // the close. A closed list changes drive at once, as the classic drive list does.
        if (!comboDroppedDown(combo_))
            pick();
        break;
    case CBN_SELENDCANCEL:
        refresh();
        break;
    case CBN_CLOSEUP:
        pick();
        break;
    }
}

void DriveListView::pick() {
    const int selected = comboSelected(combo_);
    const auto& entries = model_.entries();
    if (busy_ || selected < 0 || selected >= static_cast<int>(entries.size()))
        return;
    const std::string entry = entries[selected]; // the change may re-read the drives
    if (entry == model_.Drive())
        return;
    busy_ = true;
    dispatch_([&] { model_.pick(entry); });
    busy_ = false;
    refresh(); // shows what the model holds now, whatever the handlers decided
}

FolderListView::FolderListView(HWND list, FolderList& model, Dispatch dispatch)
    : list_(list), model_(model), dispatch_(std::move(dispatch)), openIcon_(folderIcon(true)),
      closedIcon_(folderIcon(false)) {
    model_.onUpdate = [this] { refresh(); };
    refresh();
}

FolderListView::~FolderListView() {
    model_.onUpdate = nullptr;
    if (openIcon_)
        DestroyIcon(openIcon_);
    if (closedIcon_)
        DestroyIcon(closedIcon_);
}

void FolderListView::refresh() {
    setRedraw(list_, false);
    listReset(list_);
    for (const auto& item : model_.items())
        listAdd(list_, item.text);
    listSelect(list_, model_.pathIndex());
    setRedraw(list_, true);
    // The frame too: the scroll bar may have come or gone while drawing was off.
    RedrawWindow(list_, nullptr, nullptr, RDW_ERASE | RDW_FRAME | RDW_INVALIDATE | RDW_ALLCHILDREN);
}

void FolderListView::onNotify(int code) {
    if (code == LBN_DBLCLK)
        openSelected();
}

void FolderListView::openSelected() {
    const int selected = listSelected(list_);
    if (busy_ || selected < 0 || selected >= static_cast<int>(model_.items().size()))
        return;
    busy_ = true;
    dispatch_([&] { model_.open(selected); });
    busy_ = false;
    refresh();
}

int FolderListView::itemHeight(HFONT font, int dpi) {
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font);
    TEXTMETRICA metrics{};
    GetTextMetricsA(dc, &metrics);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    return std::max<int>(metrics.tmHeight, scalePixels(16, dpi)) + scalePixels(2, dpi);
}

void FolderListView::draw(const DRAWITEMSTRUCT& item, int dpi) const {
    HDC dc = item.hDC;
    RECT row = item.rcItem;
    FillRect(dc, &row, GetSysColorBrush(COLOR_WINDOW));
    const auto& items = model_.items();
    if (item.itemID >= items.size()) {
        if (item.itemState & ODS_FOCUS)
            DrawFocusRect(dc, &row);
        return;
    }
    const FolderItem& folder = items[item.itemID];
    const int icon = scalePixels(16, dpi);
    int x = row.left + scalePixels(2, dpi) + folder.depth * scalePixels(11, dpi);
    DrawIconEx(dc, x, row.top + (row.bottom - row.top - icon) / 2,
               folder.open ? openIcon_ : closedIcon_, icon, icon, 0, nullptr, DI_NORMAL);
    x += icon + scalePixels(3, dpi);

    RECT text{x, row.top, row.right, row.bottom};
    DrawTextA(dc, folder.text.c_str(), -1, &text, DT_SINGLELINE | DT_NOPREFIX | DT_CALCRECT);
    RECT back{x - 1, row.top, std::min<LONG>(text.right + 2, row.right), row.bottom};
    const bool selected = item.itemState & ODS_SELECTED;
    if (selected)
        FillRect(dc, &back, GetSysColorBrush(COLOR_HIGHLIGHT));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    RECT line{x, row.top, row.right, row.bottom};
    DrawTextA(dc, folder.text.c_str(), -1, &line, DT_SINGLELINE | DT_NOPREFIX | DT_VCENTER);
    if (item.itemState & ODS_FOCUS)
        DrawFocusRect(dc, &back);
}

FileListView::FileListView(HWND list, FileList& model) : list_(list), model_(model) {
    model_.onUpdate = [this] { refresh(); };
    refresh();
}

FileListView::~FileListView() {
    model_.onUpdate = nullptr;
}

void FileListView::refresh() {
    listReset(list_);
    for (int i = 0; i < model_.ListCount(); ++i)
        listAdd(list_, model_.List(i));
}

LabelView::LabelView(HWND label, Label& model) : label_(label), model_(model) {
    model_.onUpdate = [this] { refresh(); };
    refresh();
}

LabelView::~LabelView() {
    model_.onUpdate = nullptr;
}

void LabelView::refresh() {
    SetWindowTextA(label_, model_.Caption().c_str());
}

TextBoxView::TextBoxView(HWND edit, TextBox& model) : edit_(edit), model_(model) {
    model_.onUpdate = [this] { refresh(); };
    refresh();
}

TextBoxView::~TextBoxView() {
    model_.onUpdate = nullptr;
}

void TextBoxView::refresh() {
    SetWindowTextA(edit_, model_.Text().c_str());
}

} // namespace ch::gui
