// The transfer configuration "qvxfr.cfg": three batch SET lines that name the database
// platform, the install directory and the transfer method.
#pragma once

#include <string>

#include "setup/session/path.h"
#include "setup/session/run_error.h"
#include "setup/session/session.h"

namespace qv {

inline constexpr const char* kTransferConfigName = "qvxfr.cfg";

// "qvxfr.cfg" in the session's temporary directory; empty where TempDir names no folder.
Path TransferConfigPath(const Session& session);

// Writes the transfer configuration anew: the database platform, the install directory and
// the transfer method as three SET lines. False, with the error, when the file could not
// be written whole (nobody is told; the log records it).
[[nodiscard]] bool WriteTransferConfig(const Session& session, const Path& file, RunError& error);

}  // namespace qv
