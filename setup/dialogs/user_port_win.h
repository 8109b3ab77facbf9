// The user-interaction port of the windows: real message boxes, and the window system's
// pending events. A window that runs logic wraps its port in a LoggingPort, so that the
// run's install log gets every box and step.
#pragma once

#include <windows.h>

#include "setup/session/throttle.h"
#include "setup/session/user_port.h"

namespace qv {

class WinUserPort : public UserPort {
public:
    // Message boxes are owned by this window (none: the desktop).
    void SetOwner(HWND owner) { owner_ = owner; }
    HWND Owner() const { return owner_; }

    Answer ShowMessage(const Message& message) override;
    // Lets pending events run, at most once in kEventInterval milliseconds: the engine
    // calls this after every copied block; a person notices no delay of that size.
    void DoEvents() override;

    static constexpr uint32_t kEventInterval = 40;

protected:
    // Runs just before pending events run (a window shows what it has been told since).
    virtual void BeforeEvents() {}

private:
    HWND owner_ = nullptr;
    Throttle events_{kEventInterval};
};

// Lets every pending message of this thread run, through the windows' keyboard
// handling (accelerators, dialog keys).
void PumpPendingMessages();

}  // namespace qv
