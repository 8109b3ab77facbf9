// The database platforms: the eight rows of the platform table and the operation that
// makes one of them the session's platform.
#pragma once

#include <span>
#include <string>

#include "setup/session/session.h"

namespace qv {

struct DbPlatform {
    const char* code;        // three upper-case letters
    const char* name;        // shown in the window caption and the group dialog
    const char* configName;  // written as DBType into the workstation configuration
};

std::span<const DbPlatform> DbPlatforms();

// The row with this code, compared exactly; nullptr when there is none.
const DbPlatform* FindDbPlatform(const std::string& code);

// Copies the three columns of the row into the session; the row always comes from the table.
void SetDbPlatform(Session& session, const DbPlatform& platform);

// The main window caption for the session's platform: resource 48 + " - " + name.
std::string MainWindowCaption(const Session& session);

inline constexpr const char* kDefaultDbPlatform = "SBS";

}  // namespace qv
