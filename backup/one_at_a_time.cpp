#include "backup/one_at_a_time.h"

namespace ch {
namespace {

class ReleasingDialogs : public Dialogs {
  public:
    ReleasingDialogs(Dialogs& inner, BackupLock& lock) : inner_(inner), lock_(lock) {}
    int msgBox(const std::string& prompt, int style,
               const std::optional<std::string>& title) override {
        lock_.release();
        return inner_.msgBox(prompt, style, title);
    }

  private:
    Dialogs& inner_;
    BackupLock& lock_;
};

} // namespace

std::string waitedSeconds(unsigned waitMilliseconds) {
    return std::to_string((waitMilliseconds + 999) / 1000);
}

const char* const kAnotherBackupTitle = "Another backup is running";

std::string anotherBackupText(unsigned waitMilliseconds) {
    return "Another backup is running on this computer (a scheduled backup, or Chathoard in "
           "another window). This one waited " +
           waitedSeconds(waitMilliseconds) +
           " seconds for it and did not start; nothing was written.\r\n\r\nBack up again when "
           "the other backup has finished.";
}

BackupOutcome runAlone(const Services& s, unsigned waitMilliseconds,
                       const std::function<BackupOutcome(const Services&)>& backup) {
    if (!s.backupLock.acquire(waitMilliseconds)) {
        s.dialogs.msgBox(anotherBackupText(waitMilliseconds), vbExclamation, kAnotherBackupTitle);
        return BackupOutcome::AnotherBackupRunning;
    }
    const ReleaseAtEnd releaseAtEnd{s.backupLock};
    ReleasingDialogs releasing(s.dialogs, s.backupLock);
    return backup(s.withDialogs(releasing));
}

} // namespace ch
