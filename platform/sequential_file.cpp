#include "platform/sequential_file.h"

#include "platform/runtime_error.h"

namespace ch {
namespace {

constexpr char kUtf8Bom[] = "\xEF\xBB\xBF";

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}
bool isLineEnd(char c) {
    return c == '\r' || c == '\n';
}

// Past one separator: a comma, or a line end (CR LF, CR or LF).
void skipSeparator(const std::string& text, size_t& pos) {
    if (pos >= text.size())
        return;
    if (text[pos] == ',') {
        ++pos;
    } else if (text[pos] == '\r') {
        ++pos;
        if (pos < text.size() && text[pos] == '\n')
            ++pos;
    } else if (text[pos] == '\n') {
        ++pos;
    }
}

} // namespace

bool readSequentialValue(const std::string& text, size_t& pos, std::string& value) {
    while (pos < text.size() && isBlank(text[pos]))
        ++pos;
    if (pos >= text.size())
        return false;
    value.clear();
    if (text[pos] == '"') {
        // A quote that is never closed ends at its line end, so it cannot swallow the lines
        // after it.
        size_t close = text.find('"', pos + 1);
        if (close == std::string::npos)
            close = text.find_first_of("\r\n", pos + 1);
        const size_t end = close == std::string::npos ? text.size() : close;
        value = text.substr(pos + 1, end - pos - 1);
        pos = end < text.size() && text[end] == '"' ? end + 1 : end;
        // Anything between the closing quote and the separator is not part of the value.
        while (pos < text.size() && text[pos] != ',' && !isLineEnd(text[pos]))
            ++pos;
    } else {
        const size_t start = pos;
        while (pos < text.size() && text[pos] != ',' && !isLineEnd(text[pos]))
            ++pos;
        value = text.substr(start, pos - start);
        while (!value.empty() && isBlank(value.back()))
            value.pop_back();
    }
    skipSeparator(text, pos);
    return true;
}

SequentialFile::~SequentialFile() {
    try {
        close();
    } catch (const RuntimeError&) {
        // Nothing to report to from a destructor; close() is the place to see write errors.
    }
}

void SequentialFile::openForInput(const std::string& path) {
    if (isOpen())
        throw RuntimeError(errFileAlreadyOpen);
    data_ = fs_.readAll(path);
    path_ = path;
    // Notepad saves "UTF-8" files with a byte order mark; it is not part of the first value
    // (a drive letter behind it would name no drive).
    pos_ = data_.rfind(kUtf8Bom, 0) == 0 ? sizeof kUtf8Bom - 1 : 0;
    mode_ = Mode::Input;
}

void SequentialFile::openForOutput(const std::string& path) {
    if (isOpen())
        throw RuntimeError(errFileAlreadyOpen);
    fs_.writeAll(path, {});
    path_ = path;
    data_.clear();
    mode_ = Mode::Output;
}

std::string SequentialFile::readValue() {
    if (mode_ != Mode::Input)
        throw RuntimeError(errBadFileNameOrNumber);
    std::string value;
    if (!readSequentialValue(data_, pos_, value))
        throw RuntimeError(errInputPastEnd);
    return value;
}

void SequentialFile::writeLine(const std::string& value) {
    if (mode_ != Mode::Output)
        throw RuntimeError(errBadFileNameOrNumber);
    data_ += value;
    data_ += "\r\n";
}

void SequentialFile::close() {
    const Mode was = mode_;
    mode_ = Mode::Closed; // closed even when the final write fails
    if (was == Mode::Output)
        fs_.writeAll(path_, data_);
    data_.clear();
}

} // namespace ch
