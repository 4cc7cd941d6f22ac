#pragma once
#include <string>
#include <vector>

#include "platform/controls.h"

namespace ch {

// The messenger keeps its database as these files in the "db" subfolder of its folder.
extern const char* const kDatabasePatterns; // "*.dat;*.idx"
// messengerFolder's "db" subfolder, joined as is: at a drive root this gives "C:\\db", which
// the file system resolves.
std::string databaseFolder(const std::string& messengerFolder);
// The database file name in messengerFolder's "db" subfolder.
std::string databaseFile(const std::string& messengerFolder, const std::string& name);

extern const char* const kFoundCaption;    // "ICQ Directory found !"
extern const char* const kNotFoundCaption; // "No ICQ Directory found"

// What a messenger folder holds: the database files of its "db" subfolder, found when there
// is at least one. A subfolder that cannot be read holds none.
struct MessengerDatabase {
    bool found = false;
    bool readable = false;
    std::vector<std::string> files;
};
MessengerDatabase findMessengerDatabase(FileSystem& fs, const std::string& messengerFolder);

// Raised by Dir1 after its Path changed: points File1 at Dir1's "db" subfolder and records in
// Label1 whether it holds database files.
void Dir1_Change(FileSystem& fs, const FolderList& Dir1, FileList& File1, Label& Label1);

} // namespace ch
