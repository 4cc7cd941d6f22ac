#include "platform/win32/gui_work_runner.h"

#include <process.h>

#include <exception>
#include <stdexcept>

#include "platform/progress_form.h"
#include "platform/win32/gui_control_messages.h"
#include "platform/win32/gui_control_names.h"
#include "platform/win32/gui_form_window.h"

namespace ch::gui {

namespace {

// How often the progress window is brought up to date.
constexpr UINT kTickMs = 100;

// The runner whose work is running: its timer comes without a window to find it by. The
// window's commands start one piece of work at a time.
Win32WorkRunner* activeRunner = nullptr;

enum class Id { lblStage, prgBar, lblTime, cmdCancel, None };

const std::pair<Id, const char*> kNames[] = {
    {Id::lblStage, "lblStage"},
    {Id::prgBar, "prgBar"},
    {Id::lblTime, "lblTime"},
    {Id::cmdCancel, "cmdCancel"},
};

void setText(HWND control, std::string& shown, const std::string& text) {
    // Only on a change: setting a label's text repaints it, and ten times a second flickers.
    if (control && text != shown) {
        SetWindowTextA(control, text.c_str());
        shown = text;
    }
}

} // namespace

// frmProgress's design rendered; every way of closing it (Cancel, Esc, Enter on Cancel,
// Alt+F4) asks the work to stop.
class ProgressWindow : private FormEvents {
  public:
    explicit ProgressWindow(Win32WorkRunner& runner)
        : runner_(runner), window_(frmProgressDesign(), *this) {}
    ~ProgressWindow() override { window_.destroy(); }

    void create(HWND owner, const std::string& title) {
        requireInDesign(window_.design(), kNames, "the progress window's design has no ");
        window_.create(owner);
        SetWindowTextA(window_.hwnd(), title.c_str());
        progressSetRange(control(Id::prgBar), kProgressBarRange);
    }
    void show() { window_.show(SW_SHOW); }
    HWND hwnd() const { return window_.hwnd(); }

    void update(const ProgressLines& lines, bool cancelling) {
        setText(control(Id::lblStage), stage_, lines.stage);
        setText(control(Id::lblTime), time_, lines.time);
        if (lines.bar != bar_)
            progressSetPosition(control(Id::prgBar), bar_ = lines.bar);
        HWND cancel = control(Id::cmdCancel);
        if (cancelling && cancel && IsWindowEnabled(cancel))
            EnableWindow(cancel, FALSE);
    }

  private:
    HWND control(Id id) const { return window_.control(nameOf(kNames, id)); }
    void onControl(const ControlDesign& c, int notifyCode) override {
        if (notifyCode == BN_CLICKED && idOf(kNames, c.name) == Id::cmdCancel)
            runner_.cancel();
    }
    void onMenu(const MenuDesign&) override {}
    void onDialogKey(int) override { runner_.cancel(); } // Cancel is the only button
    void onClose() override { runner_.cancel(); }

    Win32WorkRunner& runner_;
    FormWindow window_;
    std::string stage_, time_;
    int bar_ = -1;
};

struct Win32WorkRunner::Thread {
    const std::function<void(const WorkControl&)>& work;
    WorkControl control;
    std::exception_ptr failure;
};

Win32WorkRunner::Win32WorkRunner() {
    InitializeCriticalSection(&lock_);
}

Win32WorkRunner::~Win32WorkRunner() {
    progress_.reset();
    DeleteCriticalSection(&lock_);
}

unsigned __stdcall Win32WorkRunner::threadStart(void* thread) {
    auto& t = *static_cast<Thread*>(thread);
    // Below the window's thread, so that the window answers at once however busy the work is;
    // the archiving library's threads take this priority from the thread that calls it.
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL);
    try {
        t.work(t.control);
    } catch (...) {
        t.failure = std::current_exception(); // thrown again on the window's thread
    }
    return 0;
}

void CALLBACK Win32WorkRunner::onTimer(HWND, UINT, UINT_PTR, DWORD) {
    if (activeRunner)
        activeRunner->tick();
}

