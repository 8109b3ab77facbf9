// The workstation configuration "qvtools8.cfg": a text file of sections and entries
// "key=type=value", edited in memory as session.ConfigLines and written back.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "setup/session/path.h"
#include "setup/session/run_error.h"
#include "setup/session/session.h"
#include "setup/session/user_port.h"

namespace qv {

inline constexpr const char* kWorkstationConfigName = "qvtools8.cfg";

// Reads the lines of a configuration file, each trimmed (line ends CR LF, lone CR or lone
// LF; a UTF-8 byte-order mark at the start is skipped, and not written back by SaveFile).
// False, with the error, when the file cannot be read.
[[nodiscard]] bool ReadConfigLines(const std::string& path, std::vector<std::string>& lines, RunError& error);

// Reads the file into session.ConfigLines as ReadConfigLines does. False when it cannot be
// read; a missing file is not reported, other failures are when showErrors is true.
bool LoadFile(Session& session, UserPort& port, const std::string& path, bool showErrors = true);

// Sets key to value in section ("[Startup]"): rewrites the entry keeping its type, or
// inserts a new "key=REG_SZ=value" before the next section, or appends the section.
void SetREGParm(Session& session, const std::string& key, const std::string& value, const std::string& section);

// Writes session.ConfigLines to path, each line ended by CR LF, and empties them. The new
// content goes to a scratch file beside the old one, which it replaces only once it is
// whole: a failed save leaves the old file as it was.
bool SaveFile(Session& session, UserPort& port, const Path& path);

// One entry an install sets: its section ("[Startup]"), key and value.
struct ConfigEntry {
    std::string section;
    std::string key;
    std::string value;
};

// The 29 entries this installation sets, in the order they are set; connectivityDir is
// the database client's programs directory chosen in the program group dialog.
std::vector<ConfigEntry> WorkstationConfigEntries(const Session& session, const std::string& connectivityDir);

// The value of key in section of configuration lines ("key=type=value"; a line without a
// type gives what follows its "="), as SetREGParm finds the entry; nothing without one.
std::optional<std::string> GetREGParm(const std::vector<std::string>& lines, const std::string& key,
                                      const std::string& section);

// Sets the entries of this installation (WorkstationConfigEntries) in the configuration file
// at path and saves it; does nothing when the file cannot be read. True when the file was
// saved.
bool WriteWorkstationConfig(Session& session, UserPort& port, const Path& path, const std::vector<ConfigEntry>& entries);

}  // namespace qv
