// The installer program as a function: Run returns the process exit code.
#pragma once

#include <string>

namespace qv {

// The command line without the program's own name.
std::string ProgramArguments();

// Runs the installer with this command line (without the program's name).
int RunSetup(const std::string& arguments);

}  // namespace qv
