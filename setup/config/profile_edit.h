// Profile files ("[section]" headers, "key=value" entries) read and edited as text, the
// lines of a file kept as they are but for the key written, as the Windows profile calls
// keep them. The native build's profile calls are these; in Windows they serve the files
// of the suite's own programs, whose text is in the legacy ANSI code page, which the
// Windows calls of a UTF-8 program would not write.
#pragma once

#include <optional>
#include <string>

#include "setup/session/path.h"

namespace qv {

// The value of key in section, without one pair of surrounding quotes; nothing when the
// file, the section or the key is missing. The bytes as they stand.
std::optional<std::string> ReadProfileText(const std::string& section, const std::string& key,
                                           const std::string& file);
// Replaces the key's value, or adds the key to its section, the section to the file and
// the file where missing.
bool WriteProfileText(const std::string& section, const std::string& key, const std::string& value, const Path& file);
// Removes the key; true when it is gone (also when it was never there).
bool DeleteProfileText(const std::string& section, const std::string& key, const Path& file);

// The same for a file in the legacy ANSI code page: the value converted from it, and to
// it. A value that has no place in that code page is written as the program holds it
// (never with a "?" in place of a character) and `faithful` says so.
std::optional<std::string> ReadLegacyProfileString(const std::string& section, const std::string& key,
                                                   const std::string& file);
bool WriteLegacyProfileString(const std::string& section, const std::string& key, const std::string& value,
                              const Path& file, bool& faithful);

}  // namespace qv
