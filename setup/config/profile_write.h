// Writing one key of a profile file (section headers in brackets, lines of key=value):
// the key's value is replaced, or the key added to its section, the section added to the
// file and the file created when missing; everything else in the file stays. Section and
// key names are compared without case distinction. Windows uses
// WritePrivateProfileStringA; natively a writer of the same format stands in.
#pragma once

#include <string>

// windows.h defines WriteProfileString as a macro (WriteProfileStringA); the name here is
// ours, so a file that includes windows.h first still defines and calls this function.
#ifdef WriteProfileString
#undef WriteProfileString
#endif

namespace qv {

bool WriteProfileString(const std::string& section, const std::string& key, const std::string& value,
                        const std::string& file);

}  // namespace qv
