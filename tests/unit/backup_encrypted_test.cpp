// Encrypted archives made by 7-Zip, checked and restored with the stored password: a wrong or
// missing one is its own verdict and exit code and changes nothing; a changed byte is damage;
// plain and encrypted entries of one archive are each read as they are. And the command line's
// password switches, and /encrypt with the archiving library as the engine meets it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "app/backup_messages.h"
#include "app/backup_window.h"
#include "app/check_messages.h"
#include "app/command_line.h"
#include "app/frm_check.h"
#include "app/frm_password.h"
#include "app/password_command_line.h"
#include "app/restore_messages.h"
#include "app/selection_handlers.h"
#include "backup/restore.h"
#include "backup/verify.h"
#include "backup/zip_backup.h"
#include "tests/support/fake_services.h"
#include "tests/unit/azip32_test_files.h"

namespace ch {
namespace {

using ::testing::Contains;
using ::testing::HasSubstr;
using ::testing::Not;

const std::string kChats = azip::test::chat(300000, 7);

// a.dat and a.idx packed by 7-Zip with AES-256 and password "pa55 word"; in mixed.zip a.idx
// was added afterwards without a password.
struct SevenZipArchives {
    SevenZipArchives() {
        azip::test::writeFile(dir / "a.dat", kChats);
        azip::test::writeFile(dir / "a.idx", "index");
        const std::string in = "cd '" + dir.path() + "' && 7z a -tzip -mem=AES256 -p'pa55 word' ";
        EXPECT_EQ(std::system((in + "aes.zip a.dat a.idx > /dev/null").c_str()), 0);
        EXPECT_EQ(std::system((in + "mixed.zip a.dat > /dev/null && 7z a -tzip mixed.zip a.idx "
                                    "> /dev/null")
                                  .c_str()),
                  0);
        aes = azip::test::readFile(dir / "aes.zip");
        mixed = azip::test::readFile(dir / "mixed.zip");
    }
    azip::test::TempDir dir;
    std::string aes, mixed;
};

const SevenZipArchives& archives() {
    static const SevenZipArchives made;
    return made;
}

struct Encrypted : ::testing::Test, test::FakeServices {
    Encrypted() {
        fs.addDrive('d');
        fs.addFile("C:\\ICQ\\db\\a.dat", "old chats");
        fs.addFile("C:\\ICQ\\db\\a.idx", "old index");
        fs.addFolder("C:\\Tools");
        App.Path = "C:\\Tools";
        fs.addFile("D:\\aes.zip", archives().aes);
        fs.addFile("D:\\mixed.zip", archives().mixed);
    }
    int run(const std::vector<std::string>& args, std::vector<std::string> typed = {}) {
        lines.clear();
        RunControl control;
        control.readPassword = [typed](const std::string&) mutable {
            if (typed.empty())
                return std::optional<std::string>();
            std::optional<std::string> line = typed.front();
            typed.erase(typed.begin());
            return line;
        };
        return runCommandLine(
            args, commandLine, [&](const std::string& l, bool) { lines.push_back(l); },
            [] { return std::string("2026-12-07 03:00:00"); }, Waiting::real(), control);
    }
    std::vector<std::string> lines;
};

TEST_F(Encrypted, AWrongOrMissingPasswordIsItsOwnVerdictAndChangesNothing) {
    EXPECT_EQ(run({"/verify", "D:\\aes.zip"}), exitPassword);
    EXPECT_THAT(lines, Contains(HasSubstr("a.dat: UNREADABLE: it is encrypted and no password")));
    EXPECT_THAT(lines, Contains("The backup D:\\aes.zip is encrypted: it needs its password."));

    passwords.password = "pa55 wordx";
    EXPECT_EQ(run({"/verify", "D:\\aes.zip"}), exitPassword);
    EXPECT_THAT(lines, Contains(HasSubstr("the password given is wrong")));
    EXPECT_THAT(lines, Not(Contains(HasSubstr("DAMAGED"))));
    EXPECT_EQ(run({"/restore", "D:\\aes.zip", "C:\\ICQ"}), exitPassword);
    EXPECT_THAT(lines, Contains(HasSubstr("Nothing was changed")));
    EXPECT_EQ(fs.content("C:\\ICQ\\db\\a.dat"), "old chats");
    EXPECT_EQ(fs.entries("C:\\ICQ"), std::vector<std::string>{"db"});

    passwords.password = "pa55 word";
    EXPECT_EQ(run({"/verify", "D:\\aes.zip", "C:\\ICQ"}), exitDone);
    EXPECT_THAT(lines, Contains(HasSubstr("a.dat: intact, 300000 bytes; the database's copy "
                                          "has changed since")));
    EXPECT_EQ(run({"/restore", "D:\\aes.zip", "C:\\ICQ"}), exitDone);
    EXPECT_TRUE(fs.content("C:\\ICQ\\db\\a.dat") == kChats);
    EXPECT_EQ(fs.content("C:\\ICQ\\db\\a.idx"), "index");
    // Compared by the CRC-32 of what was read, which AE-2 headers do not carry.
    EXPECT_EQ(run({"/verify", "D:\\aes.zip", "C:\\ICQ"}), exitDone);
    EXPECT_THAT(lines, Contains(HasSubstr("a.dat: intact, 300000 bytes; the same as in the")));
}

TEST_F(Encrypted, MixedEntriesAreReadEachAsItIsAndAChangedByteIsDamage) {
    CheckedBackup checked = checkBackup(fs, fs.codePage(), "D:\\mixed.zip");
    ASSERT_EQ(checked.files.size(), 2u);
    EXPECT_EQ(fileProblemText(checked.files[0]),
              "it cannot be read: it is encrypted and no password was "
              "given");
    EXPECT_EQ(checked.files[1].fault, BackupFile::Fault::None);
    EXPECT_TRUE(checked.encrypted);
    EXPECT_TRUE(checkBackup(fs, fs.codePage(), "D:\\mixed.zip", {}, "pa55 word").intact());

    // A byte in the middle of a.dat's encrypted data: the password check still passes.
    std::string changed = archives().mixed;
    changed[changed.find("a.dat") + 2000] ^= 0x20;
    fs.addFile("D:\\changed.zip", changed);
    checked = checkBackup(fs, fs.codePage(), "D:\\changed.zip", {}, "pa55 word");
    EXPECT_TRUE(checked.damaged);
    EXPECT_EQ(checked.passwordTrouble, CheckedBackup::PasswordTrouble::None);
    EXPECT_EQ(checked.files[0].fault, BackupFile::Fault::Damaged);
}

TEST_F(Encrypted, ThePasswordSwitchesTakeTwoLinesThatAgreeAndNeverAnArgument) {
    EXPECT_EQ(run({"/password"}, {"one"}), exitPassword);
    EXPECT_EQ(run({"/password"}, {"one", "two"}), exitPassword);
    EXPECT_THAT(lines, Contains(HasSubstr("the two passwords differ")));
    EXPECT_FALSE(passwords.password);
    EXPECT_EQ(run({"/password"}, {"s3cret", "s3cret", "ignored"}), exitDone);
    EXPECT_EQ(passwords.password, "s3cret");
    EXPECT_THAT(fs.readAll("C:\\Tools\\chathoard.log"), Not(HasSubstr("s3cret")));
    EXPECT_EQ(run({"/password:s3cret"}), exitBadArguments);
    EXPECT_EQ(run({"/password", "/zip"}), exitBadArguments);
    EXPECT_EQ(run({"/normal", "C:\\ICQ", "D:\\Save", "/encrypt"}), exitBadArguments);
    EXPECT_EQ(run({"/password:REMOVE"}), exitDone);
    EXPECT_FALSE(passwords.password);
}

TEST_F(Encrypted, EncryptUsesTheStoredPasswordAndAnOldLibraryMakesNoArchive) {
    EXPECT_EQ(run({"/zip", "C:\\ICQ", "D:\\Save", "/encrypt"}), exitPassword);
    EXPECT_THAT(lines, Contains(kNoStoredPasswordText));
    EXPECT_TRUE(archiver.calls.empty());

    passwords.password = "s3cret";
    EXPECT_EQ(run({"/zip", "C:\\ICQ", "D:\\Save", "/encrypt"}), exitDone);
    ASSERT_EQ(archiver.requests.size(), 1u);
    EXPECT_EQ(archiver.requests[0].password, "s3cret");
    EXPECT_EQ(run({"/zip", "C:\\ICQ", "D:\\Save"}), exitDone);
    ASSERT_EQ(archiver.requests.size(), 2u);
    EXPECT_EQ(archiver.requests[1].password, "");

    archiver.passwordEntry = false;
    fs.deleteFile("D:\\Save\\chathoard.zip");
    EXPECT_EQ(run({"/zip", "C:\\ICQ", "D:\\Save", "/encrypt"}), exitBackupFailed);
    EXPECT_THAT(lines, Contains(HasSubstr(kCannotEncryptReason)));
    EXPECT_FALSE(fs.hasFile("D:\\Save\\chathoard.zip"));
    EXPECT_FALSE(fs.folderExists("C:\\chathoard"));
}

// From the window, a stored password that is missing or wrong is asked for once.
TEST_F(Encrypted, TheWindowAsksForThePasswordOnceWhenTheStoredOneDoesNotOpenTheBackup) {
    Label Label1(kFoundCaption);
    FolderList Dir1(fs, fs.codePage()), Dir2(fs, fs.codePage());
    Dir1.init("C:\\ICQ");
    Dir2.init("D:\\");
    std::vector<std::string> asked;
    std::vector<std::string> typed;
    runtime.onShowModal = [&](ModalForm& shown) {
        if (auto* ask = dynamic_cast<FrmAskPassword*>(&shown)) {
            asked.push_back(ask->prompt);
            if (typed.empty())
                return ask->cmdCancel_Click();
            ask->txtPassword.setText(typed.front());
            typed.erase(typed.begin());
            ask->cmdOK_Click();
        }
    };
    std::unique_ptr<FrmCheck> check;
    passwords.password = "pa55 wordx";
    typed = {"pa55 word"};
    picker.answers = {"D:\\aes.zip"};
    mnuCheck_Click(Label1, Dir1, Dir2, services, check);
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_THAT(asked[0], HasSubstr("D:\\aes.zip is encrypted, and the stored password does not "
                                    "open it"));
    EXPECT_THAT(check->lblVerdict.Caption(), HasSubstr("intact"));

    // A wrong typed one is not asked for again; the restore stops before changing anything.
    passwords.password.reset();
    asked.clear();
    typed = {"guess"};
    picker.answers = {"D:\\aes.zip"};
    mnuRestore_Click(Label1, Dir1, Dir2, services, "2026-12-07-030000");
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_THAT(asked[0], HasSubstr("no password is stored"));
    EXPECT_EQ(dialogs.shown.back().title, kRestoreFailedTitle);
    EXPECT_EQ(fs.content("C:\\ICQ\\db\\a.dat"), "old chats");

    typed = {"pa55 word"};
    picker.answers = {"D:\\aes.zip"};
    dialogs.answers = {vbOK};
    mnuRestore_Click(Label1, Dir1, Dir2, services, "2026-12-07-030000");
    EXPECT_TRUE(fs.content("C:\\ICQ\\db\\a.dat") == kChats);
}

} // namespace
} // namespace ch
