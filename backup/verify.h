#pragma once
// Checking a backup before it is needed: a ZIP archive is read through completely (every
// entry inflated and its CRC-32 checked, each local header against the central directory);
// a folder of copies has its *.dat and *.idx files read through. Optionally each database
// file of a messenger folder is compared with the backup.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/code_page.h"
#include "platform/file_system.h"
#include "platform/runtime_error.h"
#include "platform/work_progress.h"

namespace ch {

// One database file of a backup.
struct BackupFile {
    std::string name;      // the file's own name, without any folder
    std::string entryName; // an archive's entry name as stored; empty in a folder of copies
    uint64_t size = 0;
    uint32_t crc = 0; // of the data as read
    // Why it cannot be used: None when it was read intact.
    enum class Fault { None, Damaged, Unreadable, NotRestorable } fault = Fault::None;
    // What the archive's reader found (Damaged, or Unreadable for want of the right password),
    // or the system's error (Unreadable).
    std::string found;
    std::optional<RuntimeError> error;
    // NotRestorable: what in its name Windows cannot create here.
    enum class NameTrouble {
        None,
        CodePage,           // characters the code page for file names does not have
        ControlCharacter,   // a control character
        ForbiddenCharacter, // one of <>"|*?, as character
        TrailingDotOrBlank, // a dot or blank at the end, which Windows drops
    } nameTrouble = NameTrouble::None;
    char character = 0;
    int64_t modified = 0; // as the backup records it (seconds since 1970); 0 when unknown
};

// A fault of a backup that is not one database file's.
struct CheckProblem {
    enum class Kind {
        NotFound,                // nothing is at the backup's path
        FolderUnreadable,        // error
        ArchiveUnreadable,       // error
        ArchiveDamaged,          // found; entry when it is one entry's
        CentralDirectoryMissing, // the entries were found by their local headers
        EntryOutside,            // entry would be unpacked outside the database folder
        EntryNotIntact,          // entry, not a database file, with file's fault
        NameTwice,               // entry: a database file's name, held more than once
        SeveralFolders,          // the database files lie in more than one folder
    } kind;
    std::string entry;
    std::string found;
    std::optional<RuntimeError> error;
    BackupFile file;
};

struct CheckedBackup {
    std::string path; // the archive, or the folder of copies
    bool archive = false;
    std::vector<BackupFile> files; // the *.dat and *.idx files, in the backup's order
    // Faults that are not one database file's: an archive that cannot be read at all, an
    // entry whose name leads out of the folder it would be restored into, other entries
    // that are damaged, database files in more than one folder of the archive.
    std::vector<CheckProblem> problems;
    // The backup's date: the newest modification time of its database files (seconds since
    // 1970), the same for an archive as for a folder of copies.
    int64_t modified = 0;
    bool found = true;      // false when nothing is at path
    bool damaged = false;   // some part of it fails its checks (not merely unreadable)
    bool cancelled = false; // the check was cancelled part-way: files and problems are partial
    bool encrypted = false; // some entry is encrypted
    // Encrypted entries were not read: no password was given, or the one given is wrong.
    enum class PasswordTrouble { None, Missing, Wrong } passwordTrouble = PasswordTrouble::None;
    std::string password; // what it was checked with, for the restore that unpacks it

    bool intact() const;
};

// True when an archive entry's name stays inside the folder it is unpacked into: no "..",
// no absolute path, no drive letter, no device name (nul.dat is the device NUL to Windows:
// whatever is written there is gone).
// A backslash that is the trail byte of a double-byte character separates nothing.
bool entryNameStaysInside(const std::string& entryName, LeadByteTest isLeadByte);

// True for "*.dat" and "*.idx" names.
bool isDatabaseFileName(const std::string& name);

// The backup a path given for checking or restoring stands for: a *.dat or *.idx file stands
// for the folder of copies it lies in (as the open dialogs offer them); anything else is
// itself.
std::string backupOfPicked(FileSystem& fs, const CodePage& codePage, const std::string& path);

// The backup a path given for checking stands for: as backupOfPicked, and a folder that holds
// no database files but a ZIP Backup stands for that archive (chathoard.zip, else the newest
// generation archive).
std::string backupToCheck(FileSystem& fs, const CodePage& codePage, const std::string& path);

// A path names an archive when it is a file; a folder is a folder of copies. Never throws
// for a damaged backup: what went wrong is in the result. Reports the Checking stage by the
// bytes read through over all of them, and stops (cancelled set) within a read piece of a
// Cancel. Encrypted entries are read with password (UTF-8; empty for none).
CheckedBackup checkBackup(FileSystem& fs, const CodePage& codePage, const std::string& path,
                          const WorkControl& control = {}, const std::string& password = {});

// A database file of a checked backup beside the database's own copy.
struct FileComparison {
    enum class State {
        NotCompared,        // no messenger folder given, or the backup's file is not intact
        OnlyInBackup,       // the database has no such file
        DatabaseUnreadable, // databaseError
        Same,
        ChangedSince, // an archive's file differs: the database has been written since
        Differs,      // a plain copy differs and is older than the database's file
        Suspect,      // a plain copy differs though it is newer: changed later, or damaged
    } state = State::NotCompared;
    uint64_t databaseSize = 0;
    std::optional<RuntimeError> databaseError;
};

// A check of a backup and, with a messenger folder, its comparison with the database.
struct Verification {
    CheckedBackup checked;
    bool cancelled = false;
    bool compared = false;      // a messenger folder was given
    std::string databaseFolder; // its db subfolder
    std::optional<RuntimeError> databaseFolderError;
    std::vector<FileComparison> comparisons; // one for each of checked.files
    std::vector<std::string> missing;        // database files the backup lacks, by name
    size_t suspect = 0;

    bool intact() const { return checked.intact() && suspect == 0; }
};
Verification verifyBackupFacts(FileSystem& fs, const CodePage& codePage, const std::string& backup,
                               const std::optional<std::string>& messengerFolder,
                               const WorkControl& control = {}, const std::string& password = {});

} // namespace ch
