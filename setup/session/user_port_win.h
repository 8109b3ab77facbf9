// The user-interaction port of the interactive installer: real message boxes, and the
// window system's pending events.
#pragma once

#include <windows.h>

#include "setup/session/install_log.h"
#include "setup/session/user_port.h"

namespace qv {

class WinUserPort : public UserPort {
public:
    // Message boxes are owned by this window (none: the desktop).
    void SetOwner(HWND owner) { owner_ = owner; }
    HWND Owner() const { return owner_; }

    // The install log of the run (/LOG): every message box with its answer and every
    // install step go there, from whichever window's port they come. nullptr: none.
    static void SetLog(InstallLog* log);

    Answer ShowMessage(const Message& message) override;
    void LogStep(const std::string& line) override;
    // Lets pending events run, at most once in kEventInterval milliseconds: the engine
    // calls this after every copied block; a person notices no delay of that size.
    void DoEvents() override;

    static constexpr DWORD kEventInterval = 40;

protected:
    // Runs just before pending events run (a window shows what it has been told since).
    virtual void BeforeEvents() {}

private:
    HWND owner_ = nullptr;
    DWORD lastEvents_ = 0;
    bool eventsRun_ = false;
};

// Lets every pending message of this thread run, through the windows' keyboard
// handling (accelerators, dialog keys).
void PumpPendingMessages();

}  // namespace qv
