#pragma once
// Every service faked, and the Services object the handlers take (and the command line its
// part of them), referring to them.
#include "app/command_line_services.h"
#include "platform/services.h"
#include "tests/support/fake_archiver.h"
#include "tests/support/fake_backup_lock.h"
#include "tests/support/fake_forms_runtime.h"
#include "tests/support/fake_processes.h"
#include "tests/support/fake_registry.h"
#include "tests/support/fake_shell.h"
#include "tests/support/inline_work_runner.h"
#include "tests/support/memory_file_system.h"
#include "tests/support/memory_password_store.h"
#include "tests/support/scripted_dialogs.h"
#include "tests/support/scripted_file_picker.h"

namespace ch::test {

struct FakeServices {
    FakeServices() = default;
    // services refers to this object's own members.
    FakeServices(const FakeServices&) = delete;
    FakeServices& operator=(const FakeServices&) = delete;

    MemoryFileSystem fs;
    ScriptedDialogs dialogs;
    FakeShell shell;
    FakeRegistry registry;
    FakeProcesses processes;
    FakeArchiver archiver{fs};
    FakeFormsRuntime runtime;
    AppObject App;
    FakeBackupLock backupLock;
    ScriptedFilePicker picker;
    InlineWorkRunner work;
    MemoryPasswordStore passwords;
    Services services{fs,      fs.codePage(), dialogs,    shell,  registry, processes, archiver,
                      runtime, App,           backupLock, picker, work,     &passwords};
    // What the command line takes of the same fakes.
    CommandLineServices commandLine{fs, fs.codePage(), archiver, backupLock, App, &passwords};
};

} // namespace ch::test
