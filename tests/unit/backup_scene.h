#pragma once
// A main window as both backups see it: a messenger folder C:\ICQ whose db subfolder holds
// a.dat and a.idx, the destination D:\Save, the program folder C:\Program Files\Chathoard.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "app/backup_window.h"
#include "backup/backup_common.h"
#include "tests/support/fake_services.h"

namespace ch::test {

struct BackupScene : FakeServices {
    BackupScene() {
        fs.addDrive('d');
        fs.addFile("C:\\ICQ\\db\\a.dat", "chats");
        fs.addFile("C:\\ICQ\\db\\a.idx", "index");
        fs.addFolder("D:\\Save");
        fs.addFolder("C:\\Program Files\\Chathoard");
        App.Path = "C:\\Program Files\\Chathoard";
        show("C:\\ICQ", "D:\\Save");
    }
    // Points the lists at a messenger folder and a destination, as the user would leave them.
    void show(const std::string& messenger, const std::string& destination) {
        Dir1.init(messenger);
        File1.init(Dir1.Path() + "\\db");
        Dir2.init(destination);
    }
    // A click on a backup button as the window handles it, without the lock: the "Oops..."
    // guard, then the job of the lists, run, and its result shown.
    BackupOutcome backUp(BackupKind kind, const std::string& stagingDrive,
                         std::optional<int> keep = std::nullopt, const std::string& stamp = {}) {
        if (refuseWithoutMessengerFolder(Label1, dialogs))
            return BackupOutcome::NoMessengerFolder;
        BackupJob job = backupJobOf(kind, File1, Dir1, Dir2, stagingDrive, App);
        job.keep = keep;
        job.stamp = stamp;
        return showBackupResult(dialogs, job, runBackup(job, {fs, archiver, fs.codePage()}));
    }
    const ShownBox& onlyBox() const {
        EXPECT_EQ(dialogs.shown.size(), 1u);
        return dialogs.shown.at(0);
    }

    Label Label1{"ICQ Directory found !"};
    FileList File1{fs, "*.dat;*.idx"};
    FolderList Dir1{fs, fs.codePage()};
    FolderList Dir2{fs, fs.codePage()};
};

// The flush each copy of the run asked for, in order.
inline std::vector<CopyFlush> copyFlushes(const BackupScene& s) {
    std::vector<CopyFlush> flushes;
    for (const FsCall& call : s.fs.log)
        if (call.op == FsOp::CopyToTemporary)
            flushes.push_back(call.flush);
    return flushes;
}

} // namespace ch::test
