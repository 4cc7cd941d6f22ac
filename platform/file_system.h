#pragma once
// The file operations the program uses. Paths are Windows ANSI text with backslashes and are
// passed exactly as the caller built them; implementations treat repeated backslashes, case
// and wildcards as Win32 does. Every failure throws RuntimeError with the runtime's number:
// 53 file missing, 76 folder missing, 75 exists / not empty / access conflict, 70 permission
// denied or sharing violation, 61 disk full, 68 drive not ready.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/ansi_path.h"
#include "platform/code_page.h"
#include "platform/work_progress.h"

namespace ch {

struct DriveInfo {
    char letter = 'c'; // lower case
    std::string label; // volume label, empty when there is none
};

// One entry of a folder, whatever its attributes.
struct FolderEntry {
    std::string name;
    bool folder = false;
    bool reparsePoint = false; // a junction or symbolic link: what it leads to lies elsewhere
    bool hidden = false;
    bool system = false;
    uint64_t size = 0; // bytes; 0 for a folder
};

// What status tells about a file or folder.
struct FileStatus {
    bool folder = false;
    uint64_t size = 0;    // bytes; 0 for a folder
    int64_t modified = 0; // seconds since 1970 (UTC)
};

// Whether copyFile must have a copy on the disk before it renames it into place. A staging
// copy, deleted again as soon as the archive is made, need not be: after a crash the next run
// clears it either way, and the flush is most of the time such a copy takes.
enum class CopyFlush { ToDisk, NotNeeded };

// Hears how a copy is getting on: called after each piece of it (at most a mebibyte) with the
// bytes copied so far. Returning false stops the copy, which then throws WorkCancelled and
// leaves no temporary file. An empty one costs the copy nothing.
using CopyProgress = std::function<bool(uint64_t copiedBytes)>;

// How checkOpen opens a file for reading.
enum class OpenCheck {
    AsCopySource, // as a copy opens its source: others may read it meanwhile, not write it
    Alone,        // without sharing: fails while any other program has it open
    AsArchiver,   // with the sharing the archiving library asks for, reading a byte of it
};

// How writeFile writes a whole file.
enum class WriteMode {
    Replace, // creates or truncates; no flush
    New,     // 75 when the name exists; flushed to the disk; on failure no file is left
    Append,  // adds at the end, creating the file when missing, and flushes: what the file
             // held before is never rewritten, so a failure cannot cost it
};

// What a file or folder is, whichever path leads to it (a junction, a short name, another
// case): its volume's serial number and its file ID.
struct FileIdentity {
    uint32_t volume = 0;
    uint64_t file = 0;
    bool operator==(const FileIdentity&) const = default;
};

// A copy copyToNew wrote, still held open by it. remove() deletes the copy through that
// handle, which costs no second open of its name: under Wine an open is a round trip to the
// server, and for a small file a large part of its whole copy. Destroying it closes the copy,
// which stays. While it is held others may read the copy, not write it.
class OpenCopy {
  public:
    virtual ~OpenCopy() = default;
    // Deletes the copy and closes it; fails as deleteFile does.
    virtual void remove() = 0;
    // The system's handle of the copy, open for reading too, for the archiving library to read
    // it through while it is held; 0 when there is none.
    virtual intptr_t readHandle() const { return 0; }
    // For a copy taken while it was still being made (CopiesAhead::takeBegun), whose reader has
    // read all that is written: waits until more of it is written than at the last call, or it
    // is whole, and says whether there is more to read. False once the reader has been told to
    // read on after the copy became whole, and always for a copy taken whole. Throws the
    // copy's failure.
    virtual bool readOn() { return false; }
};

// Copies made as copyToNew makes them, taken one by one in the order they were asked for. An
// implementation may make them ahead, on a thread of its own, while its caller works on the
// copies taken before: a caller that asks early overlaps its copies with its own work.
class CopiesAhead {
  public:
    virtual ~CopiesAhead() = default;
    // Asks for a copy of source to destination.
    virtual void add(const std::string& source, const std::string& destination) = 0;
    // The oldest copy asked for and not yet taken, once it is made: what copyToNew returned,
    // or its failure thrown. A copy made now, when it is taken, tells progress its pieces (and
    // may be stopped by it); one made ahead tells nothing.
    virtual std::unique_ptr<OpenCopy> take(const CopyProgress& progress = {}) = 0;
    // As take, as soon as the copy is begun: one still being made gives, through its
    // readHandle, what is written so far, and its readOn waits for more. The default takes it
    // made.
    virtual std::unique_ptr<OpenCopy> takeBegun() { return take(); }
    // Makes no more copies: a copy under way is abandoned, leaving no file. Returns every copy
    // not taken, in the order asked for, empty for one that was not made; the caller owns
    // those that were. Nothing may be added or taken afterwards.
    virtual std::vector<std::unique_ptr<OpenCopy>> stop() noexcept = 0;
};

// The primitives are virtual; the conveniences below them are built on the primitives once,
// for every implementation.
class FileSystem {
  public:
    virtual ~FileSystem() = default;

