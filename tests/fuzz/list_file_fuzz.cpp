// The list-file reader of azip32: parseListFile on any text, the file read agreeing with it,
// and a list of paths written as the program writes it coming back whole.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "azip32/failure.h"
#include "azip32/list_file.h"
#include "tests/fuzz/fuzz_support.h"

namespace ch::fuzz {
namespace {

bool isBlankLine(const std::string& line) {
    return line.find_first_not_of(" \t") == std::string::npos;
}

void checkParse(const std::string& text) {
    const std::vector<std::string> paths = azip::parseListFile(text);
    size_t lines = 1;
    for (char c : text)
        lines += c == '\n';
    FUZZ_CHECK(paths.size() <= lines);
    size_t from = 0;
    for (const std::string& p : paths) {
        FUZZ_CHECK(!isBlankLine(p));
        FUZZ_CHECK(p.find('\n') == std::string::npos);
        // Each path is a whole line of the text (bar its line end), in order.
        const auto wholeLineAt = [&](size_t at) {
            const size_t end = at + p.size();
            const std::string lineEnd = text.substr(end, 2);
            return (at == 0 || text[at - 1] == '\n') &&
                   (lineEnd.empty() || lineEnd[0] == '\n' || lineEnd == "\r\n" ||
                    (lineEnd == "\r" && end + 1 == text.size()));
        };
        size_t at = text.find(p, from);
        while (at != std::string::npos && !wholeLineAt(at))
            at = text.find(p, at + 1);
        FUZZ_CHECK(at != std::string::npos);
        from = at + p.size();
    }
}

// Paths as the ZIP backup writes them (one per line, CR LF) and as an editor might (LF, a
// missing last line end, blank lines between) all read back as the same list.
void roundTrip(Input& in) {
    std::vector<std::string> paths;
    std::string crlf, lf;
    while (!in.empty() && paths.size() < 50) {
        std::string p;
        for (char c : in.shortText(40))
            if (c != '\r' && c != '\n')
                p += c;
        if (isBlankLine(p)) {
            crlf += p + "\r\n";
            lf += "\t\n";
            continue;
        }
        paths.push_back(p);
        crlf += p + "\r\n";
        lf += p + "\n";
    }
    if (!lf.empty())
        lf.pop_back();
    FUZZ_CHECK(azip::parseListFile(crlf) == paths);
    FUZZ_CHECK(azip::parseListFile(lf) == paths);
}

// Reading the list from disk gives what parsing its text gives.
void readFromDisk(const std::string& text) {
    static const std::string path = [] {
        std::string pattern = "/tmp/chathoard-fuzz-list-XXXXXX";
        const int fd = mkstemp(pattern.data());
        FUZZ_CHECK(fd >= 0);
        close(fd);
        std::atexit([] { std::remove(path.c_str()); });
        return pattern;
    }();
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
    FUZZ_CHECK(azip::readListFile(path) == azip::parseListFile(text));
}

} // namespace
} // namespace ch::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    ch::fuzz::checkParse(text);
    ch::fuzz::readFromDisk(text);
    ch::fuzz::Input in(data, size);
    ch::fuzz::roundTrip(in);
    return 0;
}
