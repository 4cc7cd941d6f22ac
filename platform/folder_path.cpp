#include "platform/folder_path.h"

#include <cctype>

#include "platform/ansi_path.h"
#include "platform/runtime_error.h"

namespace ch {

bool isDriveSpec(const std::string& s) {
    return s.size() >= 2 && std::isalpha(static_cast<unsigned char>(s[0])) && s[1] == ':' &&
           (s.size() == 2 || s[2] == ' ');
}

std::string folderPathOf(FileSystem& fs, const CodePage& codePage, const std::string& current,
                         const std::string& spec) {
    if (isDriveSpec(spec))
        return fs.currentFolder(spec[0]); // 68 when the drive is not ready
    if (spec.empty())
        throw RuntimeError(errPathNotFound);
    return normalFolderPath(current, spec, codePage.leadByteTest());
}

std::string openedFolder(FileSystem& fs, const CodePage& codePage, const std::string& spec) {
    const std::string folder = folderPathOf(fs, codePage, "", spec);
    fs.listFolders(folder);
    return folder;
}

} // namespace ch
