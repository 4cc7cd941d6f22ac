#pragma once
// Sequential text file number 1 of the classic runtime, as the settings and list files use it.
#include <string>

#include "platform/file_system.h"

namespace ch {

class SequentialFile {
  public:
    explicit SequentialFile(FileSystem& fs) : fs_(fs) {}
    ~SequentialFile(); // closes silently, writing what was written so far
    // 53 when missing. 55 when this file number is already open. A UTF-8 byte order mark at
    // the start is skipped.
    void openForInput(const std::string& path);
    // Creates or truncates at once. 55 when already open.
    void openForOutput(const std::string& path);
    // One value: up to a comma or the line end, surrounding blanks dropped, enclosing double
    // quotes removed. 62 at the end of the file (so a file of no bytes fails).
    std::string readValue();
    // Writes the value as one line of ANSI text ending in CR LF.
    void writeLine(const std::string& value);
    // Flushes output to disk; closing a closed file does nothing.
    void close();
    bool isOpen() const { return mode_ != Mode::Closed; }

  private:
    enum class Mode { Closed, Input, Output };
    FileSystem& fs_;
    Mode mode_ = Mode::Closed;
    std::string path_;
    std::string data_;
    size_t pos_ = 0;
};

// The value reader on its own, for tests and fuzzing: reads one value from text at pos,
// advancing pos past the value and its separator. Returns false at the end of the text.
bool readSequentialValue(const std::string& text, size_t& pos, std::string& value);

} // namespace ch
