// Path, access and disk utilities: directory creation, write access, free space, the
// byte arithmetic of clusters and the release number.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "setup/session/path.h"
#include "setup/session/run_error.h"

#include "setup/session/session.h"

// windows.h still defines GetFreeSpace as a macro of the 16-bit days; the name here is
// ours. Files that need both include windows.h first.
#ifdef GetFreeSpace
#undef GetFreeSpace
#endif

namespace qv {

// Creates every missing directory along path ("c:\a\b" creates c:\a and c:\a\b). The
// root (a drive, a share) is never created. False, with the error of the step, as soon as
// a step fails.
[[nodiscard]] bool MakeDirPath(const Path& path, RunError& error);

// a / b rounded up, for a >= 0 and b > 0.
constexpr int32_t CeilDiv(int32_t a, int32_t b) { return a / b + (a % b != 0 ? 1 : 0); }

// n rounded up to whole clusters of the session's ClusterSize (kClusterSize while it is
// unset): 0 for n <= 0, and at most the largest 32-bit value.
int32_t RoundToCluster(const Session& session, int64_t n);

// A directory or file the user or a caller names, as a Path: made full against the current
// directory, canonical, and named by its long names where it exists. Nothing when the text
// names no place a file can be (a device, a stream, a control character).
std::optional<Path> FullPathOf(const std::string& text);

// The install-to directory as every check, the log and the record take it: the text of
// FullPathOf (a share allowed). Empty text, a bare drive ("c:") and a text that names no
// place stay as they are, for the checks to refuse.
std::string CanonicalDir(const std::string& text);

// The session's install-to and temporary directories as Paths; empty when the text names
// no place a folder can be (the Install checks refuse such an install-to directory).
Path InstallDirPath(const Session& session);
Path TempDirPath(const Session& session);

// True when a file can be written below dir and read back. Leaves no probe behind and
// removes dir itself when the test left it empty.
bool TestWriteAccess(const std::string& dir);

// What TestWriteAccess would find, without writing anything (for a plan): the nearest
// folder along dir that exists is a folder that is not read-only.
bool CanWriteBelow(const std::string& dir);

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
