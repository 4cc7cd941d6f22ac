#include "azip32/caller_priority.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace ch::azip {

#ifdef _WIN32
CallerPriority::CallerPriority() {
    const int priority = GetThreadPriority(GetCurrentThread());
    priority_ = priority == THREAD_PRIORITY_ERROR_RETURN ? THREAD_PRIORITY_NORMAL : priority;
}

void CallerPriority::applyToThisThread() const {
    if (priority_ != THREAD_PRIORITY_NORMAL)
        SetThreadPriority(GetCurrentThread(), priority_);
}
#else
CallerPriority::CallerPriority() = default;
void CallerPriority::applyToThisThread() const {}
#endif

} // namespace ch::azip
