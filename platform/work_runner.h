#pragma once
// Long work started from the window: a backup, a restore, a check. The handler's code stays
// in order (build the job, run it, show the result) while the work itself runs where the
// window goes on answering: the Win32 runner runs it on a thread of its own, pumps the
// window's messages meanwhile and shows a progress window with Cancel when it takes long; the
// tests' runner runs it at once.
#include <functional>
#include <string>

#include "platform/work_progress.h"

namespace ch {

class WorkRunner {
  public:
    virtual ~WorkRunner() = default;
    // Runs work and returns once it has ended (also when it throws: the exception comes out
    // here). title names the work in the progress window ("ZIP Backup"). The work reports and
    // looks for a cancel through the control it is given, and touches no window or control
    // model: it may run on another thread.
    virtual void run(const std::string& title,
                     const std::function<void(const WorkControl&)>& work) = 0;
    // Whether the user closed the program while the last work ran: the work was asked to stop,
    // and the program ends once the caller returns. The caller shows nothing more, unless the
    // work was past the point where a Cancel is heard, or had ended before the answer: then its
    // result is shown first, since what it did happened.
    virtual bool closing() const = 0;
};

} // namespace ch
