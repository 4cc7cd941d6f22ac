// File > Restore a backup... end to end: the backup picked in the open dialog, the question
// confirmed, the files in db afterwards; and a refusal while a database file is held open.
#include <gtest/gtest.h>

#include "tests/e2e/e2e_scenes.h"
#include "tests/support/zip_maker.h"

namespace ch::e2e {
namespace {

constexpr const char* kPickerTitle =
    "Choose the backup to restore: chathoard.zip, or a database file in a folder of copies";

// M:\<name>\db with an old database and a file of the user's own.
void oldDatabase(const std::string& name) {
    const std::string db = "M:\\" + name + "\\db";
    makeFolders(db);
    writeFile(db + "\\Messages.dat", "old messages");
    writeFile(db + "\\Messages.idx", "old index");
    writeFile(db + "\\notes.txt", "mine");
}

// File > Restore a backup..., with the backup picked in the open dialog.
void restoreThroughTheMenu(Program& program, const std::string& backup) {
    program.chooseMenu("mnuRestore");
    pickInOpenDialog(program, kPickerTitle, backup);
}

TEST(Restore, AZipBackupAndAFolderBackupReplaceDbAndTheOldOneIsKept) {
    oldDatabase("RestoreMe");
    makeFolders("N:\\RestoreSrc\\Copies");
    const std::string zipMessages(50000, 'z'), copyMessages = "messages of the copies";
    writeFile("N:\\RestoreSrc\\chathoard.zip",
              test::makeZip({{"Messages.dat", zipMessages}, {"Messages.idx!", "zip index"}}));
    writeFile("N:\\RestoreSrc\\Copies\\Messages.dat", copyMessages);
    writeFile("N:\\RestoreSrc\\Copies\\Messages.idx", "copies index");

    Program program("restore");
    ASSERT_TRUE(startWithSettings(program));
    program.openFolder("Dir1", "RestoreMe");
    ASSERT_TRUE(program.waitLabel("ICQ Directory found !"));

    struct Case {
        std::string picked, dat, idx;
    };
    for (const Case& c :
         {Case{"N:\\RestoreSrc\\chathoard.zip", zipMessages, "zip index"},
          Case{"N:\\RestoreSrc\\Copies\\Messages.idx", copyMessages, "copies index"}}) {
        restoreThroughTheMenu(program, c.picked);
        const MessageBox question = program.waitMessageBox();
        EXPECT_EQ(question.title, "Restore a backup");
        EXPECT_TRUE(mentions(question.prompt, "Messages.dat")) << question.prompt;
        question.answer(IDOK);
        const MessageBox done = program.waitMessageBox(60000);
        EXPECT_EQ(done.title, "Backup restored") << done.prompt;
        EXPECT_TRUE(mentions(
            done.prompt, "Your previous database was kept in m:\\RestoreMe\\db.before-restore-"))
            << done.prompt;
        done.answer(IDOK);
        EXPECT_EQ(readFile("M:\\RestoreMe\\db\\Messages.dat"), c.dat) << c.picked;
        EXPECT_EQ(readFile("M:\\RestoreMe\\db\\Messages.idx"), c.idx) << c.picked;
        // The messenger's other files stay where they are.
        EXPECT_EQ(readFile("M:\\RestoreMe\\db\\notes.txt"), "mine") << c.picked;
    }
    // The very first database files are kept in one of the two before-restore folders.
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA("M:\\RestoreMe\\db.before-restore-*", &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    int kept = 0, original = 0;
    do {
        ++kept;
        const std::string folder = std::string("M:\\RestoreMe\\") + data.cFileName;
        if (readFile(folder + "\\Messages.dat") == "old messages")
            ++original;
    } while (FindNextFileA(find, &data));
    FindClose(find);
    EXPECT_EQ(kept, 2);
    EXPECT_EQ(original, 1);
}

TEST(Restore, ADatabaseFileHeldOpenRefusesTheRestoreAndChangesNothing) {
    oldDatabase("RestoreInUse");
    makeFolders("N:\\RestoreSrc2");
    writeFile("N:\\RestoreSrc2\\chathoard.zip", test::makeZip({{"Messages.dat", "new"}}));

    Program program("restore-in-use");
    ASSERT_TRUE(startWithSettings(program));
    program.openFolder("Dir1", "RestoreInUse");
    ASSERT_TRUE(program.waitLabel("ICQ Directory found !"));
    HANDLE messenger =
        CreateFileA("M:\\RestoreInUse\\db\\Messages.idx", GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                    OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(messenger, INVALID_HANDLE_VALUE);

    restoreThroughTheMenu(program, "N:\\RestoreSrc2\\chathoard.zip");
    program.waitMessageBox().answer(IDOK); // the question
    const MessageBox refused = program.waitMessageBox();
    CloseHandle(messenger);
    EXPECT_EQ(refused.title, "Restore failed");
    EXPECT_TRUE(mentions(refused.prompt, "If ICQ is running, close it and try again"))
        << refused.prompt;
    refused.answer(IDOK);
    EXPECT_EQ(readFile("M:\\RestoreInUse\\db\\Messages.dat"), "old messages");
    // "db.*" would match db itself: Windows reads a final "." as "no extension".
    for (const char* pattern :
         {"M:\\RestoreInUse\\db.restore-*", "M:\\RestoreInUse\\db.before-restore-*"}) {
        WIN32_FIND_DATAA data;
        HANDLE find = FindFirstFileA(pattern, &data);
        EXPECT_EQ(find, INVALID_HANDLE_VALUE) << "a folder was made: " << data.cFileName;
        if (find != INVALID_HANDLE_VALUE)
            FindClose(find);
    }
}

} // namespace
} // namespace ch::e2e
