#include "platform/win32/win32_dll_binding.h"

#include <windows.h>

#include "platform/runtime_error.h"
#include "platform/win32/win32_text.h"

namespace ch {

DllBinding::DllBinding(std::string library) : library_(std::move(library)) {}

DllBinding::~DllBinding() {
    if (module_)
        FreeLibrary(static_cast<HMODULE>(module_));
}

void* DllBinding::entry(const char* name) {
    if (!module_) {
        // A bare system DLL name is loaded from the system folder only, so a stray copy in
        // the current folder is never picked up.
        std::wstring path = toWide(library_);
        if (library_.find_first_of("\\/") == std::string::npos) {
            wchar_t system[MAX_PATH];
            UINT n = GetSystemDirectoryW(system, MAX_PATH);
            if (n > 0 && n < MAX_PATH)
                path = std::wstring(system, n) + L"\\" + path;
        }
        HMODULE module = LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
        if (!module) {
            DWORD error = GetLastError();
            throw RuntimeError(errDllLoad, "Cannot load " + library_ + ": " + systemMessage(error),
                               error);
        }
        module_ = module;
    }
    FARPROC address = GetProcAddress(static_cast<HMODULE>(module_), name);
    if (!address)
        throw RuntimeError(errDllEntryPoint,
                           "Can't find DLL entry point " + std::string(name) + " in " + library_,
                           GetLastError());
    return reinterpret_cast<void*>(address);
}

} // namespace ch
