// An azip32.dll from before addZIP_Make: the four entries and, unless built with
// STAND_IN_NO_PASSWORD, addZIP_SetPassword. It writes nothing; it notes each call in order,
// which recordedCalls returns, and addZIP answers 0.
#include <windows.h>

#include <cstdint>
#include <string>

#define STAND_IN_ENTRY extern "C" __declspec(dllexport)

namespace {

std::string& calls() {
    static std::string text;
    return text;
}

int32_t note(const std::string& call) {
    calls() += call + ";";
    return 0;
}

} // namespace

STAND_IN_ENTRY int32_t WINAPI addZIP_Initialise() {
    return note("addZIP_Initialise");
}

STAND_IN_ENTRY int32_t WINAPI addZIP_ArchiveName(const char* path) {
    return note(std::string("addZIP_ArchiveName ") + path);
}

STAND_IN_ENTRY int32_t WINAPI addZIP_IncludeListFile(const char* path) {
    return note(std::string("addZIP_IncludeListFile ") + path);
}

STAND_IN_ENTRY int32_t WINAPI addZIP() {
    return note("addZIP");
}

#ifndef STAND_IN_NO_PASSWORD
STAND_IN_ENTRY int32_t WINAPI addZIP_SetPassword(const char* password) {
    return note(std::string("addZIP_SetPassword ") + password);
}
#endif

STAND_IN_ENTRY const char* WINAPI recordedCalls() {
    return calls().c_str();
}
