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
    database.readable = true;
    database.found = !database.files.empty();
    return database;
}

void Dir1_Change(FileSystem& fs, const FolderList& Dir1, FileList& File1, Label& Label1) {
    const MessengerDatabase database = findMessengerDatabase(fs, Dir1.Path());
    // A db subfolder that cannot be read leaves File1's earlier list, but the verdict must not
    // go on claiming a database here: the backups read from Dir1's path, not from File1's.
    if (database.readable)
        File1.show(databaseFolder(Dir1.Path()), database.files);
    Label1.setCaption(database.found ? kFoundCaption : kNotFoundCaption);
}

} // namespace ch
