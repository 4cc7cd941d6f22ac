#include "backup/normal_backup.h"

#include <vector>

#include "backup/leftovers.h"
#include "platform/runtime_error.h"
#include "selection/folder_detection.h"

namespace ch {
namespace {

std::string copyFailureText(const std::string& name, const std::string& source,
                            const std::string& destination, const RuntimeError& e,
                            const std::string& outcome) {
    return "The file " + name + " could not be copied.\r\n\r\nFrom: " + source +
           "\r\nTo: " + destination + "\r\nReason: " + plainReason(e) + ".\r\n\r\n" + outcome;
}

// Temporary copies that will not be renamed into place; one that will not go is cleared as a
// leftover by the next backup.
void removeTemporaries(FileSystem& fs, const std::vector<std::string>& temporaries, size_t from) {
    for (size_t i = from; i < temporaries.size(); ++i) {
        try {
            fs.deleteFile(temporaries[i]);
        } catch (const RuntimeError&) {
        }
    }
}

} // namespace

BackupOutcome Command2_Click(const BackupSources& in, const std::string& DefaultDrive,
                             const Services& s) {
    FileSystem& fs = s.fs;
    Dialogs& dialogs = s.dialogs;
    if (refuseWithoutMessengerFolder(in.Label1, dialogs))
        return BackupOutcome::NoMessengerFolder;
    // Copies a killed run left half-written under temporary names.
    removeInterruptedCopies(fs, in.Dir2.Path());
    settleStagingClaims(fs, in.Dir2.Path(), s.App, DefaultDrive);

    // Paths are joined exactly as written: a folder at a drive root gives "D:\\a.dat", which
    // Windows accepts as it is.
    const int count = in.File1.ListCount();
    auto sourceOf = [&](int i) { return databaseFile(in.Dir1.Path(), in.File1.List(i)); };
    auto destinationOf = [&](int i) { return in.Dir2.Path() + "\\" + in.File1.List(i); };

    // The backup is a set: every file is copied beside its old copy first, and only when all
    // copies are whole are they renamed into place, so a failure leaves the earlier set as it
    // was rather than new files beside old ones.
    std::vector<std::string> temporaries;
    for (int i = 0; i < count; ++i) {
        try {
            temporaries.push_back(fs.copyToTemporary(sourceOf(i), destinationOf(i)));
        } catch (const RuntimeError& e) {
            removeTemporaries(fs, temporaries, 0);
            showBackupFailure(dialogs,
                              copyFailureText(in.File1.List(i), sourceOf(i), destinationOf(i), e,
                                              "Nothing in " + in.Dir2.Path() +
                                                  " was changed; the earlier backup "
                                                  "there is as it was."));
            return fs.fileInUse(sourceOf(i)) ? BackupOutcome::DatabaseInUse : BackupOutcome::Failed;
        }
    }
    for (int i = 0; i < count; ++i) {
        try {
            fs.moveOver(temporaries[i], destinationOf(i));
        } catch (const RuntimeError& e) {
            removeTemporaries(fs, temporaries, static_cast<size_t>(i));
            showBackupFailure(dialogs,
                              copyFailureText(in.File1.List(i), sourceOf(i), destinationOf(i), e,
                                              filesCopiedText(i, count) + " to " + in.Dir2.Path() +
                                                  "; the backup is not complete."));
            return BackupOutcome::Failed;
        }
    }

    dialogs.msgBox(kCompletionWords + in.Dir2.Path() + "\r\n", vbInformation, kDoneTitle);
    return BackupOutcome::Done;
}

} // namespace ch
