#pragma once
// Portable models of the window's controls. Each holds its state, does its file-system work
// through FileSystem and raises Change synchronously, before the assignment that caused it
// returns, and only when the value really changes; a handler may therefore run nested inside
// itself. onUpdate tells a view to redraw; it never runs program logic.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/file_system.h"

namespace ch {

class Label {
  public:
    explicit Label(std::string caption = {}) : caption_(std::move(caption)) {}
    const std::string& Caption() const { return caption_; }
    void setCaption(const std::string& caption);
    std::function<void()> onUpdate;

  private:
    std::string caption_;
};

class TextBox {
  public:
    const std::string& Text() const { return text_; }
    void setText(const std::string& text);
    std::function<void()> onUpdate;

  private:
    std::string text_;
};

// Drive list: one entry per drive, written as the classic control does: "c:" or "c: [LABEL]".
class DriveList {
  public:
    explicit DriveList(FileSystem& fs) : fs_(fs) {}
    // Reads the drives and selects the drive of folder (no Change raised).
    void init(const std::string& folder);
    // The selected entry's text, e.g. "c: [SYSTEM]"; a FolderList accepts it as a path.
    const std::string& Drive() const { return drive_; }
    // Selects the drive named by the first letter of spec. 68 when no such drive is present.
    // Raises Change when the drive letter differs from the current one.
    void setDrive(const std::string& spec);
    // The user's pick of an entry as the list shows it. Unlike setDrive it does not ask the
    // system first: a drive that has gone since the list was read (a USB stick pulled out) is
    // selected all the same and Change raised, so the change handler finds it not ready and
    // says so, as for an empty diskette drive. Raises Change when the letter differs.
    void pick(const std::string& entry);
    // Re-reads the drives, keeps the selected drive, raises nothing.
    void Refresh();
    const std::vector<std::string>& entries() const { return entries_; }
    int selectedIndex() const;

    std::function<void()> Change;
    std::function<void()> onUpdate;

  private:
    FileSystem& fs_;
    std::vector<std::string> entries_;
    std::string drive_;
};

// One line of a folder list as the classic control shows it.
struct FolderItem {
    std::string text;  // "c:\" for the root, else the folder name
    std::string path;  // full path that opening the item assigns
    int depth = 0;     // indentation level
    bool open = false; // ancestors (and Path itself) are open folders, subfolders closed
};

// Folder list: Path with no trailing backslash except at a root such as "c:\".

class FolderList {
  public:
    FolderList(FileSystem& fs, const CodePage& codePage) : fs_(fs), codePage_(codePage) {}
    void init(const std::string& path); // no Change raised
    const std::string& Path() const { return path_; }
    // A drive name ("d:", "d: [DATA]") moves to that drive's current folder (68 when
    // not ready); any other text must name an existing folder (76). Path keeps its old value
    // on failure. Raises Change when the path really changes (case-insensitive comparison).
    void setPath(const std::string& path);
    const std::vector<FolderItem>& items() const { return items_; }
    int pathIndex() const; // index of the item that is Path itself
    void open(int index);  // double-click / Enter on an item

    std::function<void()> Change;
    std::function<void()> onUpdate;

  private:
    void reload();
    void reload(const std::vector<std::string>& subfolders);
    FileSystem& fs_;
    const CodePage& codePage_;
    std::string path_;
    std::vector<FolderItem> items_;
};

// File list: the files of Path matching Pattern ("*.dat;*.idx").
class FileList {
  public:
    explicit FileList(FileSystem& fs, std::string pattern = "*.*")
        : fs_(fs), pattern_(std::move(pattern)) {}
    void init(const std::string& path); // lists without raising anything; ignores failure
    const std::string& Path() const { return path_; }
    // Existing folder: re-reads the list. Missing folder: throws 76, keeps Path and list.
    void setPath(const std::string& path);
    // Shows files as the list of path, as setPath would after listing it.
    void show(const std::string& path, std::vector<std::string> files);
    const std::string& Pattern() const { return pattern_; }
    int16_t ListCount() const;
    const std::string& List(int index) const; // 5 (invalid procedure call) when out of range

    std::function<void()> onUpdate;

  private:
    FileSystem& fs_;
    std::string pattern_;
    std::string path_;
    std::vector<std::string> files_;
};

} // namespace ch
