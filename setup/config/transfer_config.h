// The transfer configuration "qvxfr.cfg": three batch SET lines that name the database
// platform, the install directory and the transfer method.
#pragma once

#include <string>

#include "setup/session/session.h"

namespace qv {

// Writes dir + "qvxfr.cfg" anew (a "\" is put between them when dir has none): the
// database platform, the install directory and the transfer method as three SET lines.
// Failures are passed over.
void WriteTransferConfig(const Session& session, const std::string& dir);

}  // namespace qv
