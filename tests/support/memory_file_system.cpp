#include "tests/support/memory_file_system.h"

#include <algorithm>
#include <cctype>
#include <deque>
#include <exception>
#include <sstream>
#include <stdexcept>

#include "platform/runtime_error.h"

namespace ch::test {

namespace {

constexpr unsigned long kAccessDenied = 5; // ERROR_ACCESS_DENIED

std::string lower(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// Backslashes as Win32 reads them: "/" is a separator too and a run of them counts as one. The
// second byte of a two-byte character is part of it, whatever its value.
std::string collapseSeparators(const std::string& path, LeadByteTest isLeadByte) {
    std::string out;
    bool separatorLast = false;
    for (size_t i = 0; i < path.size(); ++i) {
        char c = path[i];
        if (isLeadByte(static_cast<unsigned char>(c)) && i + 1 < path.size()) {
            out += c;
            out += path[++i];
            separatorLast = false;
            continue;
        }
        if (c == '/')
            c = '\\';
        if (c == '\\' && separatorLast)
            continue;
        separatorLast = c == '\\';
        out += c;
    }
    return out;
}

[[noreturn]] void fail(int number, unsigned long systemError = 0) {
    throw RuntimeError(number, {}, systemError);
}

std::string printable(const std::string& bytes) {
    std::string out;
    for (unsigned char c : bytes) {
        if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else if (c < 32 || c > 126) {
            static const char* hex = "0123456789abcdef";
            out += "\\x";
            out += hex[c >> 4];
            out += hex[c & 15];
        } else
            out += static_cast<char>(c);
    }
    return out;
}

} // namespace

struct MemoryFileSystem::Node {
    std::string name;
    bool folder = false;
    std::string data;
    int64_t mtime = 0;
    bool locked = false, readOnly = false, hidden = false, reparsePoint = false;
    std::string shortName;      // its 8.3 alias; empty when it has none
    std::string junctionTarget; // a junction's target folder, a full path
    std::map<std::string, std::unique_ptr<Node>> children; // by lower-case name

    Node* child(const std::string& childName) const {
        auto it = children.find(lower(childName));
        return it == children.end() ? nullptr : it->second.get();
    }
    // By its name or its 8.3 alias.
    Node* childOrAlias(const std::string& childName) const {
        if (Node* n = child(childName))
            return n;
        for (const auto& [key, c] : children)
            if (!c->shortName.empty() && lower(c->shortName) == lower(childName))
                return c.get();
        return nullptr;
    }
    Node& add(const std::string& childName, bool isFolder) {
        auto& slot = children[lower(childName)];
        slot = std::make_unique<Node>();
        slot->name = childName;
        slot->folder = isFolder;
        return *slot;
    }
    uint64_t bytes() const {
        uint64_t n = data.size();
        for (const auto& [key, c] : children)
            n += c->bytes();
        return n;
    }
};

namespace {
MemoryFileSystem::Node folderNode() {
    MemoryFileSystem::Node n;
    n.folder = true;
    return n;
}
} // namespace

struct MemoryFileSystem::Drive {
    char letter = 'c';
    std::string share; // "\\server\share" as added, for a network share
    std::string label;
    bool ready = true;
    Node root = folderNode();
    std::vector<std::string> current; // current folder below the root
    std::optional<uint64_t> capacity; // total bytes; none: unlimited