    // --- Primitives ------------------------------------------------------------------------
    // Copies source to a new temporary file beside destination, flushed to disk unless flush
    // says it need not be, and returns its path. Fails when the source cannot be read, when
    // it is the destination under another name, and when an existing destination could not be
    // replaced (read-only, in use, a folder); on failure no temporary file is left. progress
    // hears each piece and may stop the copy.
    virtual std::string copyToTemporary(const std::string& source, const std::string& destination,
                                        CopyFlush flush = CopyFlush::ToDisk,
                                        const CopyProgress& progress = {}) = 0;
    // Copies source to destination, writing it in place, unflushed: for a staging copy, which a
    // list file names before it is begun, so that the next run clears one a crash cut short.
    // Returns the copy, still open, or nothing, writing nothing, when destination exists. On
    // failure no file of that name is left. progress as copyToTemporary.
    virtual std::unique_ptr<OpenCopy> copyToNew(const std::string& source,
                                                const std::string& destination,
                                                const CopyProgress& progress = {}) = 0;
    // Renames a temporary file over destination in the same folder, replacing it. On failure
    // both are as they were.
    virtual void moveOver(const std::string& temporary, const std::string& destination) = 0;
    // Deletes one file (no wildcards). 53 when missing.
    virtual void deleteFile(const std::string& path) = 0;
    // 75 when it exists, 76 when the parent is missing.
    virtual void makeFolder(const std::string& path) = 0;
    // 75 unless the folder is empty, 76 when missing.
    virtual void removeFolder(const std::string& path) = 0;
    // Renames a file or folder within its drive: 75 when the new name exists, 53/76 when the
    // old one is missing, 70 when it (or a file in the folder) is in use.
    virtual void rename(const std::string& from, const std::string& to) = 0;
    // Kind, size and modification time of a file or folder; 53 when missing.
    virtual FileStatus status(const std::string& path) = 0;
    // Sets a file's modification time (seconds since 1970, UTC), as a restored file takes
    // the time its backup records. 53 when missing, 70 when in use or denied.
    virtual void setModifiedTime(const std::string& path, int64_t modified) = 0;
    // Every entry of a folder, hidden and system ones too, sorted case-insensitively (without
    // "." and ".."). 76 when missing.
    virtual std::vector<FolderEntry> listEntries(const std::string& folder) = 0;
    // Drives present, in letter order.
    virtual std::vector<DriveInfo> drives() = 0;
    // The current folder of a drive ("c:\" style root or full path). 68 when not ready.
    virtual std::string currentFolder(char driveLetter) = 0;
    // The full path Windows makes of path (GetFullPathName), as a program started in the
    // working folder reads it: "ICQ", ".\ICQ" and "..\x" from the working folder, "\x" from the
    // root of its drive, "D:x" from drive D's own current folder; "." and ".." resolved. Nothing
    // is looked up, so the path need not exist; a trailing backslash is kept.
    virtual std::string fullPath(const std::string& path) = 0;
    // Opens a file as how says and closes it again: 53 missing, 70 in use or denied, 57
    // device error.
    virtual void checkOpen(const std::string& path, OpenCheck how) = 0;
    // Up to size bytes of a file from offset; fewer only at the end of the file. 53 when
    // missing.
    virtual std::string readPart(const std::string& path, uint64_t offset, size_t size) = 0;
    // Writes a whole file as mode says.
    virtual void writeFile(const std::string& path, const std::string& bytes, WriteMode mode) = 0;
    // Bytes free for this user on the drive of an existing folder; 76 when it is missing.
    virtual uint64_t freeBytes(const std::string& folder) = 0;
    // path as the system resolves it: full (as fullPath), without a "\\?\" prefix, the part
    // that exists in its long names (no 8.3 aliases); the rest as given. Junctions are not
    // followed: identityOf tells where they lead.
    virtual std::string resolvedPath(const std::string& path) = 0;
    // The identity of an existing file or folder, through junctions; nothing when there is
    // none (or it cannot be opened).
    virtual std::optional<FileIdentity> identityOf(const std::string& path) = 0;

