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
#include "platform/work_progress.h"

namespace ch {

// One database file of a backup.
struct BackupFile {
    std::string name;      // the file's own name, without any folder
    std::string entryName; // an archive's entry name as stored; empty in a folder of copies
    uint64_t size = 0;
    uint32_t crc = 0;    // of the data as read
    std::string problem; // why it cannot be read; empty when it was read intact
    // What problem says, as /verify's verdict for the file puts it.
    enum class Fault { None, Damaged, Unreadable, NotRestorable } fault = Fault::None;
    int64_t modified = 0; // as the backup records it (seconds since 1970); 0 when unknown
};

struct CheckedBackup {
    std::string path; // the archive, or the folder of copies
    bool archive = false;
    std::vector<BackupFile> files; // the *.dat and *.idx files, in the backup's order
    // Faults that are not one database file's: an archive that cannot be read at all, an
    // entry whose name leads out of the folder it would be restored into, other entries
    // that are damaged, database files in more than one folder of the archive.
    std::vector<std::string> problems;
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
VerifyReport verifyBackup(FileSystem& fs, const CodePage& codePage, const std::string& backup,
                          const std::optional<std::string>& messengerFolder,
                          const WorkControl& control = {}, const std::string& password = {});

// The verdict on a backup whose encrypted entries could not be read, as one sentence.
std::string passwordTroubleText(const CheckedBackup& backup);

// "2026-12-07 03:00" in local time.
std::string localDateText(int64_t unixTime);

} // namespace ch
