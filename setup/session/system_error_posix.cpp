// The run-time error the user is told of for each errno value, decided once here; the
// native build stands in for Windows with the nearest meaning.
#include <cerrno>
#include <cstring>

#include "setup/session/run_error.h"

namespace qv {

RunError FromSystemError(uint32_t code) {
    RunError error;
    switch (static_cast<int>(code)) {
        case 0: return {};
        case ENOENT: error = err::FileNotFound(); break;
        case ENOTDIR:
        case ENAMETOOLONG:
        case ELOOP: error = err::PathNotFound(); break;
        case ENXIO:
        case ENODEV: error = err::DeviceUnavailable(); break;
        case EACCES:
        case EPERM:
        case EROFS:
        case EISDIR:
        case EBUSY:
        case ETXTBSY: error = err::PermissionDenied(); break;
        case ENOSPC:
        case EDQUOT:
        case EFBIG: error = err::DiskFull(); break;
        case EIO: error = err::DeviceIo(); break;
        case ENOMEM: error = err::OutOfMemory(); break;
        case EMFILE:
        case ENFILE: error = err::TooManyFiles(); break;
        case EEXIST: error = err::FileAlreadyExists(); break;
        default: error = err::PathFileAccess(); break;
    }
    error.systemCode = code;
    return error;
}

std::string SystemErrorText(uint32_t code) {
    const char* text = std::strerror(static_cast<int>(code));
    return text ? std::string(text) + "." : "Unknown error " + std::to_string(code) + ".";
}

}  // namespace qv
