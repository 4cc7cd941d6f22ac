// A drive that is not ready: q: points at a folder that does not exist until the test makes it.
#include <gtest/gtest.h>

#include "tests/e2e/e2e_scenes.h"

namespace ch::e2e {
namespace {

MessageBox pickNotReadyDrive(Program& program) {
    program.pickDrive("Drive1", "q:");
    return program.waitMessageBox();
}

TEST(DriveSelection, CancelFallsBackToTheOtherDriveAndRetrySucceedsOnceTheDiskIsThere) {
    const std::string target = workPath("not-ready");
    RemoveDirectoryA(target.c_str());
    Program program("drives");
    ASSERT_TRUE(startWithSettings(program));
    program.pickDrive("Drive2", "n:");
    ASSERT_TRUE(waitFor([&] { return program.selectedText("Dir2") == "n:\\"; }));

    MessageBox box = pickNotReadyDrive(program);
    EXPECT_EQ(box.title, "Tavrik's Chathoard");
    EXPECT_EQ(box.prompt, "Please insert a diskette or CD-ROM");
    EXPECT_TRUE(box.hasButton(IDRETRY));
    box.answer(IDCANCEL);
    EXPECT_TRUE(waitFor([&] { return program.selectedText("Drive1").substr(0, 2) == "n:"; }));
    EXPECT_TRUE(waitFor([&] { return program.selectedText("Dir1") == "n:\\"; }));
    EXPECT_FALSE(waitFor([&] { return program.messageBoxOpen(); }, 500)) << "one message only";

    box = pickNotReadyDrive(program);
    ASSERT_TRUE(box.hwnd);
    box.answer(IDRETRY); // still no disk: the question comes back
    box = program.waitMessageBox();
    ASSERT_EQ(box.prompt, "Please insert a diskette or CD-ROM");
    makeFolders(target + "\\Disk folder");
    box.answer(IDRETRY);
    EXPECT_TRUE(waitFor([&] { return program.selectedText("Dir1") == "q:\\"; }));
    EXPECT_EQ(program.selectedText("Drive1").substr(0, 2), "q:");
    EXPECT_EQ(program.listItems("Dir1").back(), "Disk folder");
    EXPECT_EQ(windowText(program.control("Label1")), "No ICQ Directory found");

    PostMessageA(program.mainWindow(), WM_CLOSE, 0, 0);
    program.waitExit();
    RemoveDirectoryA((target + "\\Disk folder").c_str());
    RemoveDirectoryA(target.c_str());
}

TEST(DriveSelection, ADriveThatVanishedAfterTheListWasFilledIsReportedAsNotReady) {
    Program program("pulled");
    ASSERT_TRUE(startWithSettings(program));
    program.pickDrive("Drive2", "n:");
    ASSERT_TRUE(waitFor([&] { return program.selectedText("Dir2") == "n:\\"; }));
    writeFile(workPath("pull-p"), ""); // the stick comes out; the list still shows p:
    ASSERT_TRUE(waitFor([] { return fileExists(workPath("pulled-p")); }));

    program.pickDrive("Drive1", "p:");
    MessageBox box = program.waitMessageBox();
    EXPECT_EQ(box.prompt, "Please insert a diskette or CD-ROM");
    EXPECT_TRUE(box.hasButton(IDRETRY));
    box.answer(IDRETRY); // still gone: the question comes back
    box = program.waitMessageBox();
    ASSERT_EQ(box.prompt, "Please insert a diskette or CD-ROM");
    box.answer(IDCANCEL);
    EXPECT_TRUE(waitFor([&] { return program.selectedText("Drive1").substr(0, 2) == "n:"; }));
    EXPECT_TRUE(waitFor([&] { return program.selectedText("Dir1") == "n:\\"; }));
    EXPECT_FALSE(waitFor([&] { return program.messageBoxOpen(); }, 500)) << "no run-time error";

    PostMessageA(program.mainWindow(), WM_CLOSE, 0, 0);
    program.waitExit();
}

} // namespace
} // namespace ch::e2e
