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
// A list file that is still there names the staged copies of a ZIP backup that never reached
// its clean-up, or that its clean-up could not delete. A run writes its list before its first
// copy, and only when none of the names is in the staging folder, so a listed file there is
// that run's copy. Deletes those of them that are database files directly in stagingFolder (a
// list naming anything else is not trusted that far), then the list file; a listed copy that
// cannot be deleted yet keeps the list, and is returned.
std::vector<std::string> removeInterruptedStaging(FileSystem& fs, const std::string& listPath,
                                                  const std::string& stagingFolder);
// Before a Normal Backup writes into destination: when destination is the staging folder, the
// list of a stopped ZIP backup would claim the files this backup is about to write there under
// the same names, and the next ZIP backup would delete them. The claim goes first, with the
// staged copies it still stands for.
void settleStagingClaims(FileSystem& fs, const std::string& destination,
                         const std::string& programFolder, const std::string& stagingDrive);

} // namespace ch
