// Packs the files of a list file into an archive through the library's four entries, as
// the program does, and prints the result code. Used by bench/run.sh. On Windows the
// entries are bound by name from azip32.dll beside the program, like the program binds them.
#include <cstdio>

#include "azip32/azip32.h"

#ifdef _WIN32
#include <windows.h>

namespace {

template <typename Entry> Entry bind(HMODULE dll, const char* name) {
    const auto entry = reinterpret_cast<Entry>(reinterpret_cast<void*>(GetProcAddress(dll, name)));
    if (!entry) {
        std::fprintf(stderr, "azip32.dll has no entry %s\n", name);
        ExitProcess(2);
    }
    return entry;
}

int32_t run(const char* archive, const char* list) {
    const HMODULE dll = LoadLibraryA("azip32.dll");
    if (!dll) {
        std::fprintf(stderr, "cannot load azip32.dll\n");
        return 2;
    }
    using NoArgument = int32_t(__stdcall*)();
    using TextArgument = int32_t(__stdcall*)(const char*);
    bind<NoArgument>(dll, "addZIP_Initialise")();
    bind<TextArgument>(dll, "addZIP_ArchiveName")(archive);
    bind<TextArgument>(dll, "addZIP_IncludeListFile")(list);
    return bind<NoArgument>(dll, "addZIP")();
}

} // namespace
#else
namespace {

int32_t run(const char* archive, const char* list) {
    addZIP_Initialise();
    addZIP_ArchiveName(archive);
    addZIP_IncludeListFile(list);
    return addZIP();
}

} // namespace
#endif

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: azip_bench ARCHIVE LISTFILE\n");
        return 2;
    }
    const int32_t result = run(argv[1], argv[2]);
    if (result != AZIP_OK)
        std::fprintf(stderr, "addZIP: %d (%s)\n", static_cast<int>(result), azipResultText(result));
    return result;
}
