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
        work(control);
    }
    bool closing() const override { return closing_; }

    int cancelAtReport = 0;                 // 1-based, counting every run's; 0 never cancels
    std::optional<WorkStage> cancelAtStage; // or at the first report of this stage
    bool closeOnCancel = false;             // the cancel is the user closing the program
    std::vector<std::string> titles;
    std::vector<WorkProgress> reports;

  private:
    bool closing_ = false;
};

} // namespace ch::test
