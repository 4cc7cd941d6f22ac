#include "about/sys_info.h"

#include "platform/runtime_error.h"

namespace ch {

namespace {

constexpr uint32_t kRegSz = 1;
constexpr uint32_t kRegDword = 4;
constexpr int kNormalFocus = 1;
const char* const kToolName = "\\MSINFO32.EXE";

// The last byte delivered decides whether a terminator is dropped; a value of no bytes has
// no last byte, which is an invalid argument like asking a string for its character 0.
std::string trimmed(const std::string& bytes) {
    if (bytes.empty() || bytes.size() > kRegistryValueLimit)
        throw RuntimeError(errInvalidProcedureCall);
    return bytes.back() == 0 ? bytes.substr(0, bytes.size() - 1) : bytes;
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
    const RegistryValue value = registry.readString(KeyRoot, KeyName, SubKeyRef);
    if (value.status != 0) {
        KeyVal.clear();
        return false;
    }
    const std::string text = trimmed(value.bytes);
    if (value.type == kRegSz)
        KeyVal = text;
    else if (value.type == kRegDword)
        KeyVal = dwordText(text, KeyVal);
    // Any other type leaves KeyVal as it came in, and still counts as read.
    return true;
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
