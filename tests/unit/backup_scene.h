#pragma once
// A main window as both backups see it: a messenger folder C:\ICQ whose db subfolder holds
// a.dat and a.idx, the destination D:\Save, the program folder C:\Program Files\Chathoard.
#include <gtest/gtest.h>

#include <string>
#include <vector>

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
    BackupSources sources() const { return {Label1, File1, Dir1, Dir2}; }
    const ShownBox& onlyBox() const {
        EXPECT_EQ(dialogs.shown.size(), 1u);
        return dialogs.shown.at(0);
    }

    Label Label1{"ICQ Directory found !"};
    FileList File1{fs, "*.dat;*.idx"};
    FolderList Dir1{fs};
    FolderList Dir2{fs};
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
