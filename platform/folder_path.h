#pragma once
// Where a folder list goes: the path helper that the folder lists and the command line share.
#include <string>

#include "platform/code_page.h"
#include "platform/file_system.h"

namespace ch {

// Whether s names a drive rather than a folder: "c:", "C:" or a drive list entry "c: [LABEL]".
bool isDriveSpec(const std::string& s);

// The folder a folder list shows after setPath(spec) from current: a drive name gives that
// drive's current folder (68 when not ready), an empty spec 76. Whether it exists is not checked.
std::string folderPathOf(FileSystem& fs, const CodePage& codePage, const std::string& current,
                         const std::string& spec);

// folderPathOf from no folder, for a folder that must exist: listing it fails (76) when it
// does not.
std::string openedFolder(FileSystem& fs, const CodePage& codePage, const std::string& spec);

} // namespace ch
