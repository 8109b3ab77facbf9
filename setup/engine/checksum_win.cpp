// The checksum library, bound by name at the first call and kept loaded.
#include <windows.h>

#include "setup/engine/checksum.h"
#include "setup/session/lazy_library_win.h"

namespace qv {
namespace {

using GetCrcFunction = int32_t(__stdcall*)(const void* block, int32_t length, int32_t running);

LazyLibrary qvcrc("qvcrc.dll", LazyLibrary::Folder::Program);
GetCrcFunction getCrc = nullptr;

}  // namespace

std::string ChecksumLibraryPath() { return qvcrc.Path(); }

bool GetCRC(const void* block, int32_t length, int32_t& running, RunError& error) {
    if (!getCrc) {
        RunError cause;
        if (!qvcrc.Load(cause)) {
            error = DllLoadError();
            error.systemCode = cause.systemCode;
            return false;
        }
        if (!qvcrc.Bind(getCrc, "GetCRC")) {
            error = DllEntryPointError();
            return false;
        }
    }
    running = getCrc(block, length, running);
    return true;
}

}  // namespace qv
