#pragma once
// What a check of a backup found, in the program's words: the lines of /verify, the check's
// box and the restore's refusal are built here from the facts the check gives.
#include <optional>
#include <string>
#include <vector>

#include "backup/verify.h"

namespace ch {

// Why one file of a backup cannot be used, as a clause: "it is damaged: ...".
std::string fileProblemText(const BackupFile& file);
// A fault of the backup that is not one database file's, as a sentence.
std::string checkProblemText(const CheckedBackup& backup, const CheckProblem& problem);

// The verdict on a backup whose encrypted entries could not be read, as one sentence.
std::string passwordTroubleText(const CheckedBackup& backup);

// "2026-12-07 03:00" in local time.
std::string localDateText(int64_t unixTime);

// The lines and verdict of "/verify": one line per file, then one line with the verdict.
// With a messenger folder, each file is also compared with its db subfolder.
struct VerifyReport {
    std::vector<std::string> lines;
    // Those of lines that say what is wrong (damaged, unreadable, suspect, not restorable).
    std::vector<std::string> problems;
    bool intact = false;
    bool damaged = false;   // some part of the backup fails its checks
    bool cancelled = false; // then lines holds only the line that says so
    // Encrypted entries could not be read for want of the right password (the verdict says so).
    CheckedBackup::PasswordTrouble passwordTrouble = CheckedBackup::PasswordTrouble::None;
};
VerifyReport verifyReport(const Verification& verification);
// verifyBackupFacts, in words.
VerifyReport verifyBackup(FileSystem& fs, const CodePage& codePage, const std::string& backup,
                          const std::optional<std::string>& messengerFolder,
                          const WorkControl& control = {}, const std::string& password = {});

} // namespace ch
