#include "backup/database_detection.h"

#include "platform/runtime_error.h"

namespace ch {

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

} // namespace ch
