#include "platform/runtime_error.h"

namespace ch {

std::string standardDescription(int number) {
    switch (number) {
    case errInvalidProcedureCall:
        return "Invalid procedure call or argument";
    case errDllLoad:
        return "Error in loading DLL";
    case errBadFileNameOrNumber:
        return "Bad file name or number";
    case errFileNotFound:
        return "File not found";
    case errFileAlreadyOpen:
        return "File already open";
    case errDeviceIO:
        return "Device I/O error";
    case errDiskFull:
        return "Disk full";
    case errInputPastEnd:
        return "Input past end of file";
    case errDeviceUnavailable:
        return "Device unavailable";
    case errPermissionDenied:
        return "Permission denied";
    case errDiskNotReady:
        return "Disk not ready";
    case errPathFileAccess:
        return "Path/File access error";
    case errPathNotFound:
        return "Path not found";
    case errDllEntryPoint:
        return "Can't find DLL entry point";
    default:
        return "Application-defined or object-defined error";
    }
}

RuntimeError::RuntimeError(int number, const std::string& description, unsigned long systemError)
    : std::runtime_error(description.empty() ? standardDescription(number) : description),
      number_(number),
      description_(description.empty() ? standardDescription(number) : description),
      systemError_(systemError) {}

} // namespace ch
