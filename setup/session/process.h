// Starting another program, not awaited: the archive programs of compressed products and
// a Supply Chain product's own setup program.
#pragma once

#include <string>

#include "setup/session/run_error.h"

namespace qv {

// Starts the program file `program` (a full path) with this command line, which names the
// program first, without waiting for it, in a hidden window or in a normal one with the
// focus. What runs is `program` itself: the command line is never cut at its blanks to
// find a program, so a path with blanks cannot start another one.
[[nodiscard]] bool StartProgram(const std::string& program, const std::string& commandLine, bool hidden, RunError& error);

}  // namespace qv
