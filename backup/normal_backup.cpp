#include "backup/normal_backup.h"

#include "backup/leftovers.h"
#include "platform/runtime_error.h"

namespace ch {
namespace {

std::string copyFailureText(const std::string& name, const std::string& source,
                            const std::string& destination, const RuntimeError& e, int copied,
                            int total, const std::string& destinationFolder) {
    return "The file " + name + " could not be copied.\r\n\r\nFrom: " + source +
           "\r\nTo: " + destination + "\r\nReason: " + plainReason(e) + ".\r\n\r\n" +
           filesCopiedText(copied, total) + " to " + destinationFolder +
           "; the backup is not complete.";
}

} // namespace

BackupOutcome Command2_Click(const BackupSources& in, FileSystem& fs, Dialogs& dialogs) {
    if (refuseWithoutMessengerFolder(in.Label1, dialogs))
        return BackupOutcome::NoMessengerFolder;
    // Copies a killed run left half-written under temporary names.
    removeInterruptedCopies(fs, in.Dir2.Path());

    // Paths are joined exactly as written: a folder at a drive root gives "D:\\a.dat", which
    // Windows accepts as it is.
    const int count = in.File1.ListCount();
    for (int i = 0; i < count; ++i) {
        const std::string& name = in.File1.List(i);
        const std::string source = in.Dir1.Path() + "\\db\\" + name;
        const std::string destination = in.Dir2.Path() + "\\" + name;
        try {
            fs.copyFile(source, destination);
        } catch (const RuntimeError& e) {
            showBackupFailure(
                dialogs, copyFailureText(name, source, destination, e, i, count, in.Dir2.Path()));
            return BackupOutcome::Failed;
        }
    }

    dialogs.msgBox(kCompletionWords + in.Dir2.Path() + "\r\n", vbInformation, kDoneTitle);
    return BackupOutcome::Done;
}

} // namespace ch
