#include "about/sys_info.h"

#include <array>

#include "platform/runtime_error.h"

namespace ch {

namespace {

constexpr uint32_t kRegSz = 1;
constexpr uint32_t kRegDword = 4;
constexpr int kNormalFocus = 1;
const char* const kToolName = "\\MSINFO32.EXE";

// The last byte delivered decides whether a terminator is dropped; a value of no bytes has
// no last byte, which is an invalid argument like asking a string for its character 0.
std::string trimmed(const unsigned char* buffer, uint32_t size, uint32_t capacity) {
    if (size == 0 || size > capacity)
        throw RuntimeError(errInvalidProcedureCall);
    return std::string(reinterpret_cast<const char*>(buffer),
                       buffer[size - 1] == 0 ? size - 1 : size);
}

bool readValue(Registry& registry, uint32_t KeyRoot, const std::string& KeyName,
               const std::string& SubKeyRef, std::string& KeyVal, uint32_t& hKey) {
    // Read access only: an account that may not change the key may still read it.
    if (registry.openKey(KeyRoot, KeyName, 0, KEY_READ_ACCESS, hKey) != 0) {
        KeyVal.clear();
        return false;
    }
    std::array<unsigned char, 1024> buffer{};
    uint32_t size = buffer.size();
    uint32_t type = 0;
    if (registry.queryValue(hKey, SubKeyRef, type, buffer.data(), size) != 0) {
        KeyVal.clear();
        return false;
    }
    const std::string text = trimmed(buffer.data(), size, buffer.size());
    if (type == kRegSz)
        KeyVal = text;
    else if (type == kRegDword)
        KeyVal = dwordText(text, KeyVal);
    // Any other type leaves KeyVal as it came in, and still counts as read.
    return true;
}

// The tool path as a command line. Quoted, so that a path with spaces ("C:\Program
// Files\...") cannot start a program named by its first word. The process starter sees the
// text only up to a stored terminator, so the closing quote goes there.
std::string commandLineFor(std::string path) {
    path = path.substr(0, path.find('\0'));
    const bool quoted = path.size() >= 2 && path.front() == '"' && path.back() == '"';
    if (path.empty() || quoted)
        return path;
    return '"' + path + '"';
}

// The look-ups, the file test and the start; false where no usable tool was found.
bool startTool(Registry& registry, FileSystem& fs, Processes& processes) {
    std::string toolPath;
    if (!GetKeyValue(registry, HKEY_LOCAL_MACHINE_ROOT, "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO",
                     "PATH", toolPath)) {
        if (!GetKeyValue(registry, HKEY_LOCAL_MACHINE_ROOT,
                         "SOFTWARE\\Microsoft\\Shared Tools Location", "MSINFO", toolPath))
            return false;
        if (fs.findFirstFile(toolPath + kToolName).empty())
            return false;
        toolPath += kToolName;
    }
    processes.start(commandLineFor(toolPath), kNormalFocus);
    return true;
}

} // namespace

void StartSysInfo(const Services& s) {
    try {
        if (startTool(s.registry, s.fs, s.processes))
            return;
    } catch (const RuntimeError&) {
    }
    s.dialogs.msgBox("System Information Is Unavailable At This Time", vbOKOnly);
}

bool GetKeyValue(Registry& registry, uint32_t KeyRoot, const std::string& KeyName,
                 const std::string& SubKeyRef, std::string& KeyVal) {
    uint32_t hKey = 0;
    bool result = false;
    try {
        result = readValue(registry, KeyRoot, KeyName, SubKeyRef, KeyVal, hKey);
    } catch (...) {
        registry.closeKey(hKey);
        throw;
    }
    registry.closeKey(hKey); // also after a failed open; its status tells nothing useful
    return result;
}

std::string dwordText(const std::string& trimmedBytes, const std::string& prefixText) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string digits = prefixText;
    for (auto it = trimmedBytes.rbegin(); it != trimmedBytes.rend(); ++it) {
        const auto byte = static_cast<unsigned char>(*it);
        if (byte >= 16)
            digits += kDigits[byte >> 4];
        digits += kDigits[byte & 15];
    }
    return "&h" + digits;
}

} // namespace ch
