#pragma once
// An in-memory FileSystem that behaves like the Win32 one: drive letters, case-insensitive
// names, repeated backslashes read as one, "*.dat;*.idx" pattern lists, the runtime's error
// numbers. Tests can make a drive not ready, remove it, lock a file, set a disk quota, fail a
// chosen operation once or always, read the log of calls and print the whole state.
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "tests/support/test_code_page.h"

namespace ch::test {

// The calls as the log names them. A whole-file read, the three ways of writing a file and the
// three open checks each have their own name, as the conveniences built on them do.
enum class FsOp {
    CopyToTemporary,
    CopyToNew,
    MoveOver,
    DeleteFile,
    MakeFolder,
    RemoveFolder,
    Status,
    ListEntries,
    Drives,
    CurrentFolder,
    ReadAll,
    ReadPart,
    WriteAll,
    WriteNewFile,
    AppendText,
    FileInUse,
    CheckNotInUse,
    CheckReadable,
    Rename,
    FreeBytes,
    SetModifiedTime,
};
const char* fsOpName(FsOp op);

// One call as the caller made it: paths exactly as passed, and the error number it ended
// with (0 when it succeeded).
struct FsCall {
    FsOp op;
    std::string path;
    std::string path2; // copy, move or rename destination
    int error = 0;
    std::string text() const;            // "move-over C:\t.tmp -> C:\a", "remove-folder C:\x !75"
    CopyFlush flush = CopyFlush::ToDisk; // what a copy asked for
};

class MemoryFileSystem : public FileSystem {
  public:
    // Starts with drive c: (no label), its root as current folder, and a code page of its own.
    MemoryFileSystem();
    ~MemoryFileSystem() override;
    // The code page its paths are read in, for whatever else a test hands a code page.
    TestCodePage& codePage() { return *codePage_; }

    // --- Setting the scene -----------------------------------------------------------------
    void addDrive(char letter, const std::string& label = {});
    // A network share ("\\\\nas\\backups"), reached by that name as Windows reaches one; a
    // share that was never added cannot be reached (76).
    void addShare(const std::string& root);
    void removeDrive(char letter);
    void setReady(char letter, bool ready);
    void setLabel(char letter, const std::string& label);
    // Must name an existing folder of that drive. It becomes that drive's current folder and
    // the working folder, as SetCurrentDirectory makes it.
    void setCurrentFolder(const std::string& folder);
    // Creates the folder and any missing parents (the drive must exist), timed by clock as
    // makeFolder times the folders it makes.
    void addFolder(const std::string& path);
    // Creates or replaces a file, creating its parent folders.
    void addFile(const std::string& path, const std::string& content = {},
                 std::optional<int64_t> mtime = std::nullopt);
    // Another program holds the file open: every open of it fails with 70 (sharing violation).
    void setLocked(const std::string& path, bool locked = true);
    void setReadOnly(const std::string& path, bool readOnly = true);
    // Hidden or system files are not ordinary files: lists and searches skip them.
    void setHidden(const std::string& path, bool hidden = true);
    // Marks a file or folder as a junction or symbolic link; its content stands for the target's.
    void setReparsePoint(const std::string& path);
    // A junction at path (a new folder) to the folder target: identityOf goes through it.
    void addJunction(const std::string& path, const std::string& target);
    // The 8.3 alias of an existing file or folder, as the volume gives it ("PROGRA~1").
    void setShortName(const std::string& path, const std::string& shortName);
    // Names are read in code page 932 (Japanese) from now on: a backslash byte that ends a
    // two-byte character does not separate folders.
    void useCodePage932() { codePage_->useCodePage932(); }
    // Free bytes left on the drive from now on; writes beyond them fail with 61.
    void setFreeSpace(char letter, uint64_t bytes);
    // The time new and rewritten files get (seconds since 1970).
    int64_t clock = 1'000'000'000;
    // The pieces a copy tells its progress hook of, as the Win32 copy's buffer does.
    size_t copyPiece = size_t{1} << 20;
    // copiesAhead makes each copy as soon as it is asked for, as a thread of its own may: a
    // run finds every copy it asked for made, whether it takes it or not.
    bool copiesMadeAhead = false;
    // With copiesMadeAhead, the copies taken as soon as they were begun (takeBegun), by their
    // destination; they are made whole all the same.
    std::vector<std::string> takenBegun;

    // Fail the next call (or every call) of op whose path or destination matches pathPattern
    // (wildcards allowed, case-insensitive; empty matches any path). The call fails before it
    // changes anything. folderExists/fileExists/fileInUse answer false instead of throwing.
    void failOnce(FsOp op, const std::string& pathPattern, int errorNumber,
                  unsigned long systemError = 0);
    void failAlways(FsOp op, const std::string& pathPattern, int errorNumber,
                    unsigned long systemError = 0);
    void clearFailures();
    // Fail the call that will be logged at log[callIndex], whatever it is: with a scene that
    // runs the same way each time, a test can fail each call of a run in turn. May be given
    // for several calls.
    void failAtCall(size_t callIndex, int errorNumber, unsigned long systemError = 0);

