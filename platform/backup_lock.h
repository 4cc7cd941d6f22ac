#pragma once
// One backup at a time on this machine. Two at once (a scheduled backup while one runs from
// the window) would clear each other's staged copies, list file and temporary archive as the
// leftovers of a stopped run.
#include <atomic>

namespace ch {

class BackupLock {
  public:
    virtual ~BackupLock() = default;
    // Waits up to waitMilliseconds for the lock. True once this process holds it; false when
    // another backup held it for the whole wait, or once cancel (when given) was set: a Cancel
    // ends the wait within a tenth of a second.
    virtual bool acquire(unsigned waitMilliseconds, const std::atomic<bool>* cancel = nullptr) = 0;
    // Lets the lock go; nothing happens when it is not held.
    virtual void release() = 0;
};

// Lets a lock go when it leaves scope, however the scope is left.
class ReleaseAtEnd {
  public:
    explicit ReleaseAtEnd(BackupLock& lock) : lock_(lock) {}
    ReleaseAtEnd(const ReleaseAtEnd&) = delete;
    ReleaseAtEnd& operator=(const ReleaseAtEnd&) = delete;
    ~ReleaseAtEnd() { lock_.release(); }

  private:
    BackupLock& lock_;
};

} // namespace ch
