#pragma once
// Thin views of the control models: each draws its model into a standard control and turns
// the user's picks into model calls, run through the event dispatcher. No program logic here.
#include <windows.h>

#include <functional>

#include "platform/controls.h"

namespace ch::gui {

using Dispatch = std::function<void(const std::function<void()>&)>;

// A drop-down list of drives. Picking an entry assigns it to the model's Drive.
class DriveListView {
  public:
    DriveListView(HWND combo, DriveList& model, Dispatch dispatch);
    ~DriveListView();
    void refresh();
    void onNotify(int code);

  private:
    void pick();
    HWND combo_;
    DriveList& model_;
    Dispatch dispatch_;
    bool busy_ = false;
};

// An owner-drawn list of folders: ancestors open, subfolders closed, indented by depth. The
// items carry their text, so screen readers and tests read them with LB_GETTEXT.
class FolderListView {
  public:
    FolderListView(HWND list, FolderList& model, Dispatch dispatch);
    ~FolderListView();
    void refresh();
    void onNotify(int code);
    // Enter on the list: opens the highlighted folder, as a double-click does.
    void openSelected();
    // Item height for the list's font at the window's DPI.
    static int itemHeight(HFONT font, int dpi);
    void draw(const DRAWITEMSTRUCT& item, int dpi) const;

  private:
    HWND list_;
    FolderList& model_;
    Dispatch dispatch_;
    HICON openIcon_ = nullptr;
    HICON closedIcon_ = nullptr;
    bool busy_ = false;
};

// The hidden file list: kept filled so that what the program holds can be seen from outside.
class FileListView {
  public:
    FileListView(HWND list, FileList& model);
    ~FileListView();
    void refresh();

  private:
    HWND list_;
    FileList& model_;
};

class LabelView {
  public:
    LabelView(HWND label, Label& model);
    ~LabelView();
    void refresh();

  private:
    HWND label_;
    Label& model_;
};

class TextBoxView {
  public:
    TextBoxView(HWND edit, TextBox& model);
    ~TextBoxView();
    void refresh();

  private:
    HWND edit_;
    TextBox& model_;
};

} // namespace ch::gui