    // --- Looking at the result -------------------------------------------------------------
    bool hasFile(const std::string& path) const;
    bool hasFolder(const std::string& path) const;
    // Content of an existing file; throws std::logic_error when there is none.
    std::string content(const std::string& path) const;
    // Every entry of a folder (files and folders, hidden ones too), sorted case-insensitively.
    std::vector<std::string> entries(const std::string& folder) const;
    uint64_t freeSpace(char letter) const;
    std::vector<FsCall> log;
    // The logged calls of the given kinds, as text, in order.
    std::vector<std::string> logOf(std::initializer_list<FsOp> ops) const;
    // Calls that change the disk (copy, move, delete, make/remove folder, write), as text.
    std::vector<std::string> changes() const;
    // Drives, then every folder and file with its flags, time and whole content: two equal
    // trees are the same disks, byte for byte.
    std::string tree() const;
    // Drives, tree, files with sizes and times, pending failures and the log, for a failing
    // assertion: EXPECT_...(...) << fs.dump();
    std::string dump() const;

    // --- FileSystem ------------------------------------------------------------------------
    std::string copyToTemporary(const std::string& source, const std::string& destination,
                                CopyFlush flush = CopyFlush::ToDisk,
                                const CopyProgress& progress = {}) override;
    std::unique_ptr<OpenCopy> copyToNew(const std::string& source, const std::string& destination,
                                        const CopyProgress& progress = {}) override;
    std::unique_ptr<CopiesAhead> copiesAhead() override;
    void moveOver(const std::string& temporary, const std::string& destination) override;
    void deleteFile(const std::string& path) override;
    void makeFolder(const std::string& path) override;
    void removeFolder(const std::string& path) override;
    void rename(const std::string& from, const std::string& to) override;
    FileStatus status(const std::string& path) override;
    void setModifiedTime(const std::string& path, int64_t modified) override;
    std::vector<FolderEntry> listEntries(const std::string& folder) override;
    std::vector<DriveInfo> drives() override;
    std::string currentFolder(char driveLetter) override;
    std::string fullPath(const std::string& path) override;
    void checkOpen(const std::string& path, OpenCheck how) override;
    std::string readPart(const std::string& path, uint64_t offset, size_t size) override;
    void writeFile(const std::string& path, const std::string& bytes, WriteMode mode) override;
    uint64_t freeBytes(const std::string& folder) override;
    std::string resolvedPath(const std::string& path) override;
    std::optional<FileIdentity> identityOf(const std::string& path) override;

    struct Node;
    struct Drive;

  private:
    explicit MemoryFileSystem(std::unique_ptr<TestCodePage> codePage);
    LeadByteTest leadByte() const { return codePage_->leadByteTest(); }

    struct Failure {
        FsOp op;
        std::string pattern;
        int number;
        unsigned long systemError;
        bool once;
    };
    struct Resolved;
    struct RuntimeErrorNumbers {
        int number;
        unsigned long systemError;
    };

    // Logs the call, applies a matching injected failure, runs body and records its error.
    template <class F> auto run(FsOp op, const std::string& path, const std::string& path2, F body);
    void injectFailure(FsOp op, const std::string& path, const std::string& path2);

    // forScene: setting up a test, where a missing drive is the test's own mistake and a
    // drive that is not ready can still be filled.
    Drive& drive(char letter, bool forScene = false);
    const Drive* findDrive(char letter) const;
    Resolved resolve(const std::string& path, bool wildcardsInLast = false, bool forScene = false);
    Node* lookup(const std::string& path) const;
    Node& folderAt(const std::string& path);
    Node& parentFolderOf(const Resolved& r, bool create = false);
    Node& openableFile(const Resolved& r);
    Node& fileToWrite(const Resolved& r);
    static void checkReplaceable(const Node* n);
    unsigned tempCounter_ = 0;
    void writeData(Drive& d, Node& file, const std::string& bytes);
    std::string pathOf(char letter, const std::vector<std::string>& parts) const;

    std::map<char, std::unique_ptr<Drive>> drives_;
    std::map<std::string, std::unique_ptr<Drive>> shares_; // by "server\share" in lower case
    char workingDrive_ = 'c';
    std::unique_ptr<TestCodePage> codePage_;
    std::vector<Failure> failures_;
    std::map<size_t, RuntimeErrorNumbers> callFailures_;
};

} // namespace ch::test
