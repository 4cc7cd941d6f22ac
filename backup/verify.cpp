#include "backup/verify.h"

#include <algorithm>
#include <ctime>
#include <map>
#include <set>
#include <string_view>

#include "backup/backup_common.h"
#include "backup/database_detection.h"
#include "backup/generations.h"
#include "backup/zip_reader.h"
#include "platform/runtime_error.h"

namespace ch {
namespace {

constexpr size_t kReadChunk = 1 << 20;

// In a double-byte code page a name's trail byte may be a backslash: only a whole character
// separates folders.
std::string baseName(const std::string& entryName, LeadByteTest isLeadByte) {
    const size_t cut = lastSeparator(entryName, "/\\", isLeadByte);
    return cut == std::string::npos ? entryName : entryName.substr(cut + 1);
}

std::string folderPart(const std::string& entryName, LeadByteTest isLeadByte) {
    const size_t cut = lastSeparator(entryName, "/\\", isLeadByte);
    return cut == std::string::npos ? std::string() : entryName.substr(0, cut);
}

// Reads a file through; returns its size and CRC-32. progress hears the bytes read so far
// and may stop the reading (WorkCancelled).
std::pair<uint64_t, uint32_t> readThrough(FileSystem& fs, const std::string& path,
                                          const CopyProgress& progress = {}) {
    uint64_t size = 0;
    uint32_t crc = 0;
    for (;;) {
        const std::string piece = fs.readPart(path, size, kReadChunk);
        if (piece.empty())
            return {size, crc};
        crc = crc32Of(piece, crc);
        size += piece.size();
        if (progress && !progress(size))
            throw WorkCancelled{};
    }
}

// A ZIP entry's time (local time, two-second steps) as seconds since 1970; 0 when it holds no
// date.
int64_t dosTimeOf(uint16_t date, uint16_t time) {
    if (date == 0)
        return 0;
    std::tm t{};
    t.tm_year = ((date >> 9) & 0x7f) + 80;
    t.tm_mon = ((date >> 5) & 0x0f) - 1;
    t.tm_mday = date & 0x1f;
    t.tm_hour = time >> 11;
    t.tm_min = (time >> 5) & 0x3f;
    t.tm_sec = (time & 0x1f) * 2;
    t.tm_isdst = -1;
    const std::time_t seconds = std::mktime(&t);
    return seconds == static_cast<std::time_t>(-1) ? 0 : static_cast<int64_t>(seconds);
}

void checkFolder(FileSystem& fs, CheckedBackup& out, JobMeter& meter) {
    std::vector<std::string> names;
    try {
        names = fs.listFiles(out.path, kDatabasePatterns);
    } catch (const RuntimeError& e) {
        out.problems.push_back({CheckProblem::Kind::FolderUnreadable, {}, {}, e, {}});
        return;
    }
    if (meter.reporting())
        for (const auto& name : names)
            bestEffort(
                [&] { meter.setTotal(meter.totalBytes() + fs.fileSize(out.path + "\\" + name)); });
    uint64_t done = 0;
    for (const auto& name : names) {
        BackupFile f;
        f.name = name;
        const std::string path = out.path + "\\" + name;
        meter.begin(WorkStage::Checking, done, name);
        try {
            std::tie(f.size, f.crc) = readThrough(fs, path, meter.copyHook());
            done += f.size;
            f.modified = fs.modifiedTime(path);
        } catch (const RuntimeError& e) {
            f.error = e;
            f.fault = BackupFile::Fault::Unreadable;
        }
        out.files.push_back(f);
    }
}

// CON, PRN, AUX, NUL, CONIN$, CONOUT$, COM0-COM9 and LPT0-LPT9 (with the superscript digits
// 1, 2 and 3 of code page 1252 too), with or without an extension or trailing blanks, name
// devices in every folder.
bool isDeviceName(const std::string& part) {
    std::string stem = lowerCase(part.substr(0, part.find('.')));
    while (!stem.empty() && stem.back() == ' ')
        stem.pop_back();
    if (stem == "con" || stem == "prn" || stem == "aux" || stem == "nul" || stem == "conin$" ||
        stem == "conout$")
        return true;
    const auto digit = static_cast<unsigned char>(stem.size() == 4 ? stem[3] : 0);
    return stem.size() == 4 && (stem.rfind("com", 0) == 0 || stem.rfind("lpt", 0) == 0) &&
           ((digit >= '0' && digit <= '9') || digit == 0xB9 || digit == 0xB2 || digit == 0xB3);
}

// Why Windows cannot create a file of this name, into f; nothing when it can. Only whole
// characters count: a trail byte of a double-byte character may look like "|".
void checkFileName(BackupFile& f, LeadByteTest isLeadByte) {
    const std::string& name = f.name;
    for (size_t i = 0; i < name.size(); ++i) {
        const auto c = static_cast<unsigned char>(name[i]);
        if (isLeadByte(c) && i + 1 < name.size()) {
            ++i;
            continue;
        }
        if (c < 0x20 ||
            std::string_view("<>\"|*?").find(static_cast<char>(c)) != std::string_view::npos) {
            f.fault = BackupFile::Fault::NotRestorable;
            f.nameTrouble = c < 0x20 ? BackupFile::NameTrouble::ControlCharacter
                                     : BackupFile::NameTrouble::ForbiddenCharacter;
            f.character = static_cast<char>(c);
            return;
        }
    }
    if (!name.empty() && (name.back() == '.' || name.back() == ' ')) {
        f.fault = BackupFile::Fault::NotRestorable;
        f.nameTrouble = BackupFile::NameTrouble::TrailingDotOrBlank;
    }
}

void checkArchive(FileSystem& fs, const CodePage& codePage, CheckedBackup& out, JobMeter& meter) {
    std::optional<ZipReader> reader;
    try {
        reader.emplace(fs, codePage, out.path);
    } catch (const ZipDamage& e) {
        out.damaged = true;
        out.problems.push_back({CheckProblem::Kind::ArchiveDamaged, e.entry(), e.what(), {}, {}});
        return;
    } catch (const RuntimeError& e) {
        out.problems.push_back({CheckProblem::Kind::ArchiveUnreadable, {}, {}, e, {}});
        return;
    }
    reader->setPassword(out.password);
    out.damaged = reader->centralDirectoryMissing();
    if (reader->centralDirectoryMissing())
        out.problems.push_back({CheckProblem::Kind::CentralDirectoryMissing, {}, {}, {}, {}});
    const LeadByteTest isLeadByte = codePage.leadByteTest();
    if (meter.reporting())
        for (const ZipEntry& entry : reader->entries())
            meter.setTotal(meter.totalBytes() + entry.size);
    // The entries' sizes as the archive gives them: reading one never goes past its size.
    uint64_t done = 0;
    std::set<std::string> folders, names;
    for (const ZipEntry& entry : reader->entries()) {
        meter.begin(WorkStage::Checking, done, entry.name);
        const CopyProgress hook = meter.copyHook();
        uint64_t read = 0;
        const auto sink = [&](const std::string& piece) {
            if (!hook(read += piece.size()))
                throw WorkCancelled{};
        };
        done += entry.size;
        if (!entryNameStaysInside(entry.name, isLeadByte)) {
            out.problems.push_back({CheckProblem::Kind::EntryOutside, entry.name, {}, {}, {}});
            continue;
        }
        if (entry.isFolder())
            continue;
        const std::string name = baseName(entry.name, isLeadByte);
        const bool database = isDatabaseFileName(name);
        BackupFile f;
        f.name = name;
        f.entryName = entry.name;
        f.size = entry.size;
        f.crc = entry.crc;
        f.modified = dosTimeOf(entry.dosDate, entry.dosTime);
        out.encrypted = out.encrypted || entry.isEncrypted();
        try {
            f.crc =
                reader->readEntry(entry, hook ? sink : std::function<void(const std::string&)>());
            // Never written under another name than the one it was saved with.
            if (!entry.nameFits) {
                f.fault = BackupFile::Fault::NotRestorable;
                f.nameTrouble = BackupFile::NameTrouble::CodePage;
            } else {
                checkFileName(f, isLeadByte);
            }
        } catch (const ZipPasswordError& e) {
            f.found = e.what();
            f.fault = BackupFile::Fault::Unreadable;
            out.passwordTrouble = e.passwordGiven() ? CheckedBackup::PasswordTrouble::Wrong
                                                    : CheckedBackup::PasswordTrouble::Missing;
        } catch (const ZipDamage& e) {
            f.found = e.what();
            f.fault = BackupFile::Fault::Damaged;
            out.damaged = true;
        } catch (const RuntimeError& e) {
            f.error = e;
            f.fault = BackupFile::Fault::Unreadable;
        }
        if (!database) {
            // Not restored, but a damaged entry still means a damaged archive.
            if (f.fault != BackupFile::Fault::None)
                out.problems.push_back({CheckProblem::Kind::EntryNotIntact, entry.name, {}, {}, f});
            continue;
        }
        folders.insert(codePage.caseFolded(folderPart(entry.name, isLeadByte)));
        if (!names.insert(codePage.caseFolded(name)).second)
            out.problems.push_back({CheckProblem::Kind::NameTwice, name, {}, {}, {}});
        out.files.push_back(f);
    }
    if (folders.size() > 1)
        out.problems.push_back({CheckProblem::Kind::SeveralFolders, {}, {}, {}, {}});
}

} // namespace

bool CheckedBackup::intact() const {
    if (cancelled || !problems.empty() || files.empty())
        return false;
    return std::all_of(files.begin(), files.end(),
                       [](const BackupFile& f) { return f.fault == BackupFile::Fault::None; });
}

bool entryNameStaysInside(const std::string& entryName, LeadByteTest isLeadByte) {
    if (entryName.empty() || entryName.front() == '/' || entryName.front() == '\\')
        return false;
    if (entryName.find(':') != std::string::npos)
        return false;
    size_t start = 0;
    for (;;) {
        const size_t end = std::min(nextSeparator(entryName, start, '/', isLeadByte),
                                    nextSeparator(entryName, start, '\\', isLeadByte));
        const std::string part = entryName.substr(start, end - start);
        if (part == ".." || isDeviceName(part))
            return false;
        if (end == std::string::npos)
            return true;
        start = end + 1;
    }
}

bool isDatabaseFileName(const std::string& name) {
    return patternListMatch(kDatabasePatterns, name);
}

std::string backupOfPicked(FileSystem& fs, const CodePage& codePage, const std::string& path) {
    if (!isDatabaseFileName(path) || fs.folderExists(path))
        return path;
    return parentFolderOf(path, codePage.leadByteTest());
}

std::string backupToCheck(FileSystem& fs, const CodePage& codePage, const std::string& path) {
    const std::string picked = backupOfPicked(fs, codePage, path);
    const auto inside = [&](const std::string& name) {
        return picked + (picked.back() == '\\' ? "" : "\\") + name;
    };
    try {
        if (!fs.folderExists(picked) || !fs.listFiles(picked, kDatabasePatterns).empty())
            return picked;
        const std::string zipName = codePage.caseFolded(kZipBackupName);
        std::string newest;
        for (const FolderEntry& e : fs.listEntries(picked)) {
            if (e.folder)
                continue;
            if (codePage.caseFolded(e.name) == zipName)
                return inside(e.name);
            if (isGenerationArchiveName(e.name) && e.name > newest)
                newest = e.name;
        }
        return newest.empty() ? picked : inside(newest);
    } catch (const RuntimeError&) {
        return picked; // the check says why the folder cannot be read
    }
}

CheckedBackup checkBackup(FileSystem& fs, const CodePage& codePage, const std::string& path,
                          const WorkControl& control, const std::string& password) {
    CheckedBackup out;
    out.path = path;
    out.password = password;
    try {
        out.archive = !fs.status(path).folder;
    } catch (const RuntimeError& e) {
        if (e.number() == errFileNotFound || e.number() == errPathNotFound) {
            out.found = false;
            out.problems.push_back({CheckProblem::Kind::NotFound, {}, {}, {}, {}});
            return out;
        }
        out.archive = true; // the archive's own reading says why it cannot be read
    }
    JobMeter meter(control);
    try {
        meter.stopIfCancelled();
        if (out.archive)
            checkArchive(fs, codePage, out, meter);
        else
            checkFolder(fs, out, meter);
    } catch (const WorkCancelled&) {
        out.cancelled = true;
    }
    for (const BackupFile& f : out.files)
        out.modified = std::max(out.modified, f.modified);
    // An archive whose entries hold no date is as old as the archive.
    if (out.archive && out.modified == 0)
        bestEffort([&] { out.modified = fs.modifiedTime(path); });
    return out;
}

Verification verifyBackupFacts(FileSystem& fs, const CodePage& codePage, const std::string& backup,
                               const std::optional<std::string>& messengerFolder,
                               const WorkControl& control, const std::string& password) {
    Verification out;
    out.checked = checkBackup(fs, codePage, backup, control, password);
    const CheckedBackup& checked = out.checked;
    if (checked.cancelled) {
        out.cancelled = true;
        return out;
    }

    // The database to compare with: name -> size and CRC-32, or why it could not be read.
    struct Current {
        std::string name;
        uint64_t size = 0;
        uint32_t crc = 0;
        std::optional<RuntimeError> error;
        int64_t modified = 0;
    };
    std::map<std::string, Current> current;
    if (messengerFolder) {
        out.compared = true;
        out.databaseFolder = databaseFolder(*messengerFolder);
        const std::string& dbFolder = out.databaseFolder;
        try {
            for (const auto& name : fs.listFiles(dbFolder, kDatabasePatterns)) {
                Current c{name, 0, 0, {}, 0};
                try {
                    std::tie(c.size, c.crc) = readThrough(
                        fs, dbFolder + "\\" + name, [&](uint64_t) { return !control.cancelled(); });
                    bestEffort([&] { c.modified = fs.modifiedTime(dbFolder + "\\" + name); });
                } catch (const RuntimeError& e) {
                    c.error = e;
                } catch (const WorkCancelled&) {
                    out.cancelled = true;
                    return out;
                }
                current[codePage.caseFolded(name)] = c;
            }
        } catch (const RuntimeError& e) {
            out.databaseFolderError = e;
        }
    }
    if (!checked.found)
        return out;
    // A plain copy carries no checksum: reading it through shows only that it is readable.
    // One that differs from the database though it is newer than the database's file was
    // changed after the backup, or damaged.
    using State = FileComparison::State;
    for (const BackupFile& f : checked.files) {
        FileComparison compared;
        auto it = messengerFolder ? current.find(codePage.caseFolded(f.name)) : current.end();
        // Only a file read intact is compared: a damaged one differs from anything.
        if (f.fault == BackupFile::Fault::None && messengerFolder) {
            const Current* c = it == current.end() ? nullptr : &it->second;
            if (!c) {
                compared.state = State::OnlyInBackup;
            } else if (c->error) {
                compared.state = State::DatabaseUnreadable;
                compared.databaseError = c->error;
            } else if (c->size == f.size && c->crc == f.crc) {
                compared.state = State::Same;
            } else if (checked.archive) {
                compared.state = State::ChangedSince;
            } else {
                compared.databaseSize = c->size;
                const bool newer = f.modified > c->modified && c->modified != 0;
                compared.state = newer ? State::Suspect : State::Differs;
                out.suspect += newer ? 1 : 0;
            }
        }
        if (it != current.end())
            current.erase(it);
        out.comparisons.push_back(compared);
    }
    for (const auto& [key, c] : current)
        out.missing.push_back(c.name);
    return out;
}

} // namespace ch
