#pragma once
// A lock and a condition for the library's threads. On Windows they are the system's slim
// reader/writer lock and condition variable: under Wine these wait and wake in the process
// itself, where the C++ library's (built on semaphores) costs a request to the Wine server for
// every wake, one or more for each file of a folder of small files.
#include <mutex>

#ifdef _WIN32
#include <windows.h>
#else
#include <condition_variable>
#endif

namespace ch::azip {

#ifdef _WIN32

class Lock {
  public:
    void lock() { AcquireSRWLockExclusive(&lock_); }
    void unlock() { ReleaseSRWLockExclusive(&lock_); }
    SRWLOCK* native() { return &lock_; }

  private:
    SRWLOCK lock_ = SRWLOCK_INIT;
};

class Condition {
  public:
    template <typename Ready> void wait(std::unique_lock<Lock>& held, Ready ready) {
        while (!ready())
            SleepConditionVariableSRW(&condition_, held.mutex()->native(), INFINITE, 0);
    }
    void notify_one() { WakeConditionVariable(&condition_); }
    void notify_all() { WakeAllConditionVariable(&condition_); }

  private:
    CONDITION_VARIABLE condition_ = CONDITION_VARIABLE_INIT;
};

#else

using Lock = std::mutex;
using Condition = std::condition_variable;

#endif

} // namespace ch::azip
