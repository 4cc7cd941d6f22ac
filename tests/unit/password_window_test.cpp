// File > Backup password...: the password typed twice is stored, a mismatch or an empty one
// stores nothing, Remove asks first; the main window says while ZIP Backups are encrypted.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "app/form1.h"
#include "app/frm_password.h"
#include "tests/support/fake_services.h"

namespace ch {
namespace {

using ::testing::HasSubstr;

struct PasswordWindow : ::testing::Test, test::FakeServices {
    FrmPassword form{services};

    // Types both boxes and presses OK; returns the box it showed, if any.
    std::string ok(const std::string& first, const std::string& second) {
        dialogs.shown.clear();
        form.txtPassword.setText(first);
        form.txtConfirm.setText(second);
        form.cmdOK_Click();
        return dialogs.shown.empty() ? std::string() : dialogs.shown.back().prompt;
    }
};

TEST_F(PasswordWindow, SetsOnlyAPasswordTypedTheSameTwiceAndRemovesOnlyWhenTheUserAgrees) {
    form.load();
    EXPECT_FALSE(form.removeEnabled);
    EXPECT_THAT(form.status, HasSubstr("No password is stored"));

    EXPECT_THAT(ok("", ""), HasSubstr("Nothing was stored"));
    EXPECT_THAT(ok("secret one", "secret on"), HasSubstr("differ"));
    EXPECT_TRUE(form.loaded);
    EXPECT_EQ(form.txtConfirm.Text(), ""); // typed again, not corrected
    EXPECT_FALSE(passwords.password);

    EXPECT_THAT(ok("pa55 w\xc3\xb6rd", "pa55 w\xc3\xb6rd"), HasSubstr("Normal Backups stay plain"));
    EXPECT_FALSE(form.loaded);
    EXPECT_EQ(passwords.password, "pa55 w\xc3\xb6rd");
    EXPECT_EQ(form.txtPassword.Text(), "");

    // Changed: the new one replaces it; a mismatch leaves the stored one as it was.
    form.load();
    EXPECT_TRUE(form.removeEnabled);
    EXPECT_THAT(ok("new", "New"), HasSubstr("differ"));
    EXPECT_EQ(passwords.password, "pa55 w\xc3\xb6rd");
    ok("new", "new");
    EXPECT_EQ(passwords.password, "new");

    form.load();
    dialogs.answers = {vbCancel};
    form.cmdRemove_Click();
    EXPECT_EQ(passwords.password, "new");
    EXPECT_TRUE(form.loaded);
    dialogs.answers = {vbOK};
    form.cmdRemove_Click();
    EXPECT_FALSE(passwords.password);
    EXPECT_FALSE(form.loaded);
}

TEST_F(PasswordWindow, TheMainWindowSaysWhileZipBackupsAreEncrypted) {
    Form1 main{services};
    fs.addFolder("C:\\Chathoard");
    App.Path = "C:\\Chathoard";
    main.load("C:\\");
    EXPECT_EQ(main.lblEncrypted.Caption(), "");

    runtime.onShowModal = [](ModalForm& shown) {
        auto& window = dynamic_cast<FrmPassword&>(shown);
        window.txtPassword.setText("secret");
        window.txtConfirm.setText("secret");
        window.cmdOK_Click();
    };
    main.mnuPassword_Click();
    EXPECT_EQ(passwords.password, "secret");
    EXPECT_EQ(main.lblEncrypted.Caption(), "ZIP Backups are encrypted");
    EXPECT_TRUE(main.passwordStored()); // what the schedule window offers "Encrypted" on

    dialogs.answers = {vbOK};
    runtime.onShowModal = [](ModalForm& shown) {
        dynamic_cast<FrmPassword&>(shown).cmdRemove_Click();
    };
    main.mnuPassword_Click();
    EXPECT_EQ(main.lblEncrypted.Caption(), "");
}

} // namespace
} // namespace ch
