// Holds a file open the way a running messenger holds its database: read and write access, no
// sharing, so every other program's open of the file fails with a sharing violation. With
// --backup-lock it holds the machine's backup lock instead, as a running backup does. With
// --when-made it prints "watching", waits for the file to appear and opens it as a virus
// scanner does: others may read it, but not delete it. When the file is there but its open
// fails with a sharing violation, it prints "refused" and gives up, as a scanner skips a file
// it cannot open.
//   file_locker.exe <file>
//   file_locker.exe --backup-lock
//   file_locker.exe --when-made <file>
// Prints "locked" once the file or lock is held, then holds it until its standard input closes.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "platform/win32/win32_backup_lock.h"

namespace {

void holdUntilInputCloses() {
    std::printf("locked\n");
    std::fflush(stdout);
    char buffer[64];
    while (std::fgets(buffer, sizeof buffer, stdin)) {
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--when-made") == 0) {
        std::printf("watching\n");
        std::fflush(stdout);
        HANDLE file = INVALID_HANDLE_VALUE;
        for (int tries = 0; file == INVALID_HANDLE_VALUE && tries < 120000; ++tries) {
            file = CreateFileA(argv[2], GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
            if (file != INVALID_HANDLE_VALUE)
                break;
            if (GetLastError() == ERROR_SHARING_VIOLATION) {
                std::printf("refused\n");
                return 0;
            }
            Sleep(1);
        }
        if (file == INVALID_HANDLE_VALUE) {
            std::fprintf(stderr, "%s never appeared\n", argv[2]);
            return 1;
        }
        holdUntilInputCloses();
        CloseHandle(file);
        return 0;
    }
    if (argc != 2) {
        std::fprintf(stderr, "usage: file_locker <file> | --backup-lock | --when-made <file>\n");
        return 2;
    }
    if (std::strcmp(argv[1], "--backup-lock") == 0) {
        ch::Win32BackupLock lock;
        if (!lock.acquire(0)) {
            std::fprintf(stderr, "the backup lock is held by another program\n");
            return 1;
        }
        holdUntilInputCloses();
        return 0;
    }
    HANDLE file = CreateFileA(argv[1], GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        std::fprintf(stderr, "cannot open %s: error %lu\n", argv[1], GetLastError());
        return 1;
    }
    holdUntilInputCloses();
    CloseHandle(file);
    return 0;
}
