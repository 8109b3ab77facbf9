// The file-system and environment services that the logic needs, behind plain
// functions so that the logic includes no windows.h. Paths are Windows paths with "\"
// as the separator, 8-bit text in the ANSI code page. The Windows build implements
// them with the ANSI Win32 calls (file_system_win.cpp); the native build maps "\" to
// "/" so that the same logic and tests run on the build machine (file_system_posix.cpp).
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "setup/session/run_error.h"

namespace qv::fs {

bool Exists(const std::string& path);        // a file or a directory of that name
bool IsDirectory(const std::string& path);
bool IsFile(const std::string& path);

// Names of the subdirectories of dir, "." and ".." left out, in the order the file
// system returns them. Empty when dir cannot be listed.
std::vector<std::string> ListSubdirectories(const std::string& dir);

// Whether a file search pattern ("c:\sql*", "c:\orawin\bin") matches at least one
// file or directory. A pattern that ends in "\" stands for the entries of that folder.
bool MatchesAnyEntry(const std::string& pattern);

bool CreateDir(const std::string& path);     // one level
bool RemoveDir(const std::string& path);     // only when empty
bool RemoveFile(const std::string& path);
// Puts the file `from` in the place of `to`, replacing an existing `to` in one step.
bool MoveReplacing(const std::string& from, const std::string& to);

// Opens a file with fopen's modes ("rb", "wb", ...); nullptr on failure.
std::FILE* OpenFile(const std::string& path, const char* mode);

// Reads a whole file as bytes; false when it cannot be opened or read.
bool ReadWholeFile(const std::string& path, std::string& content);

struct DiskSpace {
    uint32_t sectorsPerCluster = 0;
    uint32_t bytesPerSector = 0;
    uint32_t freeClusters = 0;
    uint32_t totalClusters = 0;
};
// The free-space figures of the drive with this root ("c:\"); nothing when the call fails.
std::optional<DiskSpace> GetDiskSpace(const std::string& root);

// The value of an environment variable, empty when it is not set.
std::string GetEnv(const std::string& name);

// The last failure of a call above, as a run-time error number and description.
RunError LastError();

// A folder for scratch files of tests and tools: the system's temporary folder.
std::string SystemTempDir();

}  // namespace qv::fs
