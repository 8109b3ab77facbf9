// An install held at its first checksum, for the tests that act while an install runs.
#pragma once

#include <windows.h>

#include <string>

#include "e2e/driver.h"

namespace qve2e {

// An install held at its first checksum until Release: the test starts a copy of
// qvsetup.exe with /CRC in a folder of its own, beside which the held checksum library
// (e2e_held_crc.dll) stands as qvcrc.dll, and it holds the install where the test acts.
class HeldInstall {
public:
    HeldInstall() {
        static int count = 0;
        name_ = "Local\\qv-held-crc-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++count);
        reached_ = CreateEventA(nullptr, TRUE, FALSE, (name_ + "-reached").c_str());
        release_ = CreateEventA(nullptr, TRUE, FALSE, (name_ + "-release").c_str());
    }
    ~HeldInstall() {
        Release();
        if (reached_) CloseHandle(reached_);
        if (release_) CloseHandle(release_);
    }
    // Lays out the program's folder; false when a file cannot be copied.
    static bool MakeProgramFolder(const std::string& folder) {
        const std::string bin = ProgramFolder();
        return CreateDirectoryA(folder.c_str(), nullptr) &&
               CopyFileA((bin + "\\qvsetup.exe").c_str(), (folder + "\\qvsetup.exe").c_str(), FALSE) &&
               CopyFileA((bin + "\\qvole.dll").c_str(), (folder + "\\qvole.dll").c_str(), FALSE) &&
               CopyFileA((bin + "\\e2e_held_crc.dll").c_str(), (folder + "\\qvcrc.dll").c_str(), FALSE);
    }
    // The environment entry that names the events to the library.
    std::string Variable() const { return "QV_HELD_CRC=" + name_; }
    // Waits until the install stands at its first checksum; false when the program ended
    // first. The limit is only a safety net.
    bool WaitUntilHeld(const Process& app) const {
        const HANDLE either[] = {reached_, app.Handle()};
        return reached_ && WaitForMultipleObjects(2, either, FALSE, 60000) == WAIT_OBJECT_0;
    }
    void Release() const {
        if (release_) SetEvent(release_);
    }

private:
    std::string name_;
    HANDLE reached_ = nullptr;
    HANDLE release_ = nullptr;
};

}  // namespace qve2e