    // Copies to be made ahead of their use. The default makes each one when it is taken.
    virtual std::unique_ptr<CopiesAhead> copiesAhead();
    // The first of files (by place in the list) that another program holds open as fileInUse
    // tells, or nothing. The default asks file by file; an implementation may ask about
    // several at once, and still answers with the first in list order.
    virtual std::optional<size_t> firstInUse(const std::vector<std::string>& files);

    // --- Conveniences ----------------------------------------------------------------------
    // Copies a file. An existing destination is replaced only by a complete copy: the data
    // goes to a temporary name in the destination folder, is flushed (unless flush says it
    // need not be), then renamed over it.
    // On failure the temporary file is gone and an existing destination is unchanged.
    void copyFile(const std::string& source, const std::string& destination,
                  CopyFlush flush = CopyFlush::ToDisk, const CopyProgress& progress = {});
    // Deletes every ordinary file matching one wildcard pattern ("C:\x\*.*"); 53 when nothing
    // matches, 76 when the folder is missing.
    void deleteByPattern(const std::string& pattern);
    // First ordinary file (not hidden, system or a folder) matching a pattern, or "" (also when
    // the folder is missing).
    std::string findFirstFile(const std::string& pattern);
    bool folderExists(const std::string& path);
    // Makes a folder and every missing folder above it (a full path, without a trailing
    // backslash); nothing when it exists. Fails as makeFolder does, leaving the folders made
    // so far.
    void makeFolderAndParents(const std::string& path);
    bool fileExists(const std::string& path);
    // Size of a file in bytes; 53 when missing, 75 for a folder.
    uint64_t fileSize(const std::string& path);
    // Modification time of a file or folder as seconds since 1970 (UTC); 53 when missing.
    int64_t modifiedTime(const std::string& path);
    // True when another program holds the file open so that a copy of it would fail as "in
    // use" (a running messenger writing its database). Any other failure to open it is false:
    // the copy reports it in its own words.
    bool fileInUse(const std::string& path);
    // 70 with a sharing violation while another program has the file open.
    void checkNotInUse(const std::string& path);
    // Opens a file for reading as the archiving library does and reads a byte of it, to find
    // out which file the library could not read.
    void checkReadable(const std::string& path);
    // Names of the subfolders of a folder (all but the system's own hidden and system ones),
    // sorted case-insensitively. 76 when missing.
    std::vector<std::string> listFolders(const std::string& folder);
    // Names of the ordinary files of a folder matching any pattern of a ";"-separated list,
    // sorted case-insensitively. 76 when the folder is missing.
    std::vector<std::string> listFiles(const std::string& folder, const std::string& patterns);
    // The whole file; 53 when missing.
    std::string readAll(const std::string& path);
    // writeFile in each of its modes: Replace, New and Append.
    void writeAll(const std::string& path, const std::string& bytes);
    void writeNewFile(const std::string& path, const std::string& bytes);
    void appendText(const std::string& path, const std::string& bytes);

  protected:
    // codePage: the one the paths are text in, which splits them; it outlives the file system.
    explicit FileSystem(const CodePage& codePage) : codePage_(codePage) {}

  private:
    const CodePage& codePage_;
};

// A readPart size that reads to the end of the file, as readAll does.
constexpr size_t kWholeFile = static_cast<size_t>(-1);

// Helpers shared by both implementations.
// True when name matches one wildcard pattern (* and ?, case-insensitive, Win32 rules:
// "*.*" matches every name, "*.dat" does not match "x.data").
bool wildcardMatch(const std::string& pattern, const std::string& name);
// True when name matches any pattern of a ";"-separated list such as "*.dat;*.idx".
bool patternListMatch(const std::string& patterns, const std::string& name);
// The temporary file copyFile and copyToTemporary write beside a destination:
// "~chathoard-<process id>-<n>.tmp". One left behind is a copy a crash interrupted.
constexpr const char* kCopyTempPrefix = "~chathoard-";
constexpr const char* kCopyTempPattern = "~chathoard-*.tmp"; // lists them, with others
std::string copyTemporaryName(unsigned long processId, unsigned n);
// True for exactly the names copyTemporaryName makes, in any case.
bool isCopyTemporaryName(const std::string& name);

} // namespace ch
