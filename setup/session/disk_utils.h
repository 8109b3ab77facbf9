// Write access, free space and the release number.
#pragma once

#include <optional>
#include <string>

#include "setup/session/session.h"

// windows.h still defines GetFreeSpace as a macro of the 16-bit days; the name here is
// ours. Files that need both include windows.h first.
#ifdef GetFreeSpace
#undef GetFreeSpace
#endif

namespace qv {

// True when a file can be written below dir and read back. Leaves no probe behind and
// removes dir itself when the test left it empty.
bool TestWriteAccess(const std::string& dir);

// Free bytes on the drive with this root ("c:\"), whole even past 32 bits; -1 when the
// system call fails.
double GetFreeSpace(const std::string& root);

struct ReleaseParts {
    std::string major, minor, sub;
};
// The parts of the release text (resource 227, loaded without the language offset):
// "Release8" gives 8, 00 and 00.
ReleaseParts GetReleaseParts();
ReleaseParts SplitReleaseText(const std::string& text);

}  // namespace qv
