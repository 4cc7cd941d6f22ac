#include "platform/win32/win32_program_folder.h"

#include <windows.h>

#include "platform/win32/win32_text.h"

namespace ch {

std::string programFolder() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        path.resize(path.size() * 2);
    }
    if (path.rfind(L"\\\\?\\", 0) == 0 && path.size() > 6 && path[5] == L':')
        path.erase(0, 4);
    size_t cut = path.find_last_of(L"\\/");
    std::wstring folder = cut == std::wstring::npos ? path : path.substr(0, cut);
    if (folder.size() == 2 && folder[1] == L':')
        folder += L'\\';
    return toAnsi(folder);
}

} // namespace ch
