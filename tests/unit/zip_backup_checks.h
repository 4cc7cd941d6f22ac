#pragma once
// What a ZIP Backup run over a BackupScene is checked against: the message boxes it ends
// with, and that nothing of its own is left behind.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "backup/zip_backup.h"
#include "tests/unit/backup_scene.h"

namespace ch::test {

inline const char* const kDonePrompt = "Your ICQ backup has been succesfully copied to: "
                                       "D:\\Save\\chathoard.zip\r\n\r\n"
                                       "You can unzip the files by using Winzip or pkunzip.exe";

// The list file of a run over the scene's a.dat and a.idx, staged on drive C.
inline const char* const kStagedList = "C:\\chathoard\\a.dat\r\nC:\\chathoard\\a.idx\r\n";

inline BackupOutcome zipBackup(BackupScene& s, const std::string& DefaultDrive = "C") {
    return s.backUp(BackupKind::Zip, DefaultDrive);
}

inline void expectDoneBox(const BackupScene& s) {
    const ShownBox& box = s.onlyBox();
    EXPECT_EQ(box.prompt, kDonePrompt);
    EXPECT_EQ(box.style, 64);
    EXPECT_EQ(box.title, "Done !");
}

inline void expectFailureBox(const BackupScene& s, const std::string& what) {
    const ShownBox& box = s.onlyBox();
    EXPECT_EQ(box.style, 48);
    EXPECT_NE(box.title, "Done !");
    EXPECT_THAT(box.prompt, ::testing::HasSubstr(what));
}

// Nothing of the run is left but what it was asked to write.
inline void expectNoLeftovers(BackupScene& s) {
    EXPECT_FALSE(s.fs.hasFolder("C:\\chathoard")) << s.fs.dump();
    EXPECT_FALSE(s.fs.hasFile("C:\\Program Files\\Chathoard\\icqtemp.dat")) << s.fs.dump();
}

} // namespace ch::test
