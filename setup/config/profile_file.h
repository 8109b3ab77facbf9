// Reading and writing one key of a profile file (section headers in brackets, lines of
// key=value). Writing:
// the key's value is replaced, or the key added to its section, the section added to the
// file and the file created when missing; everything else in the file stays. Section and
// key names are compared without case distinction. Windows uses
// GetPrivateProfileStringA and WritePrivateProfileStringA; natively a reader and writer of
// the same format stand in.
#pragma once

#include <optional>
#include <string>

#include "setup/session/path.h"

// windows.h defines WriteProfileString as a macro (WriteProfileStringA); the name here is
// ours, so a file that includes windows.h first still defines and calls this function.
#ifdef WriteProfileString
#undef WriteProfileString
#endif

namespace qv {

bool WriteProfileString(const std::string& section, const std::string& key, const std::string& value,
                        const Path& file);

// Removes key from section; true when it is gone (also when it was never there).
bool DeleteProfileKey(const std::string& section, const std::string& key, const Path& file);

// The value of key in section (names without brackets); nothing when the file, the
// section or the key is missing.
std::optional<std::string> ReadProfileString(const std::string& section, const std::string& key,
                                             const std::string& file);

}  // namespace qv
