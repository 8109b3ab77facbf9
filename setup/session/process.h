// Starting another program, not awaited: the archive programs of compressed products and
// a Supply Chain product's own setup program.
#pragma once

#include <string>

#include "setup/session/run_error.h"

namespace qv {

// Starts a program from a command line (the program path first) without waiting for it,
// in a hidden window or in a normal one with the focus.
bool StartProgram(const std::string& commandLine, bool hidden, RunError& error);

}  // namespace qv
