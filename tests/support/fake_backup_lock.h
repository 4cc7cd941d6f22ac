#pragma once
// The machine's backup lock, with another backup that may hold it throughout.
#include <functional>
#include <vector>

#include "platform/backup_lock.h"

namespace ch::test {

class FakeBackupLock : public BackupLock {
  public:
    bool acquire(unsigned waitMilliseconds, const std::atomic<bool>* = nullptr) override {
        waits.push_back(waitMilliseconds);
        duringAcquire();
        held = !heldElsewhere;
        return held;
    }
    void release() override { held = false; }

    bool heldElsewhere = false; // another backup holds it for any wait
    bool held = false;          // this process holds it
    std::vector<unsigned> waits;
    std::function<void()> duringAcquire = [] {};
};

} // namespace ch::test
