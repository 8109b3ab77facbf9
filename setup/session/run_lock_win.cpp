// The lock of an install directory as a named mutex: "Global\" so that runs in every
// session (a deployment tool's service and a signed-in user) see the same lock; where the
// system has no such namespace (Windows 95/98) the plain name.
#include <windows.h>

#include "setup/session/run_lock.h"

namespace qv {
namespace {

HANDLE AsHandle(std::intptr_t h) { return reinterpret_cast<HANDLE>(h); }

HANDLE CreateLockMutex(const std::string& name) {
    HANDLE mutex = CreateMutexA(nullptr, FALSE, ("Global\\" + name).c_str());
    if (mutex || GetLastError() == ERROR_ACCESS_DENIED) return mutex;  // denied: another account's run holds it
    return CreateMutexA(nullptr, FALSE, name.c_str());
}

}  // namespace

bool RunLock::TryTake(const Path& dir) {
    Release();
    HANDLE mutex = CreateLockMutex(RunLockName(dir));
    if (!mutex) return false;
    const DWORD waited = WaitForSingleObject(mutex, 0);
    // Abandoned: a run that held it ended without letting go; the lock is ours now.
    if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) {
        CloseHandle(mutex);
        return false;
    }
    handle_ = reinterpret_cast<std::intptr_t>(mutex);
    return true;
}

void RunLock::Release() {
    if (handle_ == kNone) return;
    ReleaseMutex(AsHandle(handle_));
    CloseHandle(AsHandle(handle_));
    handle_ = kNone;
}

void SleepMilliseconds(uint32_t milliseconds) { Sleep(milliseconds); }

}  // namespace qv
