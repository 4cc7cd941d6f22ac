#pragma once
// The narrow outside services the handlers stand on. Each has one Win32 implementation
// (platform/win32) and one test implementation (tests/support). Failures throw RuntimeError.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "platform/archiver.h"
#include "platform/backup_lock.h"
#include "platform/code_page.h"
#include "platform/file_picker.h"
#include "platform/file_system.h"
#include "platform/forms_runtime.h"
#include "platform/password_store.h"
#include "platform/work_runner.h"

namespace ch {

// Message box styles and answers, with the runtime's numbers.
enum MsgStyle : int {
    vbOKOnly = 0,
    vbOKCancel = 1,
    vbYesNo = 4,
    vbRetryCancel = 5,
    vbCritical = 16,
    vbQuestion = 32,
    vbExclamation = 48,
    vbInformation = 64,
    vbDefaultButton2 = 256,
};
enum MsgAnswer : int { vbOK = 1, vbCancel = 2, vbRetry = 4, vbYes = 6, vbNo = 7 };

class Dialogs {
  public:
    virtual ~Dialogs() = default;
    // Modal message box. Without a title the application title is shown. Returns the answer.
    virtual int msgBox(const std::string& prompt, int style,
                       const std::optional<std::string>& title = std::nullopt) = 0;
};

// The outcome of asking the shell to open something: opened, or the shell's reason (2 file
// not found, 31 no program registered for it, 0 out of memory, ...).
struct ShellOutcome {
    bool opened = true;
    int reason = 0;
};

class Shell {
  public:
    virtual ~Shell() = default;
    // Opens a document or link with the program registered for it, in a normal window owned
    // by ownerWindow, as a double-click does. Throws 48/453 when the shell cannot be used.
    virtual ShellOutcome open(uintptr_t ownerWindow, const std::string& fileOrLink) = 0;
};

// HKEY_LOCAL_MACHINE as the registry API numbers it.
constexpr uint32_t HKEY_LOCAL_MACHINE_ROOT = 0x80000002u;
// The access a read asks for: an account that may not change a key may still read it.
constexpr uint32_t KEY_READ_ACCESS = 0x20019u;
// Longer values are not read; the registry's reason for them is 234 (more data).
constexpr size_t kRegistryValueLimit = 1024;

// One registry value as stored (a string with its terminator), or the registry's reason for
// not reading it: 2 no such key or value, 5 access denied, 234 longer than the limit.
struct RegistryValue {
    long status = 0; // 0: read
    uint32_t type = 0;
    std::string bytes;
};

class Registry {
  public:
    virtual ~Registry() = default;
    // Reads the value named value of the key root\key, opened for reading only.
    virtual RegistryValue readString(uint32_t root, const std::string& key,
                                     const std::string& value) = 0;
};

class Processes {
  public:
    virtual ~Processes() = default;
    // Starts a program from a command line and does not wait. windowStyle 1 = normal, focused.
    // Throws 53 when the program cannot be found, 5 for an empty command line.
    virtual void start(const std::string& commandLine, int windowStyle) = 0;
};

// The application object: program folder and identity.
struct AppObject {
    std::string Path; // program folder; no trailing backslash except at a drive root
    std::string Title = "Tavrik's Chathoard";
    int16_t Major = 0;
    int16_t Minor = 10;
    int16_t Revision = 0;
    std::string EXEName = "chathoard";
};

// Every service of a run, handed to the handlers as one object. It only refers to them: whoever
// builds it (the program's entry, a test) owns the implementations and outlives it.
struct Services {
    FileSystem& fs;
    const CodePage& codePage; // the one fs reads its paths in
    Dialogs& dialogs;
    Shell& shell;
    Registry& registry;
    Processes& processes;
    Archiver& archiver;
    FormsRuntime& runtime;
    AppObject& App;
    BackupLock& backupLock;
    FilePicker& filePicker;
    WorkRunner& work; // long work from the window: off its thread, with progress and Cancel
    PasswordStore* passwords = nullptr; // the ZIP Backups' password; none where it is null
};

} // namespace ch
