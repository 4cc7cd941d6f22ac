// Packs the files of a list file into an archive through the library's four entries, as
// the program does, and prints the result code. Used by bench/run.sh. On Windows the
// entries are bound by name from azip32.dll beside the program, like the program binds them.
// Natively, --chain N --lazy N (and --nice, --good) pack with other encoder settings
// instead, to place the encoder's speed against its size among the other tools.
#include <cstdio>
#include <cstdlib>
#include <cstring>

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

bool setting(int&, const char*, const char*) {
    return false;
}

int32_t runWith(const char*, const char*) {
    return 2;
}
#else
#include "azip32/make_archive.h"

namespace {

ch::azip::DeflateSettings settings;

int32_t run(const char* archive, const char* list) {
    addZIP_Initialise();
    addZIP_ArchiveName(archive);
    addZIP_IncludeListFile(list);
    return addZIP();
}

// Reads "--name value" into the encoder setting of that name.
bool setting(int& i, const char* name, const char* value) {
    int* target = std::strcmp(name, "--chain") == 0  ? &settings.maxChain
                  : std::strcmp(name, "--nice") == 0 ? &settings.niceLength
                  : std::strcmp(name, "--lazy") == 0 ? &settings.maxLazy
                  : std::strcmp(name, "--good") == 0 ? &settings.goodLength
                                                     : nullptr;
    if (!target || !value)
        return false;
    *target = std::atoi(value);
    i += 2;
    return true;
}

int32_t runWith(const char* archive, const char* list) {
    return ch::azip::makeArchive(archive, list, 0, settings).code;
}

} // namespace
#endif

int main(int argc, char** argv) {
    int i = 1;
    while (i + 1 < argc && std::strncmp(argv[i], "--", 2) == 0)
        if (!setting(i, argv[i], argv[i + 1]))
            break;
    if (argc - i != 2) {
        std::fprintf(stderr, "usage: azip_bench [--chain N --lazy N --nice N --good N] ARCHIVE "
                             "LISTFILE\n");
        return 2;
    }
    const int32_t result = i > 1 ? runWith(argv[i], argv[i + 1]) : run(argv[i], argv[i + 1]);
    if (result != AZIP_OK)
        std::fprintf(stderr, "addZIP: %d (%s)\n", static_cast<int>(result), azipResultText(result));
    return result;
}
