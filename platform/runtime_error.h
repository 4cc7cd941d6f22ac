#pragma once
// Failures are run-time errors carrying the classic Windows runtime numbers, so handlers can
// branch on them exactly as the program's behaviour is described (68 = device unavailable …).
#include <stdexcept>
#include <string>

namespace ch {

enum ErrorNumber : int {
    errInvalidProcedureCall = 5,
    errDllLoad = 48,
    errBadFileNameOrNumber = 52,
    errFileNotFound = 53,
    errFileAlreadyOpen = 55,
    errDeviceIO = 57,
    errDiskFull = 61,
    errInputPastEnd = 62,
    errDeviceUnavailable = 68,
    errPermissionDenied = 70,
    errDiskNotReady = 71,
    errPathFileAccess = 75,
    errPathNotFound = 76,
    errDllEntryPoint = 453,
};

// The runtime's own wording for a number ("File not found", "Device unavailable" …).
std::string standardDescription(int number);

class RuntimeError : public std::runtime_error {
  public:
    // An empty description takes the standard wording of the number. systemError is the
    // operating system's own code (GetLastError) when known, 0 otherwise: the runtime number
    // 70 covers both a refused permission and a file held open by another program.
    explicit RuntimeError(int number, const std::string& description = {},
                          unsigned long systemError = 0);
    int number() const { return number_; }
    const std::string& description() const { return description_; }
    unsigned long systemError() const { return systemError_; }

  private:
    int number_;
    std::string description_;
    unsigned long systemError_;
};

// Runs action and lets a RuntimeError go: for clean-up whose failure must not stop what it
// follows, such as clearing what an earlier run left.
template <typename Action> void bestEffort(Action action) {
    try {
        action();
    } catch (const RuntimeError&) {
    }
}

// Win32 codes for a file that another program holds open.
constexpr unsigned long kSharingViolation = 32; // ERROR_SHARING_VIOLATION
constexpr unsigned long kLockViolation = 33;    // ERROR_LOCK_VIOLATION

// True when the failure is a file held open (or locked) by another program.
inline bool isSharingViolation(const RuntimeError& e) {
    return e.systemError() == kSharingViolation || e.systemError() == kLockViolation;
}

} // namespace ch
