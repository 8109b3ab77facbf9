// The user-interaction port of the interactive installer: real message boxes, and the
// window system's pending events.
#pragma once

#include <windows.h>

#include "setup/session/user_port.h"

namespace qv {

class WinUserPort : public UserPort {
public:
    // Message boxes are owned by this window (none: the desktop).
    void SetOwner(HWND owner) { owner_ = owner; }

    Answer ShowMessage(const Message& message) override;
    void DoEvents() override;

private:
    HWND owner_ = nullptr;
};

// Lets every pending message of this thread run.
void PumpPendingMessages();

}  // namespace qv
