// The ZIP writer fed odd names and sizes: real files in a temporary folder (names with
// spaces, control characters, backslashes, bytes that are not UTF-8; empty files, files of
// one byte, files across the writer's block boundary, incompressible ones), the same file
// listed twice, blank lines in the list, an earlier archive to replace. The archive must be
// written, and must read back entry by entry through the small reader below, which shares no
// code with the library.
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>
#include <zlib.h>

#include "azip32/azip32.h"
#include "azip32/make_archive.h"
#include "tests/fuzz/fuzz_support.h"

namespace ch::fuzz {
namespace {

namespace fs = std::filesystem;

uint32_t u16(const std::string& b, size_t at) {
    FUZZ_CHECK(at + 2 <= b.size());
    return uint8_t(b[at]) | uint8_t(b[at + 1]) << 8;
}
uint32_t u32(const std::string& b, size_t at) {
    return u16(b, at) | u16(b, at + 2) << 16;
}

struct ReadEntry {
    std::string name;
    bool utf8Flag = false;
    std::string data;
};

// The classic end record, the central directory and each local header, as APPNOTE lays them
// out; the archives written here never need ZIP64 and carry no comment.
std::vector<ReadEntry> readZip(const std::string& zip) {
    FUZZ_CHECK(zip.size() >= 22);
    const size_t end = zip.size() - 22;
    FUZZ_CHECK(u32(zip, end) == 0x06054b50);
    const uint32_t count = u16(zip, end + 10);
    const uint32_t cdSize = u32(zip, end + 12);
    const uint32_t cdOffset = u32(zip, end + 16);
    FUZZ_CHECK(u16(zip, end + 8) == count && cdOffset + uint64_t(cdSize) == end);
    std::vector<ReadEntry> entries;
    size_t at = cdOffset;
    for (uint32_t i = 0; i < count; ++i) {
        FUZZ_CHECK(u32(zip, at) == 0x02014b50);
        const uint32_t flags = u16(zip, at + 8), method = u16(zip, at + 10);
        const uint32_t crc = u32(zip, at + 16), packed = u32(zip, at + 20),
                       size = u32(zip, at + 24);
        const uint32_t nameLen = u16(zip, at + 28), extraLen = u16(zip, at + 30);
        const uint32_t local = u32(zip, at + 42);
        ReadEntry e;
        e.name = zip.substr(at + 46, nameLen);
        e.utf8Flag = flags & 0x800;
        at += 46 + nameLen + extraLen + u16(zip, at + 32);

        FUZZ_CHECK(u32(zip, local) == 0x04034b50);
        FUZZ_CHECK(u16(zip, local + 6) == flags && u16(zip, local + 8) == method);
        FUZZ_CHECK(u32(zip, local + 14) == crc && u32(zip, local + 18) == packed &&
                   u32(zip, local + 22) == size);
        const uint32_t localNameLen = u16(zip, local + 26);
        FUZZ_CHECK(zip.compare(local + 30, localNameLen, e.name) == 0);
        const size_t dataAt = local + 30 + localNameLen + u16(zip, local + 28);
        FUZZ_CHECK(dataAt + packed <= cdOffset);
        const std::string data = zip.substr(dataAt, packed);
        FUZZ_CHECK(method == 0 || method == 8);
        e.data = method == 0 ? data : inflateExactly(data, size);
        FUZZ_CHECK(e.data.size() == size);
        FUZZ_CHECK(crc32(0, reinterpret_cast<const Bytef*>(e.data.data()), e.data.size()) == crc);
        entries.push_back(std::move(e));
    }
    FUZZ_CHECK(at == end);
    return entries;
}

bool validUtf8(const std::string& s) {
    for (size_t i = 0; i < s.size();) {
        const uint8_t b = s[i];
        const size_t n = b < 0x80                 ? 1
                         : b >= 0xC2 && b <= 0xDF ? 2
                         : b >= 0xE0 && b <= 0xEF ? 3
                         : b >= 0xF0 && b <= 0xF4 ? 4
                                                  : 0;
        if (n == 0 || i + n > s.size())
            return false;
        uint32_t cp = n == 1 ? b : b & (0x7F >> n);
        for (size_t k = 1; k < n; ++k) {
            if ((uint8_t(s[i + k]) & 0xC0) != 0x80)
                return false;
            cp = cp << 6 | (uint8_t(s[i + k]) & 0x3F);
        }
        if ((n == 3 && cp < 0x800) || (n == 4 && cp < 0x10000) || cp > 0x10FFFF ||
            (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += n;
    }
    return true;
}

std::string latin1ToUtf8(const std::string& s) {
    std::string out;
    for (const char c : s) {
        const uint8_t b = c;
        if (b < 0x80) {
            out += c;
        } else {
            out += char(0xC0 | b >> 6);
            out += char(0x80 | (b & 0x3F));
        }
    }
    return out;
}

// A file name from fuzzed bytes that a POSIX folder can hold.
std::string fileName(const std::string& raw, size_t index) {
    std::string name;
    for (char c : raw)
        if (c != '\0' && c != '/' && c != '\r' && c != '\n')
            name += c;
    if (name.empty() || name == "." || name == ".." ||
        name.find_first_not_of(" \t") == std::string::npos)
        name = "f" + std::to_string(index) + name;
    if (name.back() == '\\')
        name += 'x'; // a listed path ending in a separator names a folder, not a file
    return name;
}

std::string content(Input& in, uint8_t kind, size_t& budget) {
    std::string data;
    switch (kind) {
    case 0:
        return in.shortText(255);
    case 1: { // one run of a byte, possibly past a 512 KiB block
        const size_t size = std::min<size_t>(in.number(1 << 20), budget);
        data.assign(size, char(in.byte()));
        break;
    }
    case 2: { // noise that deflate cannot shrink
        uint32_t seed = in.number(UINT32_MAX) | 1;
        data.resize(std::min<size_t>(in.number(700000), budget));
        for (char& c : data) {
            seed = seed * 1103515245u + 12345u;
            c = char(seed >> 24);
        }
        break;
    }
    default: { // a short pattern repeated
        const std::string unit = in.shortText(16);
        const size_t size = std::min<size_t>(in.number(70000), budget);
        while (!unit.empty() && data.size() < size)
            data += unit;
    }
    }
    budget -= std::min(budget, data.size());
    return data;
}

std::string readFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

const fs::path& workFolder() {
    static const fs::path root = [] {
        std::string pattern = (fs::temp_directory_path() / "chathoard-fuzz-zip-XXXXXX").string();
        FUZZ_CHECK(mkdtemp(pattern.data()) != nullptr);
        std::atexit([] { fs::remove_all(root); });
        return fs::path(pattern);
    }();
    return root;
}

void run(Input& in) {
    const fs::path& root = workFolder();
    for (const auto& e : fs::directory_iterator(root))
        fs::remove_all(e.path());
    const unsigned threads = 1 + in.byte() % 2;
    const uint8_t options = in.byte();
    const std::string lineEnd = options & 1 ? "\r\n" : "\n";

    std::string list;
    std::vector<fs::path> listed;
    size_t budget = 1'500'000;
    const size_t count = in.byte() % 9;
    for (size_t i = 0; i < count; ++i) {
        const uint8_t flags = in.byte();
        const fs::path folder = root / ("s" + std::to_string(flags & 3));
        fs::create_directories(folder);
        const fs::path path = folder / fileName(in.shortText(60), i);
        if (flags & 0x40 && !listed.empty()) {
            list += listed.back().string() + lineEnd; // the same file listed again
            listed.push_back(listed.back());
        }
        std::ofstream(path, std::ios::binary) << content(in, flags >> 2 & 3, budget);
        if (flags & 0x80)
            list += (flags & 0x10 ? " \t" : "") + lineEnd; // a blank line between
        list += path.string() + lineEnd;
        listed.push_back(path);
    }
    if (options & 2 && !list.empty())
        list.resize(list.size() - lineEnd.size()); // no line end after the last path
    const fs::path listPath = root / "icqtemp.dat";
    std::ofstream(listPath, std::ios::binary) << list;
    const fs::path archive = root / "chathoard.zip";
    if (options & 4)
        std::ofstream(archive, std::ios::binary) << "an earlier archive";

    const azip::ArchiveResult result = azip::makeArchive(archive, listPath, threads);
    if (result.code != AZIP_OK)
        std::fprintf(stderr, "makeArchive: %d %s\n", result.code, result.detail.c_str());
    FUZZ_CHECK(result.code == AZIP_OK);

    const std::vector<ReadEntry> entries = readZip(readFile(archive));
    FUZZ_CHECK(entries.size() == listed.size());
    for (size_t i = 0; i < listed.size(); ++i) {
        const std::string full = listed[i].string();
        const std::string bare = full.substr(full.find_last_of("\\/") + 1);
        const bool ascii =
            std::all_of(bare.begin(), bare.end(), [](char c) { return uint8_t(c) < 0x80; });
        FUZZ_CHECK(entries[i].utf8Flag == !ascii);
        FUZZ_CHECK(entries[i].name == (validUtf8(bare) ? bare : latin1ToUtf8(bare)));
        FUZZ_CHECK(entries[i].data == readFile(listed[i]));
    }
    // Nothing of the writer's is left beside the archive.
    for (const auto& e : fs::directory_iterator(root)) {
        const std::string name = e.path().filename().string();
        FUZZ_CHECK(name == "chathoard.zip" || name == "icqtemp.dat" || name[0] == 's');
    }
}

} // namespace
} // namespace ch::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ch::fuzz::Input in(data, size);
    ch::fuzz::run(in);
    return 0;
}
