#pragma once
// The narrow outside services the handlers stand on. Each has one Win32 implementation
// (platform/win32) and one test implementation (tests/support). Failures throw RuntimeError.
#include <cstdint>
#include <optional>
#include <string>

#include "platform/backup_lock.h"
#include "platform/file_picker.h"
#include "platform/file_system.h"
#include "platform/forms_runtime.h"

namespace ch {

// Message box styles and answers, with the runtime's numbers.
enum MsgStyle : int {
    vbOKOnly = 0,
    vbOKCancel = 1,
    vbRetryCancel = 5,
    vbCritical = 16,
    vbQuestion = 32,
    vbExclamation = 48,
    vbInformation = 64,
    vbDefaultButton2 = 256,
};
enum MsgAnswer : int { vbOK = 1, vbCancel = 2, vbRetry = 4 };

class Dialogs {
  public:
    virtual ~Dialogs() = default;
    // Modal message box. Without a title the application title is shown. Returns the answer.
    virtual int msgBox(const std::string& prompt, int style,
                       const std::optional<std::string>& title = std::nullopt) = 0;
};

class Shell {
  public:
    virtual ~Shell() = default;
    // ShellExecuteA of shell32.dll; > 32 success, 2 file not found. 48/453 when unbindable.
    virtual intptr_t shellExecute(uintptr_t ownerWindow, const std::string& verb,
                                  const std::string& file, const std::string& parameters,
                                  const std::string& directory, int showCommand) = 0;
};

// HKEY_LOCAL_MACHINE as the registry API numbers it.
constexpr uint32_t HKEY_LOCAL_MACHINE_ROOT = 0x80000002u;
constexpr uint32_t KEY_READ_ACCESS = 0x20019u;

class Registry {
  public:
    virtual ~Registry() = default;
    // The advapi32 calls, with their status results (0 = success).
    virtual long openKey(uint32_t root, const std::string& subKey, uint32_t options,
                         uint32_t access, uint32_t& key) = 0;
    // data holds size bytes on entry; on success size becomes the bytes delivered.
    virtual long queryValue(uint32_t key, const std::string& valueName, uint32_t& type,
                            unsigned char* data, uint32_t& size) = 0;
    virtual long closeKey(uint32_t key) = 0;
};

class Processes {
  public:
    virtual ~Processes() = default;
    // Starts a program from a command line and does not wait. windowStyle 1 = normal, focused.
    // Throws 53 when the program cannot be found, 5 for an empty command line.
    virtual void start(const std::string& commandLine, int windowStyle) = 0;
};

// The four entries of azip32.dll, bound by name on first call (48 no DLL, 453 no entry).
class Archiver {
  public:
    virtual ~Archiver() = default;
    virtual int32_t addZIP_Initialise() = 0;
    virtual int32_t addZIP_ArchiveName(const std::string& archivePath) = 0;
    virtual int32_t addZIP_IncludeListFile(const std::string& listFilePath) = 0;
    virtual int32_t addZIP() = 0;
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
    Dialogs& dialogs;
    Shell& shell;
    Registry& registry;
    Processes& processes;
    Archiver& archiver;
    FormsRuntime& runtime;
    AppObject& App;
    BackupLock& backupLock;
    FilePicker& filePicker;
};

} // namespace ch
