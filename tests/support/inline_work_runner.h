#pragma once
// A WorkRunner that runs the work at once, on the test's thread, and plays the user at the
// progress window: it can press Cancel at the Nth report, or close the program then.
#include <atomic>
#include <optional>
#include <string>
#include <vector>

#include "platform/work_runner.h"

namespace ch::test {

class InlineWorkRunner : public WorkRunner {
  public:
    void run(const std::string& title,
             const std::function<void(const WorkControl&)>& work) override {
        titles.push_back(title);
        closing_ = false;
        if (duringWork)
            duringWork();
        std::atomic<bool> cancel{false};
        WorkControl control;
        control.cancelRequested = &cancel;
        control.report = [&](const WorkProgress& progress) {
            reports.push_back(progress);
            if ((cancelAtReport > 0 && static_cast<int>(reports.size()) >= cancelAtReport) ||
                (cancelAtStage && progress.stage == *cancelAtStage)) {
                cancel = true;
                closing_ = closeOnCancel;
            }
        };
        running_ = &cancel;
        work(control);
        running_ = nullptr;
        if (static_cast<int>(titles.size()) == closeAfterRun)
            closing_ = true;
    }
    bool closing() const override { return closing_; }
    // Cancel, pressed while the work waits in a fake service.
    void pressCancel() {
        if (running_)
            *running_ = true;
    }

    int cancelAtReport = 0;                 // 1-based, counting every run's; 0 never cancels
    std::optional<WorkStage> cancelAtStage; // or at the first report of this stage
    bool closeOnCancel = false;             // the cancel is the user closing the program
    // The user closes the program as the Nth run ends (1-based, counting every run): too late
    // for its Cancel to be heard.
    int closeAfterRun = 0;
    std::function<void()> duringWork; // the user at the window while work runs, before it starts
    std::vector<std::string> titles;
    std::vector<WorkProgress> reports;

  private:
    bool closing_ = false;
    std::atomic<bool>* running_ = nullptr;
};

} // namespace ch::test
