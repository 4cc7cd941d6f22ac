#include "selection/folder_detection.h"

#include "platform/runtime_error.h"

namespace ch {

const char* const kFoundCaption = "ICQ Directory found !";
const char* const kNotFoundCaption = "No ICQ Directory found";
const char* const kDatabasePatterns = "*.dat;*.idx";

std::string databaseFolder(const std::string& messengerFolder) {
    return messengerFolder + "\\db";
}

std::string databaseFile(const std::string& messengerFolder, const std::string& name) {
    return databaseFolder(messengerFolder) + "\\" + name;
}

MessengerDatabase findMessengerDatabase(FileSystem& fs, const std::string& messengerFolder) {
    MessengerDatabase database;
    try {
        database.files = fs.listFiles(databaseFolder(messengerFolder), kDatabasePatterns);
    } catch (const RuntimeError&) {
        return database;
    }
    database.found = !database.files.empty();
    return database;
}

void Dir1_Change(const FolderList& Dir1, FileList& File1, Label& Label1) {
    try {
        File1.setPath(databaseFolder(Dir1.Path()));
        const int16_t N = File1.ListCount();
        Label1.setCaption(N != 0 ? kFoundCaption : kNotFoundCaption);
    } catch (const RuntimeError&) {
        // The folder now shown has no readable db subfolder. File1 keeps its earlier list,
        // but the verdict must not go on claiming a database here: the backups read from
        // Dir1's path, not from File1's.
        Label1.setCaption(kNotFoundCaption);
    }
}

} // namespace ch
