#include "platform/win32/win32_file_picker.h"

#include <windows.h>

#include <commdlg.h>

#include "platform/runtime_error.h"
#include "platform/win32/win32_dll_binding.h"

namespace ch {

std::optional<std::string> Win32FilePicker::openFile(const std::string& title,
                                                     const std::string& filter,
                                                     const std::string& initialFolder) {
    // The dialog wants its pairs separated by NULs and the list ended by two.
    std::string filters = filter;
    for (char& c : filters)
        if (c == '|')
            c = '\0';
    filters.append(2, '\0');
    char path[MAX_PATH * 4] = "";
    OPENFILENAMEA ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = GetActiveWindow();
    ofn.lpstrFilter = filters.c_str();
    ofn.lpstrFile = path;
    ofn.nMaxFile = sizeof path;
    ofn.lpstrTitle = title.c_str();
    ofn.lpstrInitialDir = initialFolder.empty() ? nullptr : initialFolder.c_str();
    // No change of the process's current folder: the folder lists start from it.
    ofn.Flags =
        OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_EXPLORER;
    // Loaded when first shown rather than by the loader: see the common controls in main.cpp.
    static DllBinding commonDialogs("comdlg32.dll");
    try {
        if (!commonDialogs.bind<BOOL(WINAPI*)(OPENFILENAMEA*)>("GetOpenFileNameA")(&ofn))
            return std::nullopt;
    } catch (const RuntimeError&) {
        return std::nullopt;
    }
    return std::string(path);
}

} // namespace ch
