#include "selection/folder_detection.h"

#include "platform/runtime_error.h"

namespace ch {

const char* const kFoundCaption = "ICQ Directory found !";
const char* const kNotFoundCaption = "No ICQ Directory found";

void Dir1_Change(const FolderList& Dir1, FileList& File1, Label& Label1) {
    try {
        const std::string P = Dir1.Path();
        // Joined as is: at a drive root this gives "C:\\db", which the file list resolves.
        File1.setPath(P + "\\db");
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
