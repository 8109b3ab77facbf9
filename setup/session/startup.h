// The logic of start-up that does not depend on the windows: the language list and the
// catalogue set-up that the main window's load runs.
#pragma once

#include <string>

#include "setup/session/session.h"
#include "setup/session/user_port.h"

namespace qv {

// Fills session.Languages from the CD's list. Returns false when the CD has no list:
// then Languages holds English alone, to be applied without asking.
bool LoadLanguages(Session& session);

// Sorts Products 1..ProductCount by InstallOrder, equal values keeping their scan order.
void SortProducts(Session& session);

// The catalogue part of the main window's load: sets ClusterSize and NoCrcCheck, makes
// platformCode the session's platform, scans SourceDir, sorts the products and resets
// the scan counters. platformCode must be a code of the platform table.
void PrepareCatalogue(Session& session, UserPort& port, const std::string& platformCode);

}  // namespace qv
