#include "app/password_command_line.h"

#include "azip32/crypto.h"
#include "platform/runtime_error.h"

namespace ch {
namespace {

// Clears a typed password as soon as it is no longer needed.
struct Wiped {
    std::optional<std::string> text;
    ~Wiped() {
        if (text)
            crypto::wipe(text->data(), text->size());
    }
};

} // namespace

const char* const kNoStoredPasswordText =
    "/encrypt: no password is stored for this Windows user. Set one with chathoard /password "
    "(or File > ZIP Backup password... in the window). Nothing was written.";

std::optional<std::string> storedPassword(const CommandLineServices& s, Console& console) {
    if (!s.passwords)
        return std::nullopt;
    try {
        return s.passwords->load();
    } catch (const RuntimeError& e) {
        console.report("The stored password cannot be read: " + e.description() +
                           ". Set it again with chathoard /password.",
                       true);
        return std::nullopt;
    }
}

int runPasswordCommand(
    const CommandLine& cl, const CommandLineServices& s, Console& console,
    const std::function<std::optional<std::string>(const std::string& prompt)>& readPassword) {
    if (!s.passwords) {
        console.report("No password can be stored on this system.", true);
        return exitBackupFailed;
    }
    try {
        if (cl.command == Command::RemovePassword) {
            const bool was = s.passwords->stored();
            s.passwords->remove();
            console.report(was ? "The stored password was removed: ZIP Backups are no longer "
                                 "encrypted. Backups encrypted before still need it."
                               : "No password was stored.",
                           false);
            return exitDone;
        }
        Wiped first, second;
        if (readPassword) {
            first.text = readPassword("Password for ZIP Backups: ");
            if (first.text)
                second.text = readPassword("Type it again: ");
        }
        if (!first.text || !second.text || first.text->empty()) {
            console.report("/password: the password was not given twice (it is typed when "
                           "asked, or read from the first two lines of the input). The stored "
                           "password was not changed.",
                           true);
            return exitPassword;
        }
        if (*first.text != *second.text) {
            console.report("/password: the two passwords differ. The stored password was not "
                           "changed.",
                           true);
            return exitPassword;
        }
        s.passwords->save(*first.text);
    } catch (const RuntimeError& e) {
        console.report("The password could not be stored: " + e.description() + ".", true);
        return exitBackupFailed;
    }
    console.report("The password is stored for this Windows user: ZIP Backups made with /zip "
                   "/encrypt are encrypted with it (AES-256), and /verify and /restore open "
                   "them. Keep it safe: a forgotten password cannot be recovered.",
                   false);
    return exitDone;
}

} // namespace ch
