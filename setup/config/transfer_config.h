// The transfer configuration "qvxfr.cfg": three batch SET lines that name the database
// platform, the install directory and the transfer method.
#pragma once

#include <string>

#include "setup/session/run_error.h"
#include "setup/session/session.h"

namespace qv {

inline constexpr const char* kTransferConfigName = "qvxfr.cfg";

// dir + "qvxfr.cfg", with a "\" between them when dir has none.
std::string TransferConfigPath(const std::string& dir);

// Writes dir + "qvxfr.cfg" anew (a "\" is put between them when dir has none): the
// database platform, the install directory and the transfer method as three SET lines.
// False, with the error, when the file could not be written whole (nobody is told; the
// log records it).
bool WriteTransferConfig(const Session& session, const std::string& dir, RunError& error);

}  // namespace qv
