#include "platform/win32/win32_code_page.h"

#include <windows.h>

#include "platform/win32/win32_text.h"

namespace ch {

LeadByteTest Win32CodePage::leadByteTest() const {
    return isAnsiLeadByte;
}

bool Win32CodePage::ansiFromUtf8(const std::string& utf8, std::string& ansi) const {
    const int size = static_cast<int>(utf8.size());
    const int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, nullptr, 0);
    if (n <= 0 && !utf8.empty()) {
        ansi.assign(utf8.size(), '?');
        return false;
    }
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), n);
    // Best-fit mapping would turn a character into a different one ("\u0141" into "L"): only
    // a name that survives the trip back is the same name.
    ansi = toAnsi(wide);
    return fitsAnsi(wide);
}

std::string Win32CodePage::caseFolded(const std::string& name) const {
    std::wstring wide = toWide(name);
    if (!wide.empty())
        CharUpperBuffW(wide.data(), static_cast<DWORD>(wide.size()));
    return toAnsi(wide);
}

const Win32CodePage& systemCodePage() {
    static const Win32CodePage codePage;
    return codePage;
}

} // namespace ch