    uint64_t freeBytes() const {
        if (!capacity)
            return UINT64_MAX;
        const uint64_t used = root.bytes();
        return *capacity > used ? *capacity - used : 0;
    }
};

// A path taken apart: its drive and the names below the drive's root.
struct MemoryFileSystem::Resolved {
    Drive* drive = nullptr;
    std::vector<std::string> parts;
    const std::string& last() const { return parts.back(); }
};

MemoryFileSystem::MemoryFileSystem() : MemoryFileSystem(std::make_unique<TestCodePage>()) {}

// The base keeps a reference to the code page, which the pointer then owns.
MemoryFileSystem::MemoryFileSystem(std::unique_ptr<TestCodePage> codePage)
    : FileSystem(*codePage), codePage_(std::move(codePage)) {
    addDrive('c');
}
MemoryFileSystem::~MemoryFileSystem() = default;

const char* fsOpName(FsOp op) {
    switch (op) {
    case FsOp::CopyToTemporary:
        return "copy-to-temporary";
    case FsOp::CopyToNew:
        return "copy-to-new";
    case FsOp::MoveOver:
        return "move-over";
    case FsOp::DeleteFile:
        return "delete";
    case FsOp::MakeFolder:
        return "make-folder";
    case FsOp::RemoveFolder:
        return "remove-folder";
    case FsOp::Status:
        return "status";
    case FsOp::ListEntries:
        return "list-entries";
    case FsOp::Drives:
        return "drives";
    case FsOp::CurrentFolder:
        return "current-folder";
    case FsOp::ReadAll:
        return "read";
    case FsOp::ReadPart:
        return "read-part";
    case FsOp::WriteAll:
        return "write";
    case FsOp::WriteNewFile:
        return "write-new";
    case FsOp::AppendText:
        return "append";
    case FsOp::FileInUse:
        return "in-use";
    case FsOp::CheckNotInUse:
        return "check-not-in-use";
    case FsOp::CheckReadable:
        return "check-readable";
    case FsOp::Rename:
        return "rename";
    case FsOp::FreeBytes:
        return "free-bytes";
    case FsOp::SetModifiedTime:
        return "set-time";
    }
    return "?";
}

std::string FsCall::text() const {
    std::string t = std::string(fsOpName(op)) + " " + path;
    if (op == FsOp::CopyToTemporary || op == FsOp::CopyToNew || op == FsOp::MoveOver ||
        op == FsOp::Rename)
        t += " -> " + path2;
    if (error)
        t += " !" + std::to_string(error);
    return t;
}

// --- Scene ---------------------------------------------------------------------------------

void MemoryFileSystem::addDrive(char letter, const std::string& label) {
    auto d = std::make_unique<Drive>();
    d->letter = static_cast<char>(std::tolower(static_cast<unsigned char>(letter)));
    d->label = label;
    drives_[d->letter] = std::move(d);
}

void MemoryFileSystem::addShare(const std::string& root) {
    auto d = std::make_unique<Drive>();
    d->letter = 0;
    d->share = root;
    shares_[lower(root.substr(2))] = std::move(d);
}

void MemoryFileSystem::removeDrive(char letter) {
    drives_.erase(lower(std::string(1, letter))[0]);
}

void MemoryFileSystem::setReady(char letter, bool ready) {
    drive(letter, true).ready = ready;
}

void MemoryFileSystem::setLabel(char letter, const std::string& label) {
    drive(letter, true).label = label;
}

MemoryFileSystem::Drive& MemoryFileSystem::drive(char letter, bool forScene) {
    auto it = drives_.find(static_cast<char>(std::tolower(static_cast<unsigned char>(letter))));
    if (it == drives_.end()) {
        if (forScene)
            throw std::logic_error(std::string("no drive ") + letter + ":");
        fail(errDeviceUnavailable);
    }
    if (!forScene && !it->second->ready)
        fail(errDeviceUnavailable, 21); // ERROR_NOT_READY
    return *it->second;
}

const MemoryFileSystem::Drive* MemoryFileSystem::findDrive(char letter) const {
    auto it = drives_.find(static_cast<char>(std::tolower(static_cast<unsigned char>(letter))));
    return it == drives_.end() ? nullptr : it->second.get();
}

MemoryFileSystem::Resolved MemoryFileSystem::resolve(const std::string& path, bool wildcardsInLast,
                                                     bool forScene) {
    Resolved r;
    std::string p;
    size_t pos = 0;
    if (isNetworkPath(path)) {
        // The share is found by its root; what follows is read below it as on a drive.
        const size_t root = pathRootLength(path, leadByte());
        std::string share = withoutLongPrefix(path.substr(0, root));
        if (share.back() == '\\')
            share.pop_back();
        auto it = shares_.find(lower(share.substr(2)));
        if (it == shares_.end()) {
            if (forScene)
                throw std::logic_error("no share " + share);
            fail(errPathNotFound, 53); // ERROR_BAD_NETPATH
        }
        r.drive = it->second.get();
        p = collapseSeparators(path.substr(root), leadByte());
    } else {
        const bool longForm = path.rfind("\\\\?\\", 0) == 0;
        p = collapseSeparators(longForm ? path.substr(4) : path, leadByte());
        if (p.size() < 2 || p[1] != ':' || !std::isalpha(static_cast<unsigned char>(p[0])))
            fail(p.find(':') != std::string::npos ? errBadFileNameOrNumber : errPathNotFound);
        const auto known = findDrive(p[0]);
        if (!known && !forScene)
            fail(errPathNotFound, 3); // a letter with no drive behind it
        r.drive = &drive(p[0], forScene);
        pos = 2;
        if (pos >= p.size() || p[pos] != '\\')
            r.parts = r.drive->current; // "c:x" is relative
    }
    while (pos <= p.size()) {
        size_t end = nextSeparator(p, pos, '\\', leadByte());
        if (end == std::string::npos)
            end = p.size();
        std::string part = p.substr(pos, end - pos);
        pos = end + 1;
        if (part.empty() || part == ".")
            continue;
        if (part == "..") {
            if (!r.parts.empty())
                r.parts.pop_back();
            continue;
        }
        const bool isLast = pos > p.size();
        const std::string bad = (wildcardsInLast && isLast) ? "<>:\"|" : "<>:\"|*?";
        if (part.find_first_of(bad) != std::string::npos)
            fail(errBadFileNameOrNumber, 123);
        r.parts.push_back(part);
    }
    return r;
}

namespace {

MemoryFileSystem::Node* walk(MemoryFileSystem::Node& root, const std::vector<std::string>& parts,
                             size_t count) {
    MemoryFileSystem::Node* n = &root;
    for (size_t i = 0; i < count; ++i) {
        if (!n->folder)
            return nullptr;
        n = n->child(parts[i]);
        if (!n)
            return nullptr;
    }
    return n;
}

} // namespace

MemoryFileSystem::Node& MemoryFileSystem::parentFolderOf(const Resolved& r, bool create) {
    Node* n = &r.drive->root;
    for (size_t i = 0; i + 1 < r.parts.size(); ++i) {
        Node* next = n->child(r.parts[i]);
        if (!next && create)
            next = &n->add(r.parts[i], true);
        if (!next || !next->folder)
            fail(errPathNotFound, 3);
        n = next;
    }
    return *n;
}

MemoryFileSystem::Node* MemoryFileSystem::lookup(const std::string& path) const {
    auto* self = const_cast<MemoryFileSystem*>(this);
    try {
        Resolved r = self->resolve(path, false, true);
        return walk(r.drive->root, r.parts, r.parts.size());
    } catch (const RuntimeError&) {
        return nullptr;
    }
}

void MemoryFileSystem::addFolder(const std::string& path) {
    Resolved r = resolve(path, false, true);
    Node* n = &r.drive->root;
    for (const auto& part : r.parts) {
        Node* next = n->child(part);
        if (!next) {
            next = &n->add(part, true);
            next->mtime = clock;
        }
        if (!next->folder)
            throw std::logic_error("a file is in the way: " + path);
        n = next;
    }
}

void MemoryFileSystem::addFile(const std::string& path, const std::string& content,
                               std::optional<int64_t> mtime) {
    Resolved r = resolve(path, false, true);
    if (r.parts.empty())
        throw std::logic_error("not a file path: " + path);
    Node& parent = parentFolderOf(r, true);
    if (Node* old = parent.child(r.last()); old && old->folder)
        throw std::logic_error("a folder is in the way: " + path);
    Node& f = parent.add(r.last(), false);
    f.data = content;
    f.mtime = mtime.value_or(clock);
}

namespace {

MemoryFileSystem::Node& existing(MemoryFileSystem::Node* n, const std::string& path) {
    if (!n)
        throw std::logic_error("no such file or folder: " + path);
    return *n;
}

} // namespace

void MemoryFileSystem::setCurrentFolder(const std::string& folder) {
    Resolved r = resolve(folder, false, true);
    Node* n = walk(r.drive->root, r.parts, r.parts.size());
    if (!n || !n->folder)
        throw std::logic_error("no such folder: " + folder);
    r.drive->current = r.parts;
    workingDrive_ = r.drive->letter;
}

void MemoryFileSystem::setLocked(const std::string& path, bool locked) {
    existing(lookup(path), path).locked = locked;
}
void MemoryFileSystem::setReadOnly(const std::string& path, bool readOnly) {
    existing(lookup(path), path).readOnly = readOnly;
}
void MemoryFileSystem::setHidden(const std::string& path, bool hidden) {
    existing(lookup(path), path).hidden = hidden;
}

void MemoryFileSystem::setReparsePoint(const std::string& path) {
    existing(lookup(path), path).reparsePoint = true;
}

void MemoryFileSystem::addJunction(const std::string& path, const std::string& target) {
    addFolder(path);
    Node& n = existing(lookup(path), path);
    n.reparsePoint = true;
    n.junctionTarget = target;
}

void MemoryFileSystem::setShortName(const std::string& path, const std::string& shortName) {
    existing(lookup(path), path).shortName = shortName;
}

void MemoryFileSystem::setFreeSpace(char letter, uint64_t bytes) {
    Drive& d = drive(letter, true);
    d.capacity = d.root.bytes() + bytes;
}

void MemoryFileSystem::failOnce(FsOp op, const std::string& pathPattern, int errorNumber,
                                unsigned long systemError) {
    failures_.push_back({op, pathPattern, errorNumber, systemError, true});
}
void MemoryFileSystem::failAlways(FsOp op, const std::string& pathPattern, int errorNumber,
                                  unsigned long systemError) {
    failures_.push_back({op, pathPattern, errorNumber, systemError, false});
}
void MemoryFileSystem::clearFailures() {
    failures_.clear();
    callFailures_.clear();
}
void MemoryFileSystem::failAtCall(size_t callIndex, int errorNumber, unsigned long systemError) {
    callFailures_[callIndex] = {errorNumber, systemError};
}

// --- Inspection ----------------------------------------------------------------------------

bool MemoryFileSystem::hasFile(const std::string& path) const {
    const Node* n = lookup(path);
    return n && !n->folder;
}
bool MemoryFileSystem::hasFolder(const std::string& path) const {
    const Node* n = lookup(path);
    return n && n->folder;
}
std::string MemoryFileSystem::content(const std::string& path) const {
    const Node* n = lookup(path);
    if (!n || n->folder)
        throw std::logic_error("no such file: " + path + "\n" + dump());
    return n->data;
}
std::vector<std::string> MemoryFileSystem::entries(const std::string& folder) const {
    const Node* n = lookup(folder);
    if (!n || !n->folder)
        throw std::logic_error("no such folder: " + folder + "\n" + dump());
    std::vector<std::string> names;
    for (const auto& [key, c] : n->children)
        names.push_back(c->name);
    std::sort(names.begin(), names.end(), lessNoCase);
    return names;
}
uint64_t MemoryFileSystem::freeSpace(char letter) const {
    const Drive* d = findDrive(letter);
    return d ? d->freeBytes() : 0;
}

std::vector<std::string> MemoryFileSystem::logOf(std::initializer_list<FsOp> ops) const {
    std::vector<std::string> out;
    for (const auto& c : log)
        if (std::find(ops.begin(), ops.end(), c.op) != ops.end())
            out.push_back(c.text());
    return out;
}

std::vector<std::string> MemoryFileSystem::changes() const {
    return logOf({FsOp::CopyToTemporary, FsOp::CopyToNew, FsOp::MoveOver, FsOp::DeleteFile,
                  FsOp::MakeFolder, FsOp::RemoveFolder, FsOp::WriteAll, FsOp::AppendText,
                  FsOp::WriteNewFile, FsOp::Rename, FsOp::SetModifiedTime});
}

std::string MemoryFileSystem::tree() const {
    std::ostringstream out;
    const auto print = [&](const auto& self, const Node& n, const std::string& path) -> void {
        for (const auto& [key, c] : n.children) {
            const std::string p = path + "\\" + c->name;
            out << p << (c->folder ? "\\" : "") << " mtime " << c->mtime
                << (c->locked ? " LOCKED" : "") << (c->readOnly ? " READ-ONLY" : "")
                << (c->hidden ? " HIDDEN" : "") << (c->reparsePoint ? " LINK" : "");
            if (!c->folder)
                out << " \"" << printable(c->data) << "\"";
            out << "\n";
            self(self, *c, p);
        }
    };
    for (const auto& [letter, d] : drives_) {
        out << "drive " << letter << ":" << (d->ready ? "" : " NOT READY") << "\n";
        print(print, d->root, std::string(1, letter) + ":");
    }
    for (const auto& [key, d] : shares_) {
        out << "share " << d->share << "\n";
        print(print, d->root, d->share);
    }
    return out.str();
}

std::string MemoryFileSystem::dump() const {
    std::ostringstream out;
    out << "--- memory file system ---\n";
    for (const auto& [letter, d] : drives_) {
        out << "drive " << letter << ":" << (d->label.empty() ? "" : " [" + d->label + "]")
            << (d->ready ? "" : " NOT READY") << " current=" << pathOf(letter, d->current);
        if (d->capacity)
            out << " free=" << d->freeBytes();
        out << "\n";
        auto print = [&](auto& self, const Node& n, int depth) -> void {
            std::vector<const Node*> kids;
            for (const auto& [key, c] : n.children)
                kids.push_back(c.get());
            std::sort(kids.begin(), kids.end(),
                      [](const Node* a, const Node* b) { return lessNoCase(a->name, b->name); });
            for (const Node* c : kids) {
                out << std::string(2 + 2 * depth, ' ') << c->name;
                if (c->folder) {
                    out << "\\\n";
                    self(self, *c, depth + 1);
                    continue;
                }
                out << "  " << c->data.size() << " bytes, mtime " << c->mtime;
                if (c->locked)
                    out << " LOCKED";
                if (c->readOnly)
                    out << " READ-ONLY";
                if (c->hidden)
                    out << " HIDDEN";
                if (c->data.size() <= 40)
                    out << "  \"" << printable(c->data) << "\"";
                out << "\n";
            }
        };
        print(print, d->root, 0);
    }
    for (const auto& f : failures_)
        out << "pending failure: " << fsOpName(f.op) << " " << f.pattern << " -> " << f.number
            << (f.once ? " once" : " always") << "\n";
    out << "log:\n";
    for (const auto& c : log)
        out << "  " << c.text() << "\n";
    return out.str();
}

std::string MemoryFileSystem::pathOf(char letter, const std::vector<std::string>& parts) const {
    std::string p(1, static_cast<char>(std::toupper(static_cast<unsigned char>(letter))));
    p += ":\\";
    const Drive* d = findDrive(letter);
    const Node* n = d ? &d->root : nullptr;
    for (size_t i = 0; i < parts.size(); ++i) {
        n = n ? n->child(parts[i]) : nullptr;
        if (i)
            p += '\\';
        p += n ? n->name : parts[i]; // the names as they are stored
    }
    return p;
}

// --- Failure injection and logging ---------------------------------------------------------

void MemoryFileSystem::injectFailure(FsOp op, const std::string& path, const std::string& path2) {
    auto matches = [this](const std::string& pattern, const std::string& p) {
        return !p.empty() && wildcardMatch(collapseSeparators(pattern, leadByte()),
                                           collapseSeparators(p, leadByte()));
    };
    for (auto it = failures_.begin(); it != failures_.end(); ++it) {
        if (it->op != op)
            continue;
        if (!it->pattern.empty() && !matches(it->pattern, path) && !matches(it->pattern, path2))
            continue;
        const Failure f = *it;
        if (f.once)
            failures_.erase(it);
        fail(f.number, f.systemError);
    }
}

template <class F>
auto MemoryFileSystem::run(FsOp op, const std::string& path, const std::string& path2, F body) {
    log.push_back({op, path, path2, 0});
    const size_t index = log.size() - 1;
    try {
        if (auto it = callFailures_.find(index); it != callFailures_.end()) {
            const auto f = it->second;
            callFailures_.erase(it);
            fail(f.number, f.systemError);
        }
        injectFailure(op, path, path2);
        return body();
    } catch (const RuntimeError& e) {
        log[index].error = e.number();
        throw;
    }
}

// --- FileSystem ----------------------------------------------------------------------------

void MemoryFileSystem::writeData(Drive& d, Node& file, const std::string& bytes) {
    const uint64_t room = d.freeBytes();
    file.mtime = clock;
    if (bytes.size() > room) {
        file.data = bytes.substr(0, room); // what fitted before the disk was full
        fail(errDiskFull, 112);            // ERROR_DISK_FULL
    }
    file.data = bytes;
}

// A file that another program does not hold: what opening it for reading or deleting needs.
MemoryFileSystem::Node& MemoryFileSystem::openableFile(const Resolved& r) {
    if (r.parts.empty())
        fail(errPathFileAccess);
    Node* n = parentFolderOf(r).child(r.last());
    if (!n)
        fail(errFileNotFound, 2);
    if (n->folder)
        fail(errPathFileAccess, kAccessDenied);
    if (n->locked)
        fail(errPermissionDenied, kSharingViolation);
    return *n;
}

namespace {

// A copy is told piece by piece before it appears: a stopped copy leaves nothing.
void tellPieces(uint64_t size, uint64_t piece, const CopyProgress& progress) {
    for (uint64_t done = 0; progress && done < size;) {
        done = std::min<uint64_t>(size, done + piece);
        if (!progress(done))
            throw WorkCancelled{};
    }
}

} // namespace

// Names the temporary file as Win32FileSystem does, with process number 1: the destination's
// folder as written, then "~chathoard-1-<n>.tmp" with the first n not taken.
std::string MemoryFileSystem::copyToTemporary(const std::string& source,
                                              const std::string& destination, CopyFlush flush,
                                              const CopyProgress& progress) {
    const size_t index = log.size();
    struct MarkFlush {
        std::vector<FsCall>& log;
        size_t index;
        CopyFlush flush;
        ~MarkFlush() { log.at(index).flush = flush; }
    } mark{log, index, flush};
    return run(FsOp::CopyToTemporary, source, destination, [&] {
        Resolved rd = resolve(destination);
        Node* src = &openableFile(resolve(source));
        if (rd.parts.empty())
            fail(errPathFileAccess);
        Node& folder = parentFolderOf(rd);
        Node* old = folder.child(rd.last());
        if (old == src)
            fail(errPermissionDenied, kSharingViolation);
        checkReplaceable(old);
        // The old destination still exists while the copy is made: the disk needs room for
        // all of it.
        if (src->data.size() > rd.drive->freeBytes())
            fail(errDiskFull, 112);
        tellPieces(src->data.size(), copyPiece, progress);
        std::string name;
        do
            name = copyTemporaryName(1, ++tempCounter_);
        while (folder.child(name));
        Node& copy = folder.add(name, false);
        copy.data = src->data;
        copy.mtime = src->mtime;
        const size_t cut = lastSeparator(destination, "\\/:", leadByte());
        return destination.substr(0, cut == std::string::npos ? 0 : cut + 1) + name;
    });
}

namespace {
// Deleting through the open copy is a deleteFile here: the same failures, the same log.
class MemoryOpenCopy final : public OpenCopy {
  public:
    MemoryOpenCopy(MemoryFileSystem& fs, std::string path) : fs_(fs), path_(std::move(path)) {}
    void remove() override { fs_.deleteFile(path_); }
    // Not a handle anything can read: it only shows which copy was handed over.
    intptr_t readHandle() const override { return reinterpret_cast<intptr_t>(this); }

