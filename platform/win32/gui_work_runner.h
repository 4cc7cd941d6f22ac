#pragma once
// Long work off the window's thread. run() starts the work on a thread of its own and, until
// it ends, pumps the window's messages: the main window repaints and answers at once. Work
// that lasts longer than half a second gets the progress window, owned by the main window and
// modal to it: the stage, a bar over the whole job, the time so far and left, and Cancel.
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/work_runner.h"

namespace ch::gui {

class ProgressWindow;

class Win32WorkRunner : public WorkRunner {
  public:
    Win32WorkRunner();
    ~Win32WorkRunner() override;
    Win32WorkRunner(const Win32WorkRunner&) = delete;
    Win32WorkRunner& operator=(const Win32WorkRunner&) = delete;

    // The window that owns the progress window; it takes no input while that is shown.
    void setMainWindow(HWND mainWindow) { mainWindow_ = mainWindow; }
    // Called on the window's thread with true before the work starts and false once it has
    // ended: the main window disables and enables the commands that would start other work.
    void setBusyHandler(std::function<void(bool busy)> handler) { busyHandler_ = handler; }

    void run(const std::string& title,
             const std::function<void(const WorkControl&)>& work) override;
    bool closing() const override { return closing_; }

    bool busy() const { return busy_; }
    const std::string& title() const { return title_; }
    // Cancel, from the progress window.
    void cancel();
    // The user closes the program while the work runs: cancels it; the program ends once the
    // work has stopped and its handler has returned.
    void cancelAndClose();

  private:
    struct Thread;
    static unsigned __stdcall threadStart(void* thread);
    static void CALLBACK onTimer(HWND, UINT, UINT_PTR, DWORD);
    void tick();
    void showProgress();
    void endProgress();
    void pumpUntilEnded(HANDLE thread);

    HWND mainWindow_ = nullptr;
    std::function<void(bool)> busyHandler_;
    std::string title_;
    bool busy_ = false;
    bool closing_ = false;
    std::atomic<bool> cancel_{false};
    uint64_t start_ = 0;
    // The latest report, written by the work's thread.
    CRITICAL_SECTION lock_;
    std::optional<WorkProgress> latest_;
    std::unique_ptr<ProgressWindow> progress_;
};

} // namespace ch::gui
