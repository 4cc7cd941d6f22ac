// Packs the files of a list file into an archive through the library's entries, as the
// program does, and prints the result code. Used by bench/run.sh. On Windows the entries are
// bound by name from azip32.dll beside the program, like the program binds them. Natively,
// --chain N --lazy N (and --nice, --good) pack with other encoder settings instead, to place
// the encoder's speed against its size among the other tools, and --progress listens to the
// progress reports as a front end would, to time what they cost (bench/progress.sh), and
// --password P encrypts the archive, to time what that costs (bench/encrypted.sh).
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "azip32/azip32.h"

namespace {
const char* password = nullptr;
} // namespace

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
    if (password)
        bind<TextArgument>(dll, "addZIP_SetPassword")(password);
    bind<TextArgument>(dll, "addZIP_ArchiveName")(archive);
    bind<TextArgument>(dll, "addZIP_IncludeListFile")(list);
    return bind<NoArgument>(dll, "addZIP")();
}

} // namespace

const bool listenToProgress = false; // the Windows driver times the entries as they are

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
bool listenToProgress = false;
uint32_t reports = 0;
std::atomic<uint32_t> lastDoneKiB{0};

// What a front end does with a report: note it where its window can read it, and go on.
int32_t AZIP_API noteProgress(int32_t, uint32_t doneKiB, uint32_t) {
    lastDoneKiB.store(doneKiB, std::memory_order_relaxed);
    ++reports;
    return 0;
}

int32_t run(const char* archive, const char* list) {
    addZIP_Initialise();
    if (password)
        addZIP_SetPassword(password);
    if (listenToProgress)
        addZIP_SetProgress(noteProgress);
    addZIP_ArchiveName(archive);
    addZIP_IncludeListFile(list);
    const int32_t result = addZIP();
    if (listenToProgress)
        std::fprintf(stderr, "progress: %u reports\n", static_cast<unsigned>(reports));
    return result;
}

// Reads "--name value" into the encoder setting of that name, or --progress.
bool setting(int& i, const char* name, const char* value) {
    if (std::strcmp(name, "--progress") == 0) {
        listenToProgress = true;
        ++i;
        return true;
    }
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
    while (i + 1 < argc && std::strncmp(argv[i], "--", 2) == 0) {
        if (std::strcmp(argv[i], "--password") == 0 && i + 2 < argc) {
            password = argv[i + 1];
            i += 2;
        } else if (!setting(i, argv[i], argv[i + 1])) {
            break;
        }
    }
    if (argc - i != 2) {
        std::fprintf(stderr, "usage: azip_bench [--password P] [--progress | --chain N --lazy N "
                             "--nice N --good N] ARCHIVE LISTFILE\n");
        return 2;
    }
    const bool encoderSettings = i > (password ? 3 : 1) && !listenToProgress;
    const int32_t result =
        encoderSettings ? runWith(argv[i], argv[i + 1]) : run(argv[i], argv[i + 1]);
    if (result != AZIP_OK)
        std::fprintf(stderr, "addZIP: %d (%s)\n", static_cast<int>(result), azipResultText(result));
    return result;
}
