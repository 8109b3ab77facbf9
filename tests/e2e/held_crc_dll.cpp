// A checksum library that holds an install at its first checksum, for the tests that act
// while an install runs: beside a copy of qvsetup.exe it stands in for qvcrc.dll. At the
// first GetCRC call it signals the event named by QV_HELD_CRC with "-reached" appended,
// then waits until the test signals the one with "-release"; every call gives the
// checksum that qvcrc.dll gives.
#include <windows.h>

#include <cstdint>
#include <string>

#include "qvcrc/crc32.h"

namespace {

void HoldTheFirstCall() {
    static bool called = false;
    if (called) return;
    called = true;
    char name[256];
    const DWORD length = GetEnvironmentVariableA("QV_HELD_CRC", name, sizeof name);
    if (length == 0 || length >= sizeof name) return;
    const std::string prefix(name, length);
    HANDLE reached = OpenEventA(EVENT_MODIFY_STATE, FALSE, (prefix + "-reached").c_str());
    HANDLE release = OpenEventA(SYNCHRONIZE, FALSE, (prefix + "-release").c_str());
    if (reached && release && SetEvent(reached)) WaitForSingleObject(release, INFINITE);
    if (reached) CloseHandle(reached);
    if (release) CloseHandle(release);
}

}  // namespace

extern "C" int32_t __stdcall HeldGetCRC(const void* block, int32_t length, int32_t running) noexcept {
    HoldTheFirstCall();
    if (block == nullptr || length <= 0) return running;
    return static_cast<int32_t>(qvcrc::Update(static_cast<uint32_t>(running), block, static_cast<size_t>(length)));
}
