#pragma once
// The backup lock as a named mutex in the machine-wide namespace, so that it spans every
// session and user; the system lets it go when its process ends, however it ends.
#include "platform/backup_lock.h"

namespace ch {

class Win32BackupLock : public BackupLock {
  public:
    Win32BackupLock() = default;
    Win32BackupLock(const Win32BackupLock&) = delete;
    Win32BackupLock& operator=(const Win32BackupLock&) = delete;
    ~Win32BackupLock() override { release(); }

    bool acquire(unsigned waitMilliseconds, const std::atomic<bool>* cancel = nullptr) override;
    void release() override;

  private:
    void* mutex_ = nullptr; // HANDLE
    bool owned_ = false;
};

} // namespace ch
