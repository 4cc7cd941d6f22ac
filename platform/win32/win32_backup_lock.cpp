#include "platform/win32/win32_backup_lock.h"

#include <windows.h>

namespace ch {
namespace {

constexpr wchar_t kMutexName[] = L"Global\\Tavrik.Chathoard.Backup";
constexpr DWORD kRetryMs = 250;
constexpr DWORD kCancelSliceMs = 100;

// Open to every user: a backup run by another account (a scheduled task) must be able to wait
// for it too.
HANDLE openMutex() {
    SECURITY_DESCRIPTOR descriptor;
    InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
    SetSecurityDescriptorDacl(&descriptor, TRUE, nullptr, FALSE);
    SECURITY_ATTRIBUTES attributes{sizeof attributes, &descriptor, FALSE};
    return CreateMutexW(&attributes, FALSE, kMutexName);
}

} // namespace

bool Win32BackupLock::acquire(unsigned waitMilliseconds, const std::atomic<bool>* cancel) {
    if (owned_)
        return true;
    const ULONGLONG deadline = GetTickCount64() + waitMilliseconds;
    auto left = [&]() -> DWORD {
        const ULONGLONG now = GetTickCount64();
        return now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
    };
    // Waited for a slice at a time when Cancel may end the wait.
    auto slice = [&]() -> DWORD {
        const DWORD l = left();
        return cancel && l > kCancelSliceMs ? kCancelSliceMs : l;
    };
    auto cancelled = [&] { return cancel && cancel->load(); };
    while (!mutex_) {
        mutex_ = openMutex();
        if (mutex_)
            break;
        // Made by a run of an older version under another account, which gave others no
        // access: that run is going on.
        if (GetLastError() == ERROR_ACCESS_DENIED) {
            if (left() == 0 || cancelled())
                return false;
            Sleep(slice() < kRetryMs ? slice() : kRetryMs);
            continue;
        }
        // No lock can be had at all: back up unguarded rather than never.
        return true;
    }
    for (;;) {
        switch (WaitForSingleObject(mutex_, slice())) {
        case WAIT_OBJECT_0:
        case WAIT_ABANDONED: // its holder ended without letting go: a backup that was killed
            owned_ = true;
            return true;
        case WAIT_TIMEOUT:
            if (left() == 0 || cancelled())
                return false;
            break;
        default:
            return true;
        }
    }
}

void Win32BackupLock::release() {
    if (owned_)
        ReleaseMutex(mutex_);
    owned_ = false;
    if (mutex_)
        CloseHandle(mutex_);
    mutex_ = nullptr;
}

} // namespace ch
