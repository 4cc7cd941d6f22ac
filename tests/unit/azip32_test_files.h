#pragma once
// Real files in a private temporary folder for the azip32 tests, and the independent
// archive readers (tests/archive/check_zip.py) that judge what the library wrote.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include <sys/stat.h>
#include <utime.h>

#include "azip32/azip32.h"

namespace ch::azip::test {

class TempDir {
  public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "azip32-test-XXXXXX");
        path_ = mkdtemp(pattern.data());
    }
    ~TempDir() { std::filesystem::remove_all(path_); }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    std::string operator/(const std::string& name) const { return path_ + "/" + name; }
    const std::string& path() const { return path_; }
    std::vector<std::string> names() const {
        std::vector<std::string> out;
        for (const auto& e : std::filesystem::directory_iterator(path_))
            out.push_back(e.path().filename().string());
        return out;
    }

  private:
    std::string path_;
};

inline void writeFile(const std::string& path, const std::string& bytes, int64_t mtime = 0) {
    std::ofstream(path, std::ios::binary) << bytes;
    if (mtime != 0) {
        const utimbuf times{static_cast<time_t>(mtime), static_cast<time_t>(mtime)};
        utime(path.c_str(), &times);
    }
}

inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// Bytes that deflate cannot shrink.
inline std::string noise(size_t size, uint32_t seed) {
    std::string out(size, '\0');
    for (char& c : out) {
        seed = seed * 1664525u + 1013904223u;
        c = static_cast<char>(seed >> 24);
    }
    return out;
}

// Text that deflate shrinks well, but not to nothing.
inline std::string chat(size_t size, uint32_t seed) {
    static const char* words[] = {"hello ",  "how ", "are ", "you ",      "today ", "fine ",
                                  "thanks ", ":) ",  "see ", "tomorrow ", "ok\r\n", "bye "};
    std::string out;
    while (out.size() < size) {
        seed = seed * 1664525u + 1013904223u;
        out += words[(seed >> 16) % 12];
        if ((seed & 0xFF) < 8)
            out += std::to_string(seed);
    }
    out.resize(size);
    return out;
}

// The list file as the program writes it: one path per line, CR LF.
inline std::string writeList(const TempDir& dir, const std::vector<std::string>& paths) {
    std::string text;
    for (const auto& p : paths)
        text += p + "\r\n";
    const std::string list = dir / "icqtemp.dat";
    writeFile(list, text);
    return list;
}

// The program's calling sequence.
inline int32_t addZip(const std::string& archive, const std::string& list) {
    addZIP_Initialise();
    addZIP_ArchiveName(archive.c_str());
    addZIP_IncludeListFile(list.c_str());
    return addZIP();
}

inline std::string hex(const std::string& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (const unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

struct CheckResult {
    int status;
    std::string output;
};

// Runs the independent readers on an archive that should hold exactly these entries
// (entry name, file with the expected bytes), in this order.
inline CheckResult checkZip(const TempDir& dir, const std::string& archive,
                            const std::vector<std::pair<std::string, std::string>>& entries) {
    std::string manifest;
    for (const auto& [name, path] : entries)
        manifest += hex(name) + " " + hex(path) + "\n";
    writeFile(dir / "manifest.txt", manifest);
    // ctest sets the source folder; run by hand, this header's own path gives it.
    const char* source = std::getenv("CHATHOARD_SOURCE_DIR");
    const std::string root =
        source ? source
               : std::filesystem::path(__FILE__).parent_path().parent_path().parent_path().string();
    const std::string script = root + "/tests/archive/check_zip.py";
    const std::string output = dir / "check.out";
    const std::string command = "python3 '" + script + "' '" + archive + "' '" +
                                (dir / "manifest.txt") + "' > '" + output + "' 2>&1";
    const int status = std::system(command.c_str());
    std::filesystem::remove(dir / "manifest.txt");
    CheckResult result{status, readFile(output)};
    std::filesystem::remove(output);
    return result;
}

} // namespace ch::azip::test
