#include <string>

#include "backup/backup_common.h"
#include "backup/backup_job.h"
#include "backup/database_detection.h"
#include "backup/generations.h"
#include "backup/normal_backup.h"
#include "backup/zip_backup.h"
#include "platform/ansi_path.h"

namespace ch {

std::optional<BackupResult> destinationInsideDatabase(const BackupJob& job, FileSystem& fs,
                                                      const CodePage& codePage) {
    const LeadByteTest isLeadByte = codePage.leadByteTest();
    // As the system resolves both: "\\?\", 8.3 aliases and the case of any letter say nothing.
    const auto resolved = [&](const std::string& path) {
        std::string r = path;
        bestEffort([&] { r = fs.resolvedPath(path); });
        return withoutLongPrefix(normalFolderPath("C:\\", r, isLeadByte));
    };
    const std::string db = resolved(databaseFolder(job.messengerFolder));
    const std::string destination = resolved(job.destination);
    const std::string dbKey = codePage.caseFolded(db),
                      destinationKey = codePage.caseFolded(destination);
    bool same = destinationKey == dbKey;
    bool inside = same || (destinationKey.size() > dbKey.size() &&
                           destinationKey.compare(0, dbKey.size(), dbKey) == 0 &&
                           (dbKey.back() == '\\' || destinationKey[dbKey.size()] == '\\'));
    // A junction leads into the database under any name: the folders themselves are compared.
    const std::optional<FileIdentity> dbId = inside ? std::nullopt : fs.identityOf(db);
    for (std::string folder = destination; dbId && !inside;) {
        if (fs.identityOf(folder) == dbId) {
            inside = true;
            same = folder == destination;
        }
        const size_t cut = lastSeparator(folder, "\\", isLeadByte);
        if (cut == std::string::npos || cut + 1 >= folder.size())
            break;
        folder.resize(cut == 2 && folder[1] == ':' ? 3 : cut);
    }
    if (!inside)
        return std::nullopt;
    BackupCause cause;
    cause.step = same ? BackupStep::DestinationIsDatabase : BackupStep::DestinationInsideDatabase;
    cause.file = job.destination;
    cause.to = db;
    return backupFailure(cause);
}

BackupResult runBackup(const BackupJob& job, const BackupTools& tools) {
    if (auto refused = destinationInsideDatabase(job, tools.fs, tools.codePage))
        return *refused;
    const bool zip = job.kind == BackupKind::Zip;
    if (job.keep)
        return zip ? zipGeneration(job, tools) : normalGeneration(job, tools);
    return zip ? zipBackup(job, tools) : normalBackup(job, tools);
}

} // namespace ch
