// A removal runs from a copy of the program in TEMP, so that the install directory, which
// holds the program itself, can go entirely. The program in the directory starts the copy
// with its own command line and waits for it; the copy removes, tells the program its exit
// code, waits for it to end, and then removes what the program held (its own files) and
// the folders left empty. What still cannot go is left to the next restart.
#pragma once

#include <string>

#include "setup/engine/uninstall.h"
#include "setup/session/user_port.h"

namespace qv {

// True in the copy that a removal started.
bool IsRemovalCopy();

// Where the program lies inside installDir: runs the removal from a copy in TEMP, waits for
// it and sets exitCode to its exit code. False when the program lies elsewhere, or the copy
// cannot be made or started (the removal then runs here).
bool RunRemovalFromCopy(const std::string& arguments, const std::string& installDir, int& exitCode);

// In the copy, once the removal is done: tells the program that started it the exit code,
// waits for it to end, then removes the held files below the uninstaller folder and the
// record's folders that are empty by then; what cannot go is removed at the next restart.
void FinishRemovalCopy(int exitCode, const UninstallOutcome& outcome, UserPort& port);

}  // namespace qv
