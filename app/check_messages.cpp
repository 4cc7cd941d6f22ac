#include "app/check_messages.h"

#include <algorithm>
#include <ctime>

#include "app/backup_messages.h"

namespace ch {
namespace {

std::string exactSizeText(uint64_t bytes) {
    return std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes");
}

std::string nameTroubleText(const BackupFile& f) {
    switch (f.nameTrouble) {
    case BackupFile::NameTrouble::CodePage:
        return "its name has characters that this system's code page for file names does not "
               "have";
    case BackupFile::NameTrouble::ControlCharacter:
        return "its name holds a control character, which Windows does not allow in a file name";
    case BackupFile::NameTrouble::ForbiddenCharacter:
        return std::string("its name holds the character ") + f.character +
               ", which Windows does not allow in a file name";
    case BackupFile::NameTrouble::TrailingDotOrBlank:
        return "its name ends in a dot or a blank, which Windows drops from a file name";
    case BackupFile::NameTrouble::None:
        break;
    }
    return {};
}

// One database file's line of /verify: its state, and beside the database its comparison.
std::string fileLine(const CheckedBackup& checked, const BackupFile& f,
                     const FileComparison& compared) {
    const std::string shown = f.entryName.empty() ? f.name : f.entryName;
    if (f.fault != BackupFile::Fault::None) {
        const std::string problem = fileProblemText(f);
        const std::string why = problem.substr(problem.find(": ") + 2);
        switch (f.fault) {
        case BackupFile::Fault::Damaged:
            return shown + ": DAMAGED: " + why;
        case BackupFile::Fault::Unreadable:
            return shown + ": UNREADABLE: " + why;
        default:
            return shown + ": CANNOT BE RESTORED here: " + why;
        }
    }
    std::string state = (checked.archive ? "intact, " : "readable, ") + exactSizeText(f.size);
    const std::string how = compared.databaseSize == f.size
                                ? "the same size, other contents"
                                : exactSizeText(compared.databaseSize) + " in the database";
    using State = FileComparison::State;
    switch (compared.state) {
    case State::NotCompared:
        break;
    case State::OnlyInBackup:
        state += "; only in the backup";
        break;
    case State::DatabaseUnreadable:
        state += "; the database's copy cannot be read: " + plainReason(*compared.databaseError);
        break;
    case State::Same:
        state += "; the same as in the database";
        break;
    case State::ChangedSince:
        state += "; the database's copy has changed since";
        break;
    case State::Differs:
        state += "; it differs from the database's copy (" + how +
                 "): ICQ has written to that since, or this copy is damaged";
        break;
    case State::Suspect:
        state = "SUSPECT: " + state + "; it differs from the database's copy (" + how +
                ") though it is newer: it was changed after the backup, or is damaged";
        break;
    }
    return shown + ": " + state;
}

// The last line of /verify: what the backup is worth.
std::string verdictLine(const Verification& v) {
    const CheckedBackup& checked = v.checked;
    const size_t n = checked.files.size();
    const std::string counted = std::to_string(n) +
                                (n == 1 ? " database file" : " database files") + ", from " +
                                localDateText(checked.modified) + " (its newest file's time)";
    const bool unreadable =
        std::any_of(checked.files.begin(), checked.files.end(),
                    [](const BackupFile& f) { return f.fault == BackupFile::Fault::Unreadable; });
    if (v.intact() && checked.archive)
        return "The backup " + checked.path + " is intact: " + counted + ".";
    if (v.intact())
        return "The backup " + checked.path + " is readable: " + counted +
               ". Plain copies carry no checksums, so damage that leaves a file readable cannot "
               "be found.";
    if (v.suspect > 0 && checked.intact())
        return "The backup " + checked.path +
               " is SUSPECT: " + (v.suspect == 1 ? "a copy differs" : "copies differ") +
               " from the database though newer than it; see the lines above.";
    if (checked.files.empty() && checked.problems.empty())
        return "The backup " + checked.path +
               " holds no database files (*.dat or *.idx): it cannot be restored.";
    if (checked.passwordTrouble != CheckedBackup::PasswordTrouble::None)
        return passwordTroubleText(checked);
    if (checked.damaged)
        return "The backup " + checked.path + " is DAMAGED: it cannot be restored.";
    if (unreadable || checked.files.empty())
        return "The backup " + checked.path + " cannot be read: it cannot be restored.";
    return "The backup " + checked.path + " cannot be restored: see the lines above.";
}

} // namespace

std::string fileProblemText(const BackupFile& f) {
    switch (f.fault) {
    case BackupFile::Fault::None:
        break;
    case BackupFile::Fault::Unreadable:
        return "it cannot be read: " + (f.error ? plainReason(*f.error) : f.found);
    case BackupFile::Fault::Damaged:
        return "it is damaged: " + f.found;
    case BackupFile::Fault::NotRestorable:
        return "it cannot be restored on this system: " + nameTroubleText(f);
    }
    return {};
}

std::string checkProblemText(const CheckedBackup& backup, const CheckProblem& problem) {
    const std::string& path = backup.path;
    switch (problem.kind) {
    case CheckProblem::Kind::NotFound:
        return "The backup " + path + " was not found.";
    case CheckProblem::Kind::FolderUnreadable:
        return "The folder " + path + " cannot be read: " + plainReason(*problem.error) + ".";
    case CheckProblem::Kind::ArchiveUnreadable:
        return "The archive " + path + " cannot be read: " + plainReason(*problem.error) + ".";
    case CheckProblem::Kind::ArchiveDamaged:
        return "The archive " + path + " is damaged: " +
               (problem.entry.empty() ? "" : "the entry " + problem.entry + ": ") + problem.found +
               ".";
    case CheckProblem::Kind::CentralDirectoryMissing:
        return "The archive " + path +
               " is damaged: its central directory is missing (the archive is truncated). The "
               "entries below were found by their local headers.";
    case CheckProblem::Kind::EntryOutside:
        return "The entry " + problem.entry +
               " would be unpacked outside the database folder; such an archive is not restored.";
    case CheckProblem::Kind::EntryNotIntact:
        return "The entry " + problem.entry + " is not intact: " + fileProblemText(problem.file) +
               ".";
    case CheckProblem::Kind::NameTwice:
        return "The archive holds " + problem.entry +
               " more than once; it mixes backups and is not restored.";
    case CheckProblem::Kind::SeveralFolders:
        return "The archive's database files lie in more than one folder; it mixes backups and "
               "is not restored.";
    }
    return {};
}

std::string passwordTroubleText(const CheckedBackup& backup) {
    if (backup.passwordTrouble == CheckedBackup::PasswordTrouble::Wrong)
        return "The backup " + backup.path +
               " is encrypted with another password: the password given is wrong.";
    return "The backup " + backup.path + " is encrypted: it needs its password.";
}

std::string localDateText(int64_t unixTime) {
    const std::time_t t = static_cast<std::time_t>(unixTime);
    const std::tm* local = std::localtime(&t);
    if (!local)
        return "an unknown date";
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", local);
    return text;
}

VerifyReport verifyReport(const Verification& v) {
    VerifyReport report;
    const CheckedBackup& checked = v.checked;
    report.passwordTrouble = checked.passwordTrouble;
    auto& lines = report.lines;
    if (v.cancelled) {
        report.cancelled = true;
        lines = {"The check of the backup " + checked.path + " was cancelled."};
        return report;
    }
    if (v.databaseFolderError)
        lines.push_back(
            "The database folder " + v.databaseFolder +
            " cannot be read for the comparison: " + plainReason(*v.databaseFolderError) + ".");
    if (!checked.found) {
        lines.push_back("The backup " + checked.path + " was not found.");
        return report;
    }
    for (const CheckProblem& problem : checked.problems) {
        lines.push_back(checkProblemText(checked, problem));
        report.problems.push_back(lines.back());
    }
    for (size_t i = 0; i < checked.files.size(); ++i) {
        const BackupFile& f = checked.files[i];
        const FileComparison& compared = v.comparisons.at(i);
        lines.push_back(fileLine(checked, f, compared));
        if (f.fault != BackupFile::Fault::None || compared.state == FileComparison::State::Suspect)
            report.problems.push_back(lines.back());
    }
    for (const std::string& name : v.missing)
        lines.push_back(name + ": missing from the backup (it is in " + v.databaseFolder + ")");
    report.intact = v.intact();
    report.damaged = checked.damaged;
    lines.push_back(verdictLine(v));
    return report;
}

VerifyReport verifyBackup(FileSystem& fs, const CodePage& codePage, const std::string& backup,
                          const std::optional<std::string>& messengerFolder,
                          const WorkControl& control, const std::string& password) {
    return verifyReport(
        verifyBackupFacts(fs, codePage, backup, messengerFolder, control, password));
}

} // namespace ch
