// The file layer: every file-system service that the logic needs, behind plain functions
// so that the logic includes no windows.h. Paths are Windows paths with "\" as the
// separator, 8-bit text in the ANSI code page. The Windows build implements them with the
// ANSI Win32 calls (file_system_win.cpp); the native build maps "\" to "/" so that the
// same logic and tests run on the build machine (file_system_posix.cpp).
//
// A call that can fail says so by its result and, where the caller reports it, fills a
// RunError with the run-time error and the system's code behind it.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "setup/session/run_error.h"

namespace qv::fs {

// ---- Looking up ------------------------------------------------------------------

enum class EntryKind { None, File, Directory };

// What the path names; None, with the reason in error, when the look-up fails (nothing
// of that name included).
EntryKind KindOf(const std::string& path, RunError& error);

bool Exists(const std::string& path);  // a file or a directory of that name
bool IsDirectory(const std::string& path);
bool IsFile(const std::string& path);
// True for a file or folder that carries the read-only mark (natively: no write permission).
bool IsReadOnly(const std::string& path);

struct DirEntry {
    std::string name;
    bool directory = false;
};

// The one folder enumerator: calls visit for every entry that matches a file search
// pattern ("c:\sql*", "c:\dir\*"), "." and ".." left out, in the order the file system
// returns them, until visit returns false. Nothing matching is no error; false, with the
// error, when the pattern's folder cannot be read.
bool FindEntries(const std::string& pattern, const std::function<bool(const DirEntry&)>& visit, RunError& error);

// The names of the subdirectories of dir, in the order the file system returns them.
bool ListSubdirectories(const std::string& dir, std::vector<std::string>& names, RunError& error);

// Whether a file search pattern ("c:\sql*", "c:\orawin\bin") matches at least one file or
// directory. A pattern that ends in "\" stands for the entries of that folder.
bool MatchesAnyEntry(const std::string& pattern);

// The path made full against the current directory ("answers.inf" gives
// "c:\work\answers.inf"); a full path, or one that cannot be made full, as it stands.
std::string FullPath(const std::string& path);

// ---- Changing --------------------------------------------------------------------

bool CreateDir(const std::string& path, RunError& error);  // one level
bool RemoveDir(const std::string& path, RunError& error);  // only when empty
bool RemoveFile(const std::string& path, RunError& error);
// Has the system remove the file (or empty folder) when the machine next starts: for what
// is held open now. False, with the error, where the system will not (no right to).
bool RemoveAtRestart(const std::string& path, RunError& error);
// Takes the read-only mark off a file (natively: gives the owner write permission).
bool ClearReadOnly(const std::string& path, RunError& error);
// Puts the file `from` in the place of `to`, replacing an existing `to` in one step. A
// read-only `to` is not replaced (permission denied), as Windows has it.
bool MoveReplacing(const std::string& from, const std::string& to, RunError& error);
// Renames `from` to `to` on the same volume; fails when `to` exists.
bool Move(const std::string& from, const std::string& to, RunError& error);
// Moves the file `from` aside to `to` (which must not exist), so that another file can take
// its place: refused, as a replacement would be, for a read-only file and for a folder.
bool MoveAside(const std::string& from, const std::string& to, RunError& error);
// Copies the file `from` to `to`, which must not exist.
bool CopyToNew(const std::string& from, const std::string& to, RunError& error);

// ---- Whole files -----------------------------------------------------------------

// Opens a file with fopen's modes ("rb", "wb", ...); nullptr, with the error, on failure.
std::FILE* OpenFile(const std::string& path, const char* mode, RunError& error);

// Reads a whole file as bytes.
bool ReadWholeFile(const std::string& path, std::string& content, RunError& error);

// ---- Open files ------------------------------------------------------------------

// A platform file handle (a HANDLE in Windows, a descriptor natively).
using Handle = std::intptr_t;
inline constexpr Handle kNoHandle = -1;

// Opens an existing file for reading (others may read it too).
Handle OpenForRead(const std::string& path, RunError& error);
// Creates the file, or empties an existing one, for writing.
Handle CreateForWrite(const std::string& path, RunError& error);
// Creates the file for writing where nothing of that name exists; fails otherwise.
Handle CreateNew(const std::string& path, RunError& error);
// Opens the file for writing at its end, creating it when missing.
Handle OpenForAppend(const std::string& path, RunError& error);
// Writes what the system holds of the file through to the disk.
bool Flush(Handle file, RunError& error);
// Reads up to `want` bytes; `got` is 0 at the end of the file.
bool Read(Handle file, void* buffer, uint32_t want, uint32_t& got, RunError& error);
// Writes all `count` bytes; a short write is a failure (a full disk).
bool Write(Handle file, const void* buffer, uint32_t count, RunError& error);
// Moves the read position to `offset` bytes from the start.
bool Seek(Handle file, int64_t offset, RunError& error);
// The length of the open file in bytes, whole even past 32 bits.
bool Size(Handle file, int64_t& size, RunError& error);
// Closes the handle; false when the system reports a failure (for example a write that
// could not be completed).
bool Close(Handle file, RunError& error);

// A file's times in the system's own terms: in Windows the creation, last-access and
// last-write FILETIMEs; natively the access and modification times, seconds and
// nanoseconds each.
struct FileTimes {
    int64_t values[4] = {};
};
// Reads the times of the open file, and gives them to another.
bool GetFileTimes(Handle file, FileTimes& times, RunError& error);
bool SetFileTimes(Handle file, const FileTimes& times, RunError& error);

// ---- The machine -----------------------------------------------------------------

struct DiskSpace {
    uint32_t sectorsPerCluster = 0;
    uint32_t bytesPerSector = 0;
    uint32_t freeClusters = 0;
    uint32_t totalClusters = 0;
};
// The free-space figures of the drive with this root ("c:\"); nothing when the call fails.
std::optional<DiskSpace> GetDiskSpace(const std::string& root, RunError& error);

// The value of an environment variable, empty when it is not set.
std::string GetEnv(const std::string& name);

// The short (8.3) form of an existing path; empty where the volume keeps none.
std::string ShortPath(const std::string& path);
#ifndef _WIN32
// Natively there are none but those a test gives.
void SetShortPathForTests(const std::string& path, const std::string& shortPath);
#endif

// The folder of the running program, without a trailing "\"; empty where there is none to
// speak of (natively).
std::string ProgramFolder();

// A folder for scratch files of tests and tools: the system's temporary folder.
std::string SystemTempDir();

}  // namespace qv::fs
