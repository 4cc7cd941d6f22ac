#include "azip32/list_file.h"

#include "azip32/azip32.h"
#include "azip32/failure.h"
#include "azip32/file_io.h"

namespace ch::azip {
namespace {

// A list of paths is small, but a wrong file handed over as the list could be huge.
constexpr uint64_t kMaxListFileSize = 64u << 20;

bool isBlank(std::string_view line) {
    return line.find_first_not_of(" \t") == std::string_view::npos;
}

} // namespace

std::vector<std::string> parseListFile(std::string_view text) {
    std::vector<std::string> paths;
    while (!text.empty()) {
        const auto end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (!isBlank(line))
            paths.emplace_back(line);
    }
    return paths;
}

std::vector<std::string> readListFile(const std::string& path) {
    std::string text;
    try {
        File file = File::openRead(path);
        const uint64_t size = file.size();
        if (size > kMaxListFileSize)
            throw IoError("the list file " + path + " is too large to be a list of files");
        text.resize(static_cast<size_t>(size));
        if (size > 0)
            file.readAt(0, text.data(), text.size());
    } catch (const IoError& e) {
        throw Failure(AZIP_ERR_LIST_FILE, e.what());
    }
    return parseListFile(text);
}

} // namespace ch::azip
