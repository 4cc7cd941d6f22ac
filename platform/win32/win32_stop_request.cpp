#include "platform/win32/win32_stop_request.h"

#include <cwchar>

namespace ch {

StopRequestWatch::StopRequestWatch(std::atomic<bool>& flag) {
    wchar_t name[64];
    std::swprintf(name, sizeof name / sizeof name[0], kStopEventNameFormat,
                  static_cast<unsigned long>(GetCurrentProcessId()));
    event_ = OpenEventW(SYNCHRONIZE, FALSE, name);
    if (!event_)
        return;
    if (!RegisterWaitForSingleObject(&wait_, event_, &StopRequestWatch::onStop, &flag, INFINITE,
                                     WT_EXECUTEONLYONCE))
        wait_ = nullptr;
}

StopRequestWatch::~StopRequestWatch() {
    // Waits for a callback under way: it must not outlive the flag.
    if (wait_)
        UnregisterWaitEx(wait_, INVALID_HANDLE_VALUE);
    if (event_)
        CloseHandle(event_);
}

void CALLBACK StopRequestWatch::onStop(void* flag, BOOLEAN timedOut) {
    if (!timedOut)
        static_cast<std::atomic<bool>*>(flag)->store(true);
}

} // namespace ch
