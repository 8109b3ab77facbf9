// One run at a time per install directory. An install, repair, verify or uninstall holds
// the directory's lock while it works on the directory's record; a second run for the same
// directory finds the lock taken. The lock belongs to the process: it goes when the run
// releases it and when the process ends, however it ends, so that a run that was killed
// never leaves a directory locked. Windows uses a named mutex, natively a locked file in
// the system's temporary folder stands in.
#pragma once

#include <cstdint>
#include <string>

#include "setup/session/path.h"

namespace qv {

class RunLock {
public:
    RunLock() = default;
    ~RunLock() { Release(); }
    RunLock(const RunLock&) = delete;
    RunLock& operator=(const RunLock&) = delete;

    // Takes the lock of `dir` (compared without case) without waiting. False when another
    // run holds it.
    bool TryTake(const Path& dir);
    bool Held() const { return handle_ != kNone; }
    void Release();

private:
    static constexpr std::intptr_t kNone = -1;
    std::intptr_t handle_ = kNone;
};

// The system-wide name of a directory's lock: the same for every spelling of the
// directory (its Path compared without case).
std::string RunLockName(const Path& dir);

// Waits `milliseconds` (a pause between two attempts to take a lock).
void SleepMilliseconds(uint32_t milliseconds);

}  // namespace qv
