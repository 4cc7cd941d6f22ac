#pragma once
// What a backup stopped part-way (killed, power cut, logged off) leaves behind, cleared at the
// start of the next backup. Only names this program and its archiving library write are
// touched, and a file another run still holds open cannot be deleted and simply stays, so a
// backup in progress elsewhere loses nothing.
#include <string>
#include <vector>

#include "platform/file_system.h"

namespace ch {

// Where a ZIP backup stages its copies: the folder chathoard on the staging drive.
std::string stagingFolderOf(const std::string& stagingDrive);
// icqtemp.dat in the program folder: the list of staged copies handed to the archiving library.
std::string listFilePathOf(const std::string& programFolder);

// The empty file a ZIP backup puts in a staging folder it made, and removes with the folder.
extern const char* const kStagingFolderMark; // "~chathoard-staging-folder.tmp"

// "~chathoard-<number>-<number>.tmp": a copy on its way to its own name.
bool isInterruptedCopyName(const std::string& name);
// "<archive name>.azip<number>.tmp": an archive azip32.dll had not yet renamed over the old one.
bool isInterruptedArchiveName(const std::string& name, const std::string& archiveName);

// Deletes the interrupted copies in folder.
void removeInterruptedCopies(FileSystem& fs, const std::string& folder);
// Deletes the interrupted archives of archiveName in folder.
void removeInterruptedArchives(FileSystem& fs, const std::string& folder,
                               const std::string& archiveName);
// One staged copy a list file names, and what it was when it was listed (its size and time),
// so that a claim is never applied to another file that took its name since. A copy listed
// before it was made (a run stopped while copying) has no identity yet.
struct StagingClaim {
    std::string path;
    bool identified = false;
    uint64_t size = 0;
    int64_t modified = 0;
};

// The claim on a staged copy as it is now; an unidentified one when it cannot be read.
StagingClaim claimOf(FileSystem& fs, const std::string& path);
// Rewrites the list file to hold exactly claims, each with its identity; deletes it when
// there are none. Throws RuntimeError.
void writeStagingClaims(FileSystem& fs, const std::string& listPath,
                        const std::vector<StagingClaim>& claims);

// A list file that is still there names the staged copies of a ZIP backup that never reached
// its clean-up, or that its clean-up could not delete. A run writes its list before its first
// copy, and only when none of the names is in the staging folder, so a listed file there is
// that run's copy, unless the list recorded another size or time for it. Deletes those of them
// that are database files directly in stagingFolder (a list naming anything else is not
// trusted that far). The list then keeps only the copies that could not be deleted yet, which
// are returned; without them it goes.
std::vector<std::string> removeInterruptedStaging(FileSystem& fs, const std::string& listPath,
                                                  const std::string& stagingFolder);
// Before a Normal Backup writes into destination: when destination is the staging folder, the
// list of a stopped ZIP backup claims files there under the names this backup is about to
// write. The claims are settled first; the copies that still stand (held open, say) are
// returned, and the backup must not start while there are any.
std::vector<std::string> settleStagingClaims(FileSystem& fs, const std::string& destination,
                                             const std::string& programFolder,
                                             const std::string& stagingDrive);

} // namespace ch
