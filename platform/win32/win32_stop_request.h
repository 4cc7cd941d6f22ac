#pragma once
// How chathoard.com passes Ctrl+C on to the chathoard.exe it started. When both of the
// program's outputs are redirected it joins no console, so the console's Ctrl+C reaches only
// chathoard.com; that then sets an event named after the program's process id, made before
// the program runs, and the program stops as on Ctrl+C.
#include <windows.h>

#include <atomic>

namespace ch {

// The event's name, for swprintf with the program's process id.
constexpr wchar_t kStopEventNameFormat[] = L"Local\\Tavrik.Chathoard.Stop.%lu";

// Sets flag once the stop event of this process is set. Does nothing when there is no such
// event (the program was not started by chathoard.com).
class StopRequestWatch {
  public:
    explicit StopRequestWatch(std::atomic<bool>& flag);
    ~StopRequestWatch();
    StopRequestWatch(const StopRequestWatch&) = delete;
    StopRequestWatch& operator=(const StopRequestWatch&) = delete;

    bool watching() const { return wait_ != nullptr; }

  private:
    static void CALLBACK onStop(void* flag, BOOLEAN timedOut);
    HANDLE event_ = nullptr;
    HANDLE wait_ = nullptr;
};

} // namespace ch
