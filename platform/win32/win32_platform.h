#pragma once
// The Win32 implementation of every service, built once for a run. Building them touches
// nothing: each binds or opens what it needs on first use.
#include "platform/services.h"
#include "platform/win32/gui_forms_runtime.h"
#include "platform/win32/gui_work_runner.h"
#include "platform/win32/win32_archiver.h"
#include "platform/win32/win32_backup_lock.h"
#include "platform/win32/win32_dialogs.h"
#include "platform/win32/win32_file_picker.h"
#include "platform/win32/win32_file_system.h"
#include "platform/win32/win32_password_store.h"
#include "platform/win32/win32_processes.h"
#include "platform/win32/win32_registry.h"
#include "platform/win32/win32_shell.h"

namespace ch {

struct Win32Platform {
    explicit Win32Platform(AppObject& app) : App(app), dialogs(app.Title), archiver(app.Path) {}
    Win32Platform(const Win32Platform&) = delete; // services refers to the members
    Win32Platform& operator=(const Win32Platform&) = delete;

    AppObject& App;
    Win32FileSystem fs;
    Win32Dialogs dialogs;
    Win32Shell shell;
    Win32Registry registry;
    Win32Processes processes;
    Win32Archiver archiver;
    gui::Win32FormsRuntime runtime;
    Win32BackupLock backupLock;
    Win32FilePicker filePicker;
    gui::Win32WorkRunner work;
    Win32PasswordStore passwords;
    Services services{fs,        systemCodePage(), dialogs, shell,      registry,   processes,
                      archiver,  runtime,          App,     backupLock, filePicker, work,
                      &passwords};
};

} // namespace ch
