// How long the program's own Normal Backup takes inside one process, without Wine's start-up:
//   normal_backup_bench.exe <messenger folder> <destination folder> [runs]
// The messenger folder holds the database in its db subfolder. Each run is timed twice: into
// an empty destination, and again over the copies that run left (replacing an earlier
// backup), and once more as the ZIP Backup stages them: the same copies without the flush.
// Prints the best of the runs for each, in seconds and MB/s.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/backup_messages.h"
#include "app/selection_handlers.h"
#include "backup/database_detection.h"
#include "backup/normal_backup.h"
#include "platform/controls.h"
#include "platform/runtime_error.h"
#include "platform/win32/win32_platform.h"

namespace {

double now() {
    LARGE_INTEGER frequency, counter;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    return double(counter.QuadPart) / double(frequency.QuadPart);
}

double megabytes(const ch::FileList& files, const std::string& folder) {
    double bytes = 0;
    for (int i = 0; i < files.ListCount(); ++i) {
        WIN32_FILE_ATTRIBUTE_DATA data;
        if (GetFileAttributesExA((folder + "\\" + files.List(i)).c_str(), GetFileExInfoStandard,
                                 &data))
            bytes += double(data.nFileSizeHigh) * 4294967296.0 + data.nFileSizeLow;
    }
    return bytes / 1e6;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3 || argc > 4) {
        std::fprintf(stderr,
                     "usage: normal_backup_bench <messenger folder> <destination> [runs]\n");
        return 2;
    }
    const int runs = argc == 4 ? std::atoi(argv[3]) : 5;
    ch::AppObject App;
    ch::Win32Platform platform(App);
    ch::Win32FileSystem& fs = platform.fs;
    ch::FolderList Dir1(fs, ch::systemCodePage()), Dir2(fs, ch::systemCodePage());
    ch::FileList File1(fs, "*.dat;*.idx");
    ch::Label Label1(ch::kNotFoundCaption);
    Dir1.Change = [&] { ch::Dir1_Change(fs, Dir1, File1, Label1); };
    try {
        Dir1.setPath(argv[1]);
        Dir2.setPath(argv[2]);
    } catch (const ch::RuntimeError& e) {
        std::fprintf(stderr, "%s\n", e.description().c_str());
        return 1;
    }
    ch::BackupJob job;
    job.messengerFolder = Dir1.Path();
    for (int i = 0; i < File1.ListCount(); ++i)
        job.databaseFiles.push_back(File1.List(i));
    job.destination = Dir2.Path();
    job.stagingDrive = std::string(1, 'C');
    job.programFolder = App.Path;
    const double mb = megabytes(File1, Dir1.Path() + "\\db");

    const auto clearDestination = [&] {
        for (int i = 0; i < File1.ListCount(); ++i)
            DeleteFileA((Dir2.Path() + "\\" + File1.List(i)).c_str());
    };
    double bestFresh = 1e9, bestReplace = 1e9, bestStaging = 1e9;
    for (int run = 0; run < runs; ++run) {
        clearDestination();
        for (double* best : {&bestFresh, &bestReplace}) {
            const double start = now();
            const ch::BackupResult result =
                ch::normalBackup(job, {fs, platform.archiver, ch::systemCodePage()});
            if (result.outcome != ch::BackupOutcome::Done) {
                std::fprintf(stderr, "%s\n", ch::backupMessage(job, result).text.c_str());
                return 1;
            }
            const double seconds = now() - start;
            *best = seconds < *best ? seconds : *best;
        }
        clearDestination();
        const double start = now();
        try {
            for (int i = 0; i < File1.ListCount(); ++i)
                fs.copyFile(Dir1.Path() + "\\db\\" + File1.List(i),
                            Dir2.Path() + "\\" + File1.List(i), ch::CopyFlush::NotNeeded);
        } catch (const ch::RuntimeError& e) {
            std::fprintf(stderr, "%s\n", e.description().c_str());
            return 1;
        }
        const double seconds = now() - start;
        bestStaging = seconds < bestStaging ? seconds : bestStaging;
    }
    std::printf("files %d, %.1f MB, best of %d\n", File1.ListCount(), mb, runs);
    std::printf("new destination: %.3f s, %.1f MB/s\n", bestFresh, mb / bestFresh);
    std::printf("replacing: %.3f s, %.1f MB/s\n", bestReplace, mb / bestReplace);
    std::printf("staging copies: %.3f s, %.1f MB/s\n", bestStaging, mb / bestStaging);
    return 0;
}
