// The installer's command line: the CD's source directory in double quotes, a blank,
// then further text. The further text may carry switches:
//   /DB=<code>   the database platform, one of the codes of the platform table (SBS if absent)
//   /CRC         copied files are checked against their checksums in this run
#pragma once

#include <string>
#include <vector>

#include "setup/session/session.h"
#include "setup/session/user_port.h"

namespace qv {

struct StartupOptions {
    std::string dbPlatformCode = "SBS";
    bool crcCheck = false;  // /CRC: turn checksum checking on (start-up turns it off)
};

// Splits the further text into words: blanks separate them, double quotes group blanks
// into a word and are removed.
std::vector<std::string> SplitSwitchWords(const std::string& text);

// Reads the command line (without the program's own name) into SourceDir, the switches
// into options, and finds TempDir. On failure it tells the user and returns false: the
// process is to end.
bool ParseCommandLine(Session& session, UserPort& port, const std::string& commandLine,
                      StartupOptions& options);

}  // namespace qv
