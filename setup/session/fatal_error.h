// A C++ exception that reaches an entry point from the window system (a window or subclass
// procedure, WinMain) ends the program: it is logged, the user is told in the system's
// words, and the run ends with the code of a failed install (4) while an install runs, or
// of a failed start-up (1) before.
#pragma once

#include <exception>
#include <string>

#include "setup/session/exit_codes.h"
#include "setup/session/session.h"
#include "setup/session/user_port.h"

namespace qv {

struct FatalError {
    Message box;          // the one message the user sees
    std::string logLine;  // what the install log records
    ExitCode code;
};

FatalError DescribeFatalError(const Session& session, std::exception_ptr exception);

}  // namespace qv
