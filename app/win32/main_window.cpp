#include "app/win32/main_window.h"

#include "platform/win32/gui_control_messages.h"
#include "platform/win32/gui_control_names.h"
#include "platform/win32/gui_layout.h"

namespace ch::gui {

namespace {

using Id = MainWindow::Id;

const std::pair<Id, const char*> kNames[] = {
    {Id::Command1, "Command1"},
    {Id::Command2, "Command2"},
    {Id::Drive1, "Drive1"},
    {Id::Drive2, "Drive2"},
    {Id::Dir1, "Dir1"},
    {Id::Dir2, "Dir2"},
    {Id::File1, "File1"},
    {Id::Label1, "Label1"},
    {Id::lblEncrypted, "lblEncrypted"},
    {Id::Text1, "Text1"},
    {Id::mnuCheck, "mnuCheck"},
    {Id::mnuRestore, "mnuRestore"},
    {Id::mnuSchedule, "mnuSchedule"},
    {Id::mnuPassword, "mnuPassword"},
    {Id::mnuExit, "mnuExit"},
    {Id::mnuContets, "mnuContets"},
    {Id::mnuHomepage, "mnuHomepage"},
    {Id::mnuEmail, "mnuEmail"},
    {Id::mnuAbout, "mnuAbout"},
};

// What stays out of reach while work runs: everything that starts other work or changes the
// folders the work was given. Exit asks as closing does.
const Id kIdleOnly[] = {Id::Command1, Id::Command2, Id::Drive1, Id::Dir1, Id::Drive2, Id::Dir2};
const Id kIdleOnlyMenus[] = {Id::mnuCheck, Id::mnuRestore, Id::mnuSchedule, Id::mnuPassword,
                             Id::mnuAbout};

bool isIdleOnly(Id id) {
    for (Id idle : kIdleOnly)
        if (id == idle)
            return true;
    for (Id idle : kIdleOnlyMenus)
        if (id == idle)
            return true;
    return false;
}

} // namespace

MainWindow::MainWindow(Form1& form, Dialogs& dialogs, Win32WorkRunner& work)
    : form_(form), dialogs_(dialogs), work_(work), window_(form1Design(), *this) {
    work_.setBusyHandler([this](bool busy) { setBusy(busy); });
}

MainWindow::Id MainWindow::idOf(const std::string& name) {
    return gui::idOf(kNames, name);
}

HWND MainWindow::control(Id id) const {
    return window_.control(gui::nameOf(kNames, id));
}

// The event wiring of the buttons and menu items; the lists raise their own events.
std::function<void()> MainWindow::clickHandler(Id id) {
    switch (id) {
    case Id::Command1:
        return [this] { form_.Command1_Click(); };
    case Id::Command2:
        return [this] { form_.Command2_Click(); };
    case Id::mnuCheck:
        return [this] { form_.mnuCheck_Click(); };
    case Id::mnuRestore:
        return [this] { form_.mnuRestore_Click(); };
    case Id::mnuSchedule:
        return [this] { form_.mnuSchedule_Click(); };
    case Id::mnuPassword:
        return [this] { form_.mnuPassword_Click(); };
    case Id::mnuExit:
        return [this] { form_.mnuExit_Click(); };
    case Id::mnuContets:
        return [this] { form_.mnuContets_Click(); };
    case Id::mnuHomepage:
        return [this] { form_.mnuHomepage_Click(); };
    case Id::mnuEmail:
        return [this] { form_.mnuEmail_Click(); };
    case Id::mnuAbout:
        return [this] { form_.mnuAbout_Click(); };
    case Id::Drive1:
    case Id::Drive2:
    case Id::Dir1:
    case Id::Dir2:
    case Id::File1:
    case Id::Label1:
    case Id::lblEncrypted:
    case Id::Text1:
    case Id::None:
        return {};
    }
    return {};
}

MainWindow::~MainWindow() = default;

void MainWindow::run(const std::function<void()>& action) {
    guiDispatch(dialogs_, action);
    // Closed during the work: the work has stopped and its handler has returned.
    if (work_.closing() && window_.hwnd())
        DestroyWindow(window_.hwnd());
}

void MainWindow::setBusy(bool busy) {
    if (!window_.hwnd())
        return;
    if (busy)
        focusBeforeWork_ = GetFocus();
    for (Id id : kIdleOnly)
        EnableWindow(control(id), !busy);
    HMENU menu = GetMenu(window_.hwnd());
    for (const MenuDesign& item : window_.design().menus)
        for (Id id : kIdleOnlyMenus)
            if (idOf(item.name) == id)
                EnableMenuItem(menu, static_cast<UINT>(menuId(window_.design(), item)),
                               MF_BYCOMMAND | (busy ? MF_GRAYED : MF_ENABLED));
    // A disabled control loses the focus: it comes back when the work is done.
    if (!busy && focusBeforeWork_ && IsWindow(focusBeforeWork_) &&
        GetActiveWindow() == window_.hwnd())
        SetFocus(focusBeforeWork_);
}

void MainWindow::create() {
    window_.create(nullptr);
    requireInDesign(window_.design(), kNames, "the main window's design has no ");
    Dispatch dispatch = [this](const std::function<void()>& action) { run(action); };
    drive1_ = std::make_unique<DriveListView>(control(Id::Drive1), form_.Drive1, dispatch);
    drive2_ = std::make_unique<DriveListView>(control(Id::Drive2), form_.Drive2, dispatch);
    dir1_ = std::make_unique<FolderListView>(control(Id::Dir1), form_.Dir1, dispatch);
    dir2_ = std::make_unique<FolderListView>(control(Id::Dir2), form_.Dir2, dispatch);
    file1_ = std::make_unique<FileListView>(control(Id::File1), form_.File1);
    label1_ = std::make_unique<LabelView>(control(Id::Label1), form_.Label1);
    encrypted_ = std::make_unique<LabelView>(control(Id::lblEncrypted), form_.lblEncrypted);
    text1_ = std::make_unique<TextBoxView>(control(Id::Text1), form_.Text1);
}

void MainWindow::refreshViews() {
    drive1_->refresh();
    drive2_->refresh();
    dir1_->refresh();
    dir2_->refresh();
    file1_->refresh();
    label1_->refresh();
    encrypted_->refresh();
    text1_->refresh();
}

void MainWindow::show(int showCommand) {
    window_.show(showCommand);
}

FolderListView* MainWindow::folderView(Id id) const {
    if (id == Id::Dir1)
        return dir1_.get();
    if (id == Id::Dir2)
        return dir2_.get();
    return nullptr;
}

void MainWindow::onControl(const ControlDesign& control, int notifyCode) {
    const Id id = idOf(control.name);
    if (work_.busy() && isIdleOnly(id))
        return;
    if (control.kind == ControlKind::Button && notifyCode == BN_CLICKED) {
        if (auto handler = clickHandler(id))
            run(handler);
    } else if (id == Id::Drive1 && drive1_) {
        drive1_->onNotify(notifyCode);
    } else if (id == Id::Drive2 && drive2_) {
        drive2_->onNotify(notifyCode);
    } else if (FolderListView* view = folderView(id)) {
        view->onNotify(notifyCode);
    }
}

void MainWindow::onMenu(const MenuDesign& menu) {
    if (work_.busy() && idOf(menu.name) == Id::mnuExit)
        return onClose();
    if (work_.busy() && isIdleOnly(idOf(menu.name)))
        return; // disabled, but a command can still be sent to the window
    if (auto handler = clickHandler(idOf(menu.name)))
        run(handler);
}

void MainWindow::onDialogKey(int id) {
    if (id != IDOK)
        return; // the window has no cancel button: Esc does nothing
    // Enter works on what has the focus: it presses a button or opens the highlighted folder.
    HWND focus = GetFocus();
    for (Id id : {Id::Dir1, Id::Dir2})
        if (focus == control(id))
            return folderView(id)->openSelected();
    for (Id id : {Id::Command1, Id::Command2})
        if (focus == control(id))
            clickButton(focus);
}

void MainWindow::onClose() {
    // Closing the window unloads the only form, which ends the program; nothing is asked
    // unless work is running. Then it closes once the work has stopped.
    if (!work_.busy()) {
        DestroyWindow(window_.hwnd());
        return;
    }
    if (work_.closing())
        return; // asked already; the work is stopping
    const std::string question = work_.title() + " has not finished yet.\r\n\r\n"
                                                 "Cancel it and close the program?";
    if (dialogs_.msgBox(question, vbYesNo | vbQuestion | vbDefaultButton2) == vbYes && work_.busy())
        work_.cancelAndClose();
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
    if (FolderListView* view = folderView(idOf(control.name)))
        view->draw(item, window_.dpi());
}

void MainWindow::onDpiChanged() {
    for (Id id : {Id::Dir1, Id::Dir2}) {
        const ControlDesign* design = window_.design().find(gui::nameOf(kNames, id));
        listSetItemHeight(control(id),
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
