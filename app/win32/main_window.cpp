#include "app/win32/main_window.h"

namespace ch::gui {

MainWindow::MainWindow(Form1& form, Dialogs& dialogs)
    : form_(form), dialogs_(dialogs), window_(form1Design(), *this) {
    // The event wiring of the buttons and menu items; the lists raise their own events.
    handlers_ = {
        {"Command1", [this] { form_.Command1_Click(); }},
        {"Command2", [this] { form_.Command2_Click(); }},
        {"mnuRestore", [this] { form_.mnuRestore_Click(); }},
        {"mnuExit", [this] { form_.mnuExit_Click(); }},
        {"mnuContets", [this] { form_.mnuContets_Click(); }},
        {"mnuHomepage", [this] { form_.mnuHomepage_Click(); }},
        {"mnuEmail", [this] { form_.mnuEmail_Click(); }},
        {"mnuAbout", [this] { form_.mnuAbout_Click(); }},
    };
}

MainWindow::~MainWindow() = default;

void MainWindow::run(const std::function<void()>& action) {
    guiDispatch(dialogs_, action);
}

void MainWindow::create() {
    window_.create(nullptr);
    Dispatch dispatch = [this](const std::function<void()>& action) { run(action); };
    drive1_ = std::make_unique<DriveListView>(window_.control("Drive1"), form_.Drive1, dispatch);
    drive2_ = std::make_unique<DriveListView>(window_.control("Drive2"), form_.Drive2, dispatch);
    dir1_ = std::make_unique<FolderListView>(window_.control("Dir1"), form_.Dir1, dispatch);
    dir2_ = std::make_unique<FolderListView>(window_.control("Dir2"), form_.Dir2, dispatch);
    file1_ = std::make_unique<FileListView>(window_.control("File1"), form_.File1);
    label1_ = std::make_unique<LabelView>(window_.control("Label1"), form_.Label1);
    text1_ = std::make_unique<TextBoxView>(window_.control("Text1"), form_.Text1);
}

void MainWindow::refreshViews() {
    drive1_->refresh();
    drive2_->refresh();
    dir1_->refresh();
    dir2_->refresh();
    file1_->refresh();
    label1_->refresh();
    text1_->refresh();
}

void MainWindow::show(int showCommand) {
    window_.show(showCommand);
}

FolderListView* MainWindow::folderView(const std::string& name) const {
    if (name == "Dir1")
        return dir1_.get();
    if (name == "Dir2")
        return dir2_.get();
    return nullptr;
}

void MainWindow::onControl(const ControlDesign& control, int notifyCode) {
    if (control.kind == ControlKind::Button && notifyCode == BN_CLICKED) {
        auto it = handlers_.find(control.name);
        if (it != handlers_.end())
            run(it->second);
    } else if (control.name == "Drive1" && drive1_) {
        drive1_->onNotify(notifyCode);
    } else if (control.name == "Drive2" && drive2_) {
        drive2_->onNotify(notifyCode);
    } else if (FolderListView* view = folderView(control.name)) {
        view->onNotify(notifyCode);
    }
}

void MainWindow::onMenu(const MenuDesign& menu) {
    auto it = handlers_.find(menu.name);
    if (it != handlers_.end())
        run(it->second);
}

void MainWindow::onDialogKey(int id) {
    if (id != IDOK)
        return; // the window has no cancel button: Esc does nothing
    // Enter works on what has the focus: it presses a button or opens the highlighted folder.
    HWND focus = GetFocus();
    for (const char* name : {"Dir1", "Dir2"})
        if (focus == window_.control(name))
            return folderView(name)->openSelected();
    for (const char* name : {"Command1", "Command2"})
        if (focus == window_.control(name))
            SendMessageA(focus, BM_CLICK, 0, 0);
}

void MainWindow::onClose() {
    // Closing the window unloads the only form, which ends the program; nothing is asked.
    DestroyWindow(window_.hwnd());
}

void MainWindow::onDestroy() {
    PostQuitMessage(0);
}

void MainWindow::onMeasureItem(const ControlDesign& control, MEASUREITEMSTRUCT& item) {
    if (control.kind == ControlKind::FolderList)
        item.itemHeight =
            static_cast<UINT>(FolderListView::itemHeight(window_.fontOf(control), window_.dpi()));
}

void MainWindow::onDrawItem(const ControlDesign& control, const DRAWITEMSTRUCT& item) {
    if (FolderListView* view = folderView(control.name))
        view->draw(item, window_.dpi());
}

void MainWindow::onDpiChanged() {
    for (const char* name : {"Dir1", "Dir2"}) {
        const ControlDesign* design = window_.design().find(name);
        SendMessageA(window_.control(name), LB_SETITEMHEIGHT, 0,
                     FolderListView::itemHeight(window_.fontOf(*design), window_.dpi()));
    }
}

int runMessageLoop(HWND mainWindow) {
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        // The About box runs its own loop; here only the main window's keys need handling.
        if (IsWindow(mainWindow) && IsDialogMessageA(mainWindow, &msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return static_cast<int>(msg.wParam);
}

} // namespace ch::gui