  private:
    MemoryFileSystem& fs_;
    std::string path_;
};
} // namespace

std::unique_ptr<OpenCopy> MemoryFileSystem::copyToNew(const std::string& source,
                                                      const std::string& destination,
                                                      const CopyProgress& progress) {
    const bool made = run(FsOp::CopyToNew, source, destination, [&] {
        Resolved rd = resolve(destination);
        Node* src = &openableFile(resolve(source));
        if (rd.parts.empty())
            fail(errPathFileAccess);
        Node& folder = parentFolderOf(rd);
        if (folder.child(rd.last()))
            return false;
        if (src->data.size() > rd.drive->freeBytes())
            fail(errDiskFull, 112);
        tellPieces(src->data.size(), copyPiece, progress);
        Node& copy = folder.add(rd.last(), false);
        copy.data = src->data;
        copy.mtime = src->mtime;
        return true;
    });
    return made ? std::make_unique<MemoryOpenCopy>(*this, destination) : nullptr;
}

namespace {
class CopiesMadeAtOnce final : public CopiesAhead {
  public:
    explicit CopiesMadeAtOnce(MemoryFileSystem& fs) : fs_(fs) {}
    void add(const std::string& source, const std::string& destination) override {
        Made made;
        made.destination = destination;
        try {
            made.copy = fs_.copyToNew(source, destination);
        } catch (...) {
            made.failure = std::current_exception();
        }
        made_.push_back(std::move(made));
    }
    std::unique_ptr<OpenCopy> takeBegun() override {
        fs_.takenBegun.push_back(made_.front().destination);
        return take({});
    }
    std::unique_ptr<OpenCopy> take(const CopyProgress&) override {
        Made made = std::move(made_.front());
        made_.pop_front();
        if (made.failure)
            std::rethrow_exception(made.failure);
        return std::move(made.copy);
    }
    std::vector<std::unique_ptr<OpenCopy>> stop() noexcept override {
        std::vector<std::unique_ptr<OpenCopy>> untaken;
        for (Made& made : made_)
            untaken.push_back(std::move(made.copy));
        made_.clear();
        return untaken;
    }

