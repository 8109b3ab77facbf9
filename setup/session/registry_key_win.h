// What the registry calls of the Windows build share: a key closed when it goes out of
// scope, and a registry status made the run-time error it is. Windows builds only.
#pragma once

#include <windows.h>

#include <cstdint>

#include "setup/session/run_error.h"

namespace qv::reg {

// An open key, closed when it goes out of scope.
struct ScopedKey {
    HKEY h = nullptr;
    ScopedKey() = default;
    ScopedKey(const ScopedKey&) = delete;
    ScopedKey& operator=(const ScopedKey&) = delete;
    ~ScopedKey() {
        if (h) RegCloseKey(h);
    }
};

// Fills error from a registry call's status (a Win32 code); false, for a failure's return.
inline bool FailWith(LONG status, RunError& error) {
    error = FromSystemError(static_cast<uint32_t>(status));
    return false;
}

}  // namespace qv::reg
