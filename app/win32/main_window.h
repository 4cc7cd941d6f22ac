#pragma once
// The main window: Form1's design rendered, its views bound to Form1's models, and each user
// action routed to the handler the event wiring names.
#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "app/form1.h"
#include "platform/win32/gui_form_window.h"
#include "platform/win32/gui_views.h"
#include "platform/win32/gui_work_runner.h"

namespace ch::gui {

class MainWindow : private FormEvents {
  public:
    // The controls and menu items the window routes, by identity: their design names are
    // spelt once, in main_window.cpp, and each is checked against the design when the window is
    // made.
    enum class Id {
        Command1,
        Command2,
        Drive1,
        Drive2,
        Dir1,
        Dir2,
        File1,
        Label1,
        lblEncrypted,
        Text1,
        mnuCheck,
        mnuRestore,
        mnuSchedule,
        mnuPassword,
        mnuExit,
        mnuContets,
        mnuHomepage,
        mnuEmail,
        mnuAbout,
        None
    };

    // work runs the handlers' long work; the window closes through it while work runs.
    MainWindow(Form1& form, Dialogs& dialogs, Win32WorkRunner& work);
    ~MainWindow() override;

    // Creates the window and its controls, hidden, with the views bound to the models.
    void create();
    // Redraws every view from its model (after the form has loaded).
    void refreshViews();
    void show(int showCommand);
    HWND hwnd() const { return window_.hwnd(); }
    const FormWindow& window() const { return window_; }

  private:
    static Id idOf(const std::string& name);
    HWND control(Id id) const;
    // The handler of a button or menu item; empty for anything else.
    std::function<void()> clickHandler(Id id);

    void onControl(const ControlDesign& control, int notifyCode) override;
    void onMenu(const MenuDesign& menu) override;
    void onDialogKey(int id) override;
    void onClose() override;
    void onMeasureItem(const ControlDesign& control, MEASUREITEMSTRUCT& item) override;
    void onDrawItem(const ControlDesign& control, const DRAWITEMSTRUCT& item) override;
    void onDpiChanged() override;
    void onDestroy() override;
    void run(const std::function<void()>& action);
    FolderListView* folderView(Id id) const;
    // While work runs, the controls and menu items that would start other work are disabled.
    void setBusy(bool busy);

    Form1& form_;
    Dialogs& dialogs_;
    Win32WorkRunner& work_;
    FormWindow window_;
    HWND focusBeforeWork_ = nullptr;
    std::unique_ptr<DriveListView> drive1_, drive2_;
    std::unique_ptr<FolderListView> dir1_, dir2_;
    std::unique_ptr<FileListView> file1_;
    std::unique_ptr<LabelView> label1_, encrypted_;
    std::unique_ptr<TextBoxView> text1_;
};

// The program's message loop: keyboard navigation (Tab, Enter, Esc, access keys) as in a
// dialog. Returns the exit code that ended it.
int runMessageLoop(HWND mainWindow);

} // namespace ch::gui
