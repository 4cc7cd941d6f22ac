#include "platform/controls.h"

#include <cctype>

#include "platform/ansi_path.h"
#include "platform/folder_path.h"
#include "platform/runtime_error.h"

namespace ch {
namespace {

void notify(const std::function<void()>& f) {
    if (f)
        f();
}

std::string driveEntry(const DriveInfo& d) {
    std::string text{lowerCase(d.letter), ':'};
    if (!d.label.empty())
        text += " [" + d.label + "]";
    return text;
}

} // namespace

void Label::setCaption(const std::string& caption) {
    if (caption == caption_)
        return;
    caption_ = caption;
    notify(onUpdate);
}

void TextBox::setText(const std::string& text) {
    if (text == text_)
        return;
    text_ = text;
    notify(onUpdate);
}

// --- DriveList -----------------------------------------------------------------------------

void DriveList::init(const std::string& folder) {
    entries_.clear();
    for (const auto& d : fs_.drives())
        entries_.push_back(driveEntry(d));
    drive_.clear();
    const char letter = folder.empty() ? 'c' : lowerCase(folder[0]);
    for (const auto& e : entries_)
        if (e[0] == letter)
            drive_ = e;
    if (drive_.empty() && !entries_.empty())
        drive_ = entries_.front();
}

void DriveList::setDrive(const std::string& spec) {
    if (spec.empty() || !std::isalpha(static_cast<unsigned char>(spec[0])))
        throw RuntimeError(errDeviceUnavailable);
    const char letter = lowerCase(spec[0]);
    // Asks the system afresh: a drive that has gone away since the list was read is refused.
    const auto present = fs_.drives();
    std::string entry;
    for (const auto& d : present)
        if (lowerCase(d.letter) == letter)
            entry = driveEntry(d);
    if (entry.empty())
        throw RuntimeError(errDeviceUnavailable);
    bool listed = false;
    for (const auto& e : entries_)
        listed = listed || e[0] == letter;
    if (!listed) {
        entries_.clear();
        for (const auto& d : present)
            entries_.push_back(driveEntry(d));
    }
    if (!drive_.empty() && drive_[0] == letter)
        return;
    drive_ = entry;
    notify(onUpdate);
    notify(Change);
}

void DriveList::pick(const std::string& entry) {
    if (entry.empty() || (!drive_.empty() && drive_[0] == lowerCase(entry[0])))
        return;
    drive_ = entry;
    notify(onUpdate);
    notify(Change);
}

void DriveList::Refresh() {
    entries_.clear();
    for (const auto& d : fs_.drives()) {
        entries_.push_back(driveEntry(d));
        if (!drive_.empty() && entries_.back()[0] == drive_[0])
            drive_ = entries_.back();
    }
    notify(onUpdate);
}

int DriveList::selectedIndex() const {
    for (size_t i = 0; i < entries_.size(); ++i)
        if (!drive_.empty() && entries_[i][0] == drive_[0])
            return static_cast<int>(i);
    return -1;
}

// --- FolderList ----------------------------------------------------------------------------

void FolderList::init(const std::string& path) {
    path_ = normalFolderPath("C:\\", path, codePage_.leadByteTest());
    try {
        reload();
    } catch (const RuntimeError&) {
        reload({});
    }
}

void FolderList::setPath(const std::string& spec) {
    const std::string next = folderPathOf(fs_, codePage_, path_, spec);
    // Listing first makes a missing folder fail before anything changes.
    auto subfolders = fs_.listFolders(next);
    if (equalNoCase(next, path_, codePage_.leadByteTest()))
        return;
    path_ = next;
    reload(subfolders);
    notify(onUpdate);
    notify(Change);
}

void FolderList::reload() {
    reload(fs_.listFolders(path_));
}

void FolderList::reload(const std::vector<std::string>& subfolders) {
    items_.clear();
    std::string root = path_.substr(0, 3);
    items_.push_back({std::string{lowerCase(root[0]), ':', '\\'}, root, 0, true});
    std::string walked = root;
    size_t pos = 3;
    int depth = 1;
    while (pos < path_.size()) {
        size_t end = nextSeparator(path_, pos, '\\', codePage_.leadByteTest());
        if (end == std::string::npos)
            end = path_.size();
        const std::string name = path_.substr(pos, end - pos);
        walked += (depth > 1 ? "\\" : "") + name;
        items_.push_back({name, walked, depth++, true});
        pos = end + 1;
    }
    const std::string prefix = path_.size() == 3 ? path_ : path_ + "\\";
    for (const auto& name : subfolders)
        items_.push_back({name, prefix + name, depth, false});
}

int FolderList::pathIndex() const {
    int index = 0;
    for (size_t i = 0; i < items_.size(); ++i)
        if (items_[i].open)
            index = static_cast<int>(i);
    return index;
}

void FolderList::open(int index) {
    if (index < 0 || index >= static_cast<int>(items_.size()))
        throw RuntimeError(errInvalidProcedureCall);
    setPath(items_[static_cast<size_t>(index)].path);
}

// --- FileList ------------------------------------------------------------------------------

void FileList::init(const std::string& path) {
    path_ = path;
    try {
        files_ = fs_.listFiles(path, pattern_);
    } catch (const RuntimeError&) {
        files_.clear();
    }
}

void FileList::setPath(const std::string& path) {
    show(path, fs_.listFiles(path, pattern_)); // 76 for a missing folder, nothing changed
}

void FileList::show(const std::string& path, std::vector<std::string> files) {
    path_ = path;
    files_ = std::move(files);
    notify(onUpdate);
}

int16_t FileList::ListCount() const {
    return files_.size() > 32767 ? int16_t{32767} : static_cast<int16_t>(files_.size());
}

const std::string& FileList::List(int index) const {
    if (index < 0 || index >= ListCount())
        throw RuntimeError(errInvalidProcedureCall);
    return files_[static_cast<size_t>(index)];
}

} // namespace ch