  private:
    struct Made {
        std::string destination;
        std::unique_ptr<OpenCopy> copy;
        std::exception_ptr failure;
    };
    MemoryFileSystem& fs_;
    std::deque<Made> made_;
};
} // namespace

std::unique_ptr<CopiesAhead> MemoryFileSystem::copiesAhead() {
    if (copiesMadeAhead)
        return std::make_unique<CopiesMadeAtOnce>(*this);
    return FileSystem::copiesAhead();
}

void MemoryFileSystem::moveOver(const std::string& temporary, const std::string& destination) {
    run(FsOp::MoveOver, temporary, destination, [&] {
        Resolved rt = resolve(temporary);
        Node& from = openableFile(rt);
        Resolved rd = resolve(destination);
        if (rd.parts.empty())
            fail(errPathFileAccess);
        Node& folder = parentFolderOf(rd);
        if (&folder != &parentFolderOf(rt))
            fail(errPathFileAccess, 17); // ERROR_NOT_SAME_DEVICE: only renames in one folder
        checkReplaceable(folder.child(rd.last()));
        const std::string data = from.data;
        const int64_t mtime = from.mtime;
        folder.children.erase(lower(rt.last()));
        Node& moved = folder.add(rd.last(), false);
        moved.data = data;
        moved.mtime = mtime;
    });
}

void MemoryFileSystem::deleteFile(const std::string& path) {
    run(FsOp::DeleteFile, path, {}, [&] {
        Resolved r = resolve(path);
        Node* n = &openableFile(r);
        Node& folder = parentFolderOf(r);
        if (n->readOnly)
            fail(errPermissionDenied, kAccessDenied);
        folder.children.erase(lower(r.last()));
    });
}

void MemoryFileSystem::makeFolder(const std::string& path) {
    run(FsOp::MakeFolder, path, {}, [&] {
        Resolved r = resolve(path);
        if (r.parts.empty())
            fail(errPathFileAccess, 183); // ERROR_ALREADY_EXISTS
        Node& parent = parentFolderOf(r);
        if (parent.child(r.last()))
            fail(errPathFileAccess, 183);
        parent.add(r.last(), true).mtime = clock;
    });
}

void MemoryFileSystem::removeFolder(const std::string& path) {
    run(FsOp::RemoveFolder, path, {}, [&] {
        Resolved r = resolve(path);
        if (r.parts.empty())
            fail(errPathFileAccess, kAccessDenied);
        Node& parent = parentFolderOf(r);
        Node* n = parent.child(r.last());
        if (!n || !n->folder)
            fail(errPathNotFound, 3);
        if (!n->children.empty())
            fail(errPathFileAccess, 145); // ERROR_DIR_NOT_EMPTY
        parent.children.erase(lower(r.last()));
    });
}

MemoryFileSystem::Node& MemoryFileSystem::folderAt(const std::string& path) {
    Resolved r = resolve(path);
    Node* n = walk(r.drive->root, r.parts, r.parts.size());
    if (!n || !n->folder)
        fail(errPathNotFound, 3);
    return *n;
}

std::vector<FolderEntry> MemoryFileSystem::listEntries(const std::string& folder) {
    return run(FsOp::ListEntries, folder, {}, [&] {
        std::vector<FolderEntry> entries;
        for (const auto& [key, c] : folderAt(folder).children)
            // Hidden here stands for hidden or system, as for the lists that skip them.
            entries.push_back({c->name, c->folder, c->reparsePoint, c->hidden, c->hidden,
                               c->folder ? 0 : c->data.size()});
        std::sort(entries.begin(), entries.end(),
                  [](const auto& a, const auto& b) { return lessNoCase(a.name, b.name); });
        return entries;
    });
}

std::vector<DriveInfo> MemoryFileSystem::drives() {
    return run(FsOp::Drives, {}, {}, [&] {
        std::vector<DriveInfo> out;
        for (const auto& [letter, d] : drives_)
            out.push_back({letter, d->ready ? d->label : std::string()});
        return out;
    });
}

std::string MemoryFileSystem::currentFolder(char driveLetter) {
    return run(FsOp::CurrentFolder, std::string(1, driveLetter) + ":", {}, [&] {
        Drive& d = drive(driveLetter);
        // A current folder that has been removed since falls back to the root.
        Node* n = walk(d.root, d.current, d.current.size());
        if (!n || !n->folder)
            d.current.clear();
        return pathOf(d.letter, d.current);
    });
}

std::string MemoryFileSystem::fullPath(const std::string& path) {
    std::string p = path;
    for (char& c : p)
        if (c == '/')
            c = '\\';
    if (pathRootLength(p, leadByte()) > 2 && p[1] != ':') {
        // A network or "\\\\?\\" path is full already; "." and ".." are still resolved.
        std::string normal = normalFolderPath("C:\\", p, leadByte());
        return p.back() == '\\' && normal.back() != '\\' ? normal + '\\' : normal;
    }
    // A drive's current folder as Windows keeps it; the root for a drive it does not know.
    const auto currentOf = [&](char letter) {
        const Drive* d = findDrive(letter);
        return d ? pathOf(d->letter, d->current) : std::string{letter, ':', '\\'};
    };
    std::string full;
    if (p.size() >= 2 && p[1] == ':' && std::isalpha(static_cast<unsigned char>(p[0])))
        full = p.size() > 2 && p[2] == '\\' ? p : currentOf(p[0]) + "\\" + p.substr(2);
    else if (!p.empty() && p[0] == '\\')
        full = std::string{workingDrive_, ':'} + p;
    else
        full = currentOf(workingDrive_) + "\\" + p;
    std::string normal = normalFolderPath("C:\\", full, leadByte());
    if (!p.empty() && p.back() == '\\' && normal.back() != '\\')
        normal += '\\';
    return normal;
}

namespace {

std::string withoutLongPathPrefix(const std::string& path) {
    if (path.rfind("\\\\?\\UNC\\", 0) == 0)
        return "\\\\" + path.substr(8);
    if (path.rfind("\\\\?\\", 0) == 0)
        return path.substr(4);
    return path;
}

} // namespace

std::string MemoryFileSystem::resolvedPath(const std::string& path) {
    const std::string full = fullPath(withoutLongPathPrefix(path));
    try {
        const Resolved r = resolve(full);
        std::string out = pathOf(r.drive->letter, {});
        const Node* n = &r.drive->root;
        for (size_t i = 0; i < r.parts.size(); ++i) {
            n = n && n->folder ? n->childOrAlias(r.parts[i]) : nullptr;
            out += (i ? "\\" : "") + (n ? n->name : r.parts[i]);
        }
        return out;
    } catch (const RuntimeError&) {
        return full;
    }
}

std::optional<FileIdentity> MemoryFileSystem::identityOf(const std::string& path) {
    std::string p = withoutLongPathPrefix(path);
    for (int hops = 0; hops < 32; ++hops) {
        Resolved r;
        try {
            r = resolve(fullPath(p));
        } catch (const RuntimeError&) {
            return std::nullopt;
        }
        const Node* n = &r.drive->root;
        size_t i = 0;
        while (i < r.parts.size() && n && n->junctionTarget.empty())
            n = n->folder ? n->childOrAlias(r.parts[i++]) : nullptr;
        if (!n)
            return std::nullopt;
        if (n->junctionTarget.empty())
            return FileIdentity{static_cast<uint32_t>(r.drive->letter),
                                reinterpret_cast<uintptr_t>(n)};
        p = n->junctionTarget; // and what lies below the junction
        for (; i < r.parts.size(); ++i)
            p += "\\" + r.parts[i];
    }
    return std::nullopt;
}

// A file opened for writing, made when missing: the checks CreateFile makes for that.
MemoryFileSystem::Node& MemoryFileSystem::fileToWrite(const Resolved& r) {
    if (r.parts.empty())
        fail(errPathFileAccess);
    Node& folder = parentFolderOf(r);
    Node* n = folder.child(r.last());
    checkReplaceable(n);
    return n ? *n : folder.add(r.last(), false);
}

// What stops a file from being written over or replaced: a folder of that name, another
// program holding it open, or its read-only attribute.
void MemoryFileSystem::checkReplaceable(const Node* n) {
    if (n && n->folder)
        fail(errPathFileAccess, kAccessDenied);
    if (n && n->locked)
        fail(errPermissionDenied, kSharingViolation);
    if (n && n->readOnly)
        fail(errPermissionDenied, kAccessDenied);
}

void MemoryFileSystem::writeFile(const std::string& path, const std::string& bytes,
                                 WriteMode mode) {
    const FsOp op = mode == WriteMode::Replace ? FsOp::WriteAll
                    : mode == WriteMode::New   ? FsOp::WriteNewFile
                                               : FsOp::AppendText;
    run(op, path, {}, [&] {
        Resolved r = resolve(path);
        if (mode == WriteMode::New) {
            if (r.parts.empty())
                fail(errPathFileAccess);
            Node& folder = parentFolderOf(r);
            if (folder.child(r.last()))
                fail(errPathFileAccess, 80); // ERROR_FILE_EXISTS
            Node& n = folder.add(r.last(), false);
            try {
                writeData(*r.drive, n, bytes);
            } catch (const RuntimeError&) {
                folder.children.erase(lower(r.last()));
                throw;
            }
            return;
        }
        Node* n = &fileToWrite(r);
        if (mode == WriteMode::Replace) {
            n->data.clear(); // truncated on open, as the real file is
            writeData(*r.drive, *n, bytes);
            return;
        }
        const uint64_t room = r.drive->freeBytes();
        n->mtime = clock;
        if (bytes.size() > room) {
            n->data += bytes.substr(0, room); // what fitted before the disk was full
            fail(errDiskFull, 112);
        }
        n->data += bytes;
    });
}

FileStatus MemoryFileSystem::status(const std::string& path) {
    return run(FsOp::Status, path, {}, [&] {
        Resolved r = resolve(path);
        Node* n = r.parts.empty() ? &r.drive->root : parentFolderOf(r).child(r.last());
        if (!n)
            fail(errFileNotFound, 2);
        return FileStatus{n->folder, n->folder ? 0 : static_cast<uint64_t>(n->data.size()),
                          n->mtime};
    });
}

void MemoryFileSystem::setModifiedTime(const std::string& path, int64_t modified) {
    run(FsOp::SetModifiedTime, path, {}, [&] { openableFile(resolve(path)).mtime = modified; });
}

void MemoryFileSystem::checkOpen(const std::string& path, OpenCheck how) {
    const FsOp op = how == OpenCheck::AsCopySource ? FsOp::FileInUse
                    : how == OpenCheck::Alone      ? FsOp::CheckNotInUse
                                                   : FsOp::CheckReadable;
    run(op, path, {}, [&] { openableFile(resolve(path)); });
}

std::string MemoryFileSystem::readPart(const std::string& path, uint64_t offset, size_t size) {
    return run(size == kWholeFile ? FsOp::ReadAll : FsOp::ReadPart, path, {}, [&] {
        const std::string& data = openableFile(resolve(path)).data;
        return offset >= data.size() ? std::string()
                                     : data.substr(static_cast<size_t>(offset), size);
    });
}

namespace {

bool holdsLockedFile(const MemoryFileSystem::Node& n) {
    if (!n.folder)
        return n.locked;
    for (const auto& [key, c] : n.children)
        if (holdsLockedFile(*c))
            return true;
    return false;
}

} // namespace

void MemoryFileSystem::rename(const std::string& from, const std::string& to) {
    run(FsOp::Rename, from, to, [&] {
        Resolved rf = resolve(from);
        Resolved rt = resolve(to);
        if (rf.parts.empty() || rt.parts.empty())
            fail(errPathFileAccess, kAccessDenied);
        Node& source = parentFolderOf(rf);
        auto it = source.children.find(lower(rf.last()));
        if (it == source.children.end())
            fail(errFileNotFound, 2);
        if (rf.drive != rt.drive)
            fail(errPathFileAccess, 17); // ERROR_NOT_SAME_DEVICE
        Node& target = parentFolderOf(rt);
        if (target.child(rt.last()))
            fail(errPathFileAccess, 183); // ERROR_ALREADY_EXISTS
        if (holdsLockedFile(*it->second))
            fail(errPermissionDenied, kSharingViolation);
        if (rt.parts.size() > rf.parts.size() &&
            std::equal(
                rf.parts.begin(), rf.parts.end(), rt.parts.begin(),
                [](const std::string& a, const std::string& b) { return equalNoCase(a, b); }))
            fail(errPathFileAccess, kAccessDenied); // a folder into itself
        std::unique_ptr<Node> moved = std::move(it->second);
        source.children.erase(it);
        moved->name = rt.last();
        target.children[lower(rt.last())] = std::move(moved);
    });
}

uint64_t MemoryFileSystem::freeBytes(const std::string& folder) {
    return run(FsOp::FreeBytes, folder, {}, [&] {
        folderAt(folder);
        return resolve(folder).drive->freeBytes();
    });
}

} // namespace ch::test
