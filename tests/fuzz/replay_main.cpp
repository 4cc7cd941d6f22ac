// The main of a fuzz target built without libFuzzer: feeds every file of the given corpus
// folders (and any files named directly) to the target once, in name order, so the checked-in
// corpus runs as a regression test with any compiler.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/fuzz/fuzz_support.h"

namespace {

std::vector<std::filesystem::path> inputsOf(const std::filesystem::path& arg) {
    if (!std::filesystem::is_directory(arg))
        return {arg};
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(arg))
        if (entry.is_regular_file())
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

} // namespace

int main(int argc, char** argv) {
    size_t replayed = 0;
    for (int i = 1; i < argc; ++i) {
        for (const auto& file : inputsOf(argv[i])) {
            std::ifstream in(file, std::ios::binary);
            if (!in) {
                std::fprintf(stderr, "cannot read %s\n", file.c_str());
                return 2;
            }
            const std::string data{std::istreambuf_iterator<char>(in), {}};
            std::printf("replaying %s\n", file.c_str());
            std::fflush(stdout); // the name stays on record if the target aborts
            LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(data.data()), data.size());
            ++replayed;
        }
    }
    // An empty or missing corpus would otherwise pass without testing anything.
    if (replayed == 0) {
        std::fprintf(stderr, "no inputs to replay\n");
        return 2;
    }
    std::printf("%zu inputs replayed\n", replayed);
    return 0;
}
