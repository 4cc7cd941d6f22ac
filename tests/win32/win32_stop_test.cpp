// Ending a wait early: chathoard.com's stop event reaching the program, and a Cancel during
// the wait for another backup's lock.
#include <gtest/gtest.h>

#include <atomic>
#include <cwchar>
#include <thread>

#include "platform/win32/win32_backup_lock.h"
#include "platform/win32/win32_stop_request.h"

namespace ch {
namespace {

bool becomesTrue(const std::atomic<bool>& flag) {
    for (int i = 0; i < 500 && !flag; ++i)
        Sleep(10);
    return flag;
}

TEST(StopRequestWatch, SetsTheFlagWhenTheCompanionSetsThisProcesssEvent) {
    std::atomic<bool> stop{false};
    EXPECT_FALSE(StopRequestWatch(stop).watching()); // not started by chathoard.com
    wchar_t name[64];
    std::swprintf(name, 64, kStopEventNameFormat,
                  static_cast<unsigned long>(GetCurrentProcessId()));
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, name);
    {
        const StopRequestWatch watch(stop);
        ASSERT_TRUE(watch.watching());
        SetEvent(event);
        EXPECT_TRUE(becomesTrue(stop));
    }
    CloseHandle(event);
}

TEST(Win32BackupLockWait, ACancelEndsTheWaitForAnotherBackup) {
    std::atomic<bool> held{false}, done{false}, cancel{false};
    std::thread other([&] {
        Win32BackupLock lock;
        held = lock.acquire(0);
        while (!done)
            Sleep(10);
    });
    ASSERT_TRUE(becomesTrue(held));
    std::thread canceller([&] {
        Sleep(200);
        cancel = true;
    });
    Win32BackupLock lock;
    const ULONGLONG start = GetTickCount64();
    EXPECT_FALSE(lock.acquire(60000, &cancel));
    EXPECT_LT(GetTickCount64() - start, 10000u) << "the wait went on after Cancel";
    canceller.join();
    done = true;
    other.join();
}

} // namespace
} // namespace ch
