// Packs the files of a list file into an archive through the library's four entries, as
// the program does, and prints the result code. Used by bench/run.sh.
#include <cstdio>

#include "azip32/azip32.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: azip_bench ARCHIVE LISTFILE\n");
        return 2;
    }
    addZIP_Initialise();
    addZIP_ArchiveName(argv[1]);
    addZIP_IncludeListFile(argv[2]);
    const int32_t result = addZIP();
    if (result != AZIP_OK)
        std::fprintf(stderr, "addZIP: %d (%s)\n", static_cast<int>(result), azipResultText(result));
    return result;
}
