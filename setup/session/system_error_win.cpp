// The run-time error the user is told of for each Win32 error code, decided once here.
#include <windows.h>

#include "setup/session/run_error.h"

namespace qv {

RunError FromSystemError(uint32_t code) {
    RunError error;
    switch (code) {
        case ERROR_SUCCESS: return {};
        case ERROR_FILE_NOT_FOUND: error = err::FileNotFound(); break;
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
        case ERROR_BAD_PATHNAME:
        case ERROR_FILENAME_EXCED_RANGE:
        case ERROR_DIRECTORY:
        case ERROR_INVALID_DRIVE:
        case ERROR_BAD_NETPATH:
        case ERROR_BAD_NET_NAME: error = err::PathNotFound(); break;
        case ERROR_DEV_NOT_EXIST:
        case ERROR_NETNAME_DELETED:
        case ERROR_UNEXP_NET_ERR: error = err::DeviceUnavailable(); break;
        case ERROR_ACCESS_DENIED:
        case ERROR_WRITE_PROTECT:
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
        case ERROR_NETWORK_ACCESS_DENIED: error = err::PermissionDenied(); break;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL: error = err::DiskFull(); break;
        case ERROR_NOT_READY: error = err::DiskNotReady(); break;
        case ERROR_CRC:
        case ERROR_SEEK:
        case ERROR_SECTOR_NOT_FOUND:
        case ERROR_WRITE_FAULT:
        case ERROR_READ_FAULT:
        case ERROR_GEN_FAILURE:
        case ERROR_IO_DEVICE: error = err::DeviceIo(); break;
        case ERROR_NOT_ENOUGH_MEMORY:
        case ERROR_OUTOFMEMORY: error = err::OutOfMemory(); break;
        case ERROR_TOO_MANY_OPEN_FILES: error = err::TooManyFiles(); break;
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS: error = err::FileAlreadyExists(); break;
        default: error = err::PathFileAccess(); break;
    }
    error.systemCode = code;
    return error;
}

std::string SystemErrorText(uint32_t code) {
    char* text = nullptr;
    const DWORD length =
        FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, code, 0, reinterpret_cast<LPSTR>(&text), 0, nullptr);
    std::string result = length > 0 && text ? std::string(text, length) : std::string();
    if (text) LocalFree(text);
    while (!result.empty() && (result.back() == '\r' || result.back() == '\n' || result.back() == ' '))
        result.pop_back();
    return result.empty() ? "Unknown error " + std::to_string(code) + "." : result;
}

}  // namespace qv
