// How long the folder list and the file list take to fill a large folder, through the
// program's own models and views on real Win32 list boxes:
//   list_fill_bench.exe <folder with many subfolders> <db folder with many files>
// Prints one line per list with the best of five fills in seconds.
#include <windows.h>

#include <cstdio>
#include <functional>
#include <string>

#include "platform/controls.h"
#include "platform/win32/gui_views.h"
#include "platform/win32/win32_file_system.h"

namespace {

double seconds(const std::function<void()>& fill) {
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    double best = 1e9;
    for (int run = 0; run < 5; ++run) {
        QueryPerformanceCounter(&start);
        fill();
        QueryPerformanceCounter(&end);
        const double s = double(end.QuadPart - start.QuadPart) / double(frequency.QuadPart);
        best = s < best ? s : best;
    }
    return best;
}

HWND makeList(HWND parent, DWORD style) {
    return CreateWindowExA(0, "LISTBOX", "", WS_CHILD | WS_VSCROLL | LBS_HASSTRINGS | style, 0, 0,
                           200, 200, parent, nullptr, GetModuleHandleA(nullptr), nullptr);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: list_fill_bench <folder> <db folder>\n");
        return 2;
    }
    ch::Win32FileSystem fs;
    HWND window = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);

    ch::FolderList folders(fs, ch::systemCodePage());
    ch::gui::FolderListView folderView(makeList(window, LBS_OWNERDRAWFIXED), folders,
                                       [](const std::function<void()>& action) { action(); });
    const double folderSeconds = seconds([&] {
        folders.init(argv[1]);
        folderView.refresh();
    });

    ch::FileList files(fs, "*.dat;*.idx");
    ch::gui::FileListView fileView(makeList(window, 0), files);
    const double fileSeconds = seconds([&] {
        files.setPath(argv[2]);
        fileView.refresh();
    });

    std::printf("folder list: %zu items in %.3f s\n", folders.items().size(), folderSeconds);
    std::printf("file list: %d files in %.3f s\n", files.ListCount(), fileSeconds);
    DestroyWindow(window);
    return 0;
}