void Win32WorkRunner::run(const std::string& title,
                          const std::function<void(const WorkControl&)>& work) {
    if (busy_)
        throw std::logic_error("a second piece of work was started while one was running");
    busy_ = true;
    closing_ = false;
    title_ = title;
    cancel_ = false;
    latest_.reset();
    start_ = GetTickCount64();

    Thread thread{work, {}, nullptr};
    thread.control.cancelRequested = &cancel_;
    thread.control.report = [this](const WorkProgress& progress) {
        EnterCriticalSection(&lock_);
        latest_ = progress;
        LeaveCriticalSection(&lock_);
    };
    if (busyHandler_)
        busyHandler_(true);
    HANDLE handle = reinterpret_cast<HANDLE>(
        _beginthreadex(nullptr, 0, &Win32WorkRunner::threadStart, &thread, 0, nullptr));
    if (handle) {
        activeRunner = this;
        const UINT_PTR timer = SetTimer(nullptr, 0, kTickMs, &Win32WorkRunner::onTimer);
        pumpUntilEnded(handle);
        KillTimer(nullptr, timer);
        activeRunner = nullptr;
        CloseHandle(handle);
    } else {
        threadStart(&thread); // no thread to be had: the work runs here, without progress
    }
    endProgress();
    if (busyHandler_)
        busyHandler_(false);
    busy_ = false;
    if (thread.failure)
        std::rethrow_exception(thread.failure);
}

void Win32WorkRunner::pumpUntilEnded(HANDLE thread) {
    bool quit = false;
    WPARAM quitCode = 0;
    for (;;) {
        const DWORD woke =
            MsgWaitForMultipleObjectsEx(1, &thread, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (woke == WAIT_OBJECT_0)
            break;
        if (woke != WAIT_OBJECT_0 + 1) {
            WaitForSingleObject(thread, INFINITE); // cannot wait for messages: wait for the end
            break;
        }
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) { // for the program's own loop, once the work has ended
                quit = true;
                quitCode = msg.wParam;
                continue;
            }
            // Keyboard handling as in a dialog: the progress window's while it shows.
            HWND dialog = progress_ ? progress_->hwnd() : mainWindow_;
            if (dialog && IsWindow(dialog) && IsDialogMessageA(dialog, &msg))
                continue;
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    if (quit)
        PostQuitMessage(static_cast<int>(quitCode));
}

void Win32WorkRunner::tick() {
    const uint64_t elapsed = GetTickCount64() - start_;
    // Not while a box is open on the main window (the question whether to close): it would
    // come up beside the box.
    if (!progress_ && elapsed >= kProgressShowAfterMs &&
        (!mainWindow_ || IsWindowEnabled(mainWindow_)))
        showProgress();
    if (!progress_)
        return;
    EnterCriticalSection(&lock_);
    const std::optional<WorkProgress> latest = latest_;
    LeaveCriticalSection(&lock_);
    progress_->update(progressLines(latest, elapsed, cancel_), cancel_);
}

void Win32WorkRunner::showProgress() {
    progress_ = std::make_unique<ProgressWindow>(*this);
    progress_->create(mainWindow_, title_);
    // Modal to the main window, as any dialog: that takes no input while this shows.
    if (mainWindow_)
        EnableWindow(mainWindow_, FALSE);
    progress_->show();
}

void Win32WorkRunner::endProgress() {
    if (!progress_)
        return;
    // The main window is enabled before this one goes, so that it, not another program, is
    // activated.
    if (mainWindow_)
        EnableWindow(mainWindow_, TRUE);
    progress_.reset();
    if (mainWindow_)
        SetActiveWindow(mainWindow_);
}

void Win32WorkRunner::cancel() {
    if (!busy_ || cancel_)
        return;
    cancel_ = true;
    tick(); // says so at once
}

void Win32WorkRunner::cancelAndClose() {
    closing_ = true;
    cancel();
}

} // namespace ch::gui
