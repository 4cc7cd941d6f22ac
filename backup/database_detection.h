#pragma once
// Where the messenger keeps its database, and what a folder holds of it.
#include <string>
#include <vector>

#include "platform/file_system.h"

namespace ch {

// The messenger keeps its database as these files in the "db" subfolder of its folder.
extern const char* const kDatabasePatterns; // "*.dat;*.idx"
// messengerFolder's "db" subfolder, joined as is: at a drive root this gives "C:\\db", which
// the file system resolves.
std::string databaseFolder(const std::string& messengerFolder);
// The database file name in messengerFolder's "db" subfolder.
std::string databaseFile(const std::string& messengerFolder, const std::string& name);

// What a messenger folder holds: the database files of its "db" subfolder, found when there
// is at least one. A subfolder that cannot be read holds none.
struct MessengerDatabase {
    bool found = false;
    bool readable = false;
    std::vector<std::string> files;
};
MessengerDatabase findMessengerDatabase(FileSystem& fs, const std::string& messengerFolder);

} // namespace ch
