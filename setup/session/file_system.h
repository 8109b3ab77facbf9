// The file layer: every file-system service that the logic needs, behind plain functions
// so that the logic includes no windows.h. Paths are Windows paths with "\" as the
// separator, 8-bit text in the ANSI code page. Every call that deletes, moves, creates or
// writes takes a Path (setup/session/path.h), the one confined, canonical form; calls that
// only read take text. The Windows build implements them with the
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

#include "setup/session/path.h"
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
// True for a junction or symbolic link, file or folder (a reparse point; natively a
// symbolic link): the link itself, not what it points to, is what the path names.
bool IsLink(const std::string& path);
// True when anything at all stands at the path: a file, a folder, or a link, one that
// points nowhere included. One look-up, the link itself never followed.
bool Occupied(const std::string& path);
// What one look-up tells of a file, enough to judge whether it is still as a run left it:
// its size and its last-write time, in the terms of FileTimes (WriteTimeOf).
struct FileStamp {
    int64_t size = 0;
    int64_t writeTime = 0;
};
// The stamp of the file at path; nothing when no file stands there (a folder, nothing, or a
// link, which is never followed).
std::optional<FileStamp> StampOf(const std::string& path);

// True when a folder between `root` (itself not included) and `path` (itself not
// included) is a link: a change made through such a path would land wherever the link
// points. `path` must lie within `root`.
bool PassesThroughLink(const Path& path, const Path& root);
// True when the file or folder is no link and belongs to the system, the administrators or
// the user this program runs as (natively: to root or this user, and no one else may write
// it): what a later run may trust as its own.
bool IsTrustedFile(const std::string& path);

struct DirEntry {
    std::string name;
    bool directory = false;
    bool link = false;  // a junction or symbolic link (a reparse point): never gone through
};

// The one folder enumerator: calls visit for every entry that matches a file search
// pattern ("c:\sql*", "c:\dir\*"), "." and ".." left out, in the order the file system
// returns them, until visit returns false. Nothing matching is no error; false, with the
// error, when the pattern's folder cannot be read.
[[nodiscard]] bool FindEntries(const std::string& pattern, const std::function<bool(const DirEntry&)>& visit, RunError& error);

// Calls visit for every file below root, in the order the file system returns them. A
// folder that is a link is not gone into: it is given as a file of its own. A name no
// Path can hold is passed over.
void WalkTree(const Path& root, const std::function<void(const Path&)>& visit);

// The names of the subdirectories of dir, in the order the file system returns them.
[[nodiscard]] bool ListSubdirectories(const std::string& dir, std::vector<std::string>& names, RunError& error);

// Whether a file search pattern ("c:\sql*", "c:\orawin\bin") matches at least one file or
// directory. A pattern that ends in "\" stands for the entries of that folder.
bool MatchesAnyEntry(const std::string& pattern);

// The current directory, against which a relative path of the command line is made full;
// nothing where it cannot be told (or natively, where it is no Windows path).
std::optional<Path> CurrentDir();

// The path with every existing folder and file along it named by its long name, where it
// was given by a short (8.3) one; as it stands where nothing of it exists.
Path LongForm(const Path& path);

// ---- Changing --------------------------------------------------------------------

[[nodiscard]] bool CreateDir(const Path& path, RunError& error);  // one level
// Makes one folder that only the system and the administrators can change (natively: only
// its owner), for what a later run trusts. An existing folder is no error.
[[nodiscard]] bool CreateProtectedDir(const Path& path, RunError& error);
[[nodiscard]] bool RemoveDir(const Path& path, RunError& error);  // only when empty; a link to a folder: the link
[[nodiscard]] bool RemoveFile(const Path& path, RunError& error);  // a link: the link
// Has the system remove the file (or empty folder) when the machine next starts: for what
// is held open now. False, with the error, where the system will not (no right to).
[[nodiscard]] bool RemoveAtRestart(const Path& path, RunError& error);
// Takes the read-only mark off a file (natively: gives the owner write permission).
[[nodiscard]] bool ClearReadOnly(const Path& path, RunError& error);
// Puts the file `from` in the place of `to`, replacing an existing `to` in one step. A
// read-only `to` is not replaced (permission denied), as Windows has it.
[[nodiscard]] bool MoveReplacing(const Path& from, const Path& to, RunError& error);
// Renames `from` to `to` on the same volume; fails when `to` exists.
[[nodiscard]] bool Move(const Path& from, const Path& to, RunError& error);
// Moves the file `from` aside to `to` (which must not exist), so that another file can take
// its place: refused, as a replacement would be, for a read-only file and for a folder.
[[nodiscard]] bool MoveAside(const Path& from, const Path& to, RunError& error);
// Copies the file `from` to `to`, which must not exist.
[[nodiscard]] bool CopyToNew(const std::string& from, const Path& to, RunError& error);

// ---- At the next restart ---------------------------------------------------------
// The system keeps a list of the files it renames when the machine next starts, before any
// program can hold them: in Windows the Session Manager's PendingFileRenameOperations
// value; natively a list in memory, for the tests of the logic.

// True when the error says that another program holds the file open (a sharing or a lock
// violation): the file cannot be moved, replaced or written until that program lets go.
bool HeldByAnother(const RunError& error);
// Has the system put the file `from` in the place of `to` when the machine next starts,
// replacing what is there then: for a `to` that another program holds open now. False,
// with the error, where the system will not (no right to).
[[nodiscard]] bool ReplaceAtRestart(const Path& from, const Path& to, RunError& error);
// Takes ReplaceAtRestart(from, to) back: the pair leaves the system's list. True also when
// it was not in the list; false, with the error, when the list cannot be changed.
[[nodiscard]] bool CancelReplaceAtRestart(const Path& from, const Path& to, RunError& error);

// A replacement that waits for the next restart: the file `from` takes the place of `to`.
struct PendingReplacement {
    Path from;
    Path to;
};
// The replacements in the system's list, in its order; removals and names no Path can hold
// are left out.
std::vector<PendingReplacement> PendingReplacements();

// The list in the system's own form: pairs of names, the file ("\??\c:\qv\~1") and where it
// goes ("!\??\c:\qv\a.dll": "!" for a replacement; empty for a removal). The replacements
// it holds, and where the pair that puts `from` in the place of `to` begins (nothing when
// it holds none).
std::vector<PendingReplacement> ReplacementsIn(const std::vector<std::string>& names);
std::optional<size_t> FindReplacement(const std::vector<std::string>& names, const Path& from, const Path& to);
// The system's name of a path, and of a path as the place a file goes to.
std::string SystemName(const Path& path);
std::string ReplacedName(const Path& path);

// ---- Whole files -----------------------------------------------------------------

// Opens a file to read it through the C library ("rb", "r"); nullptr, with the error, on
// failure.
std::FILE* OpenFile(const std::string& path, const char* mode, RunError& error);
// Creates the file (or empties an existing one) to write it through the C library.
std::FILE* CreateFileToWrite(const Path& path, RunError& error);

// Reads a whole file as bytes.
[[nodiscard]] bool ReadWholeFile(const std::string& path, std::string& content, RunError& error);

// ---- Open files ------------------------------------------------------------------

// A platform file handle (a HANDLE in Windows, a descriptor natively).
using Handle = std::intptr_t;
inline constexpr Handle kNoHandle = -1;

// Opens an existing file for reading (others may read it too).
Handle OpenForRead(const std::string& path, RunError& error);
// Creates the file, or empties an existing one, for writing.
Handle CreateForWrite(const Path& path, RunError& error);
// Creates the file for writing where nothing of that name exists; fails otherwise.
Handle CreateNew(const Path& path, RunError& error);
// Opens the file for writing at its end, creating it when missing.
Handle OpenForAppend(const Path& path, RunError& error);
// Writes what the system holds of the file through to the disk.
[[nodiscard]] bool Flush(Handle file, RunError& error);
// Reads up to `want` bytes; `got` is 0 at the end of the file.
[[nodiscard]] bool Read(Handle file, void* buffer, uint32_t want, uint32_t& got, RunError& error);
// Writes all `count` bytes; a short write is a failure (a full disk).
[[nodiscard]] bool Write(Handle file, const void* buffer, uint32_t count, RunError& error);
// Moves the read position to `offset` bytes from the start.
[[nodiscard]] bool Seek(Handle file, int64_t offset, RunError& error);
// The length of the open file in bytes, whole even past 32 bits.
[[nodiscard]] bool Size(Handle file, int64_t& size, RunError& error);
// Closes the handle; false when the system reports a failure (for example a write that
// could not be completed).
[[nodiscard]] bool Close(Handle file, RunError& error);

// A file's times in the system's own terms: in Windows the creation, last-access and
// last-write FILETIMEs; natively the access and modification times, seconds and
// nanoseconds each.
struct FileTimes {
    int64_t values[4] = {};
};
// The last-write time among them, as FileStamp gives it: natively counted, as in Windows,
// in 100 nanoseconds.
int64_t WriteTimeOf(const FileTimes& times);
// Reads the times of the open file, and gives them to another.
[[nodiscard]] bool GetFileTimes(Handle file, FileTimes& times, RunError& error);
[[nodiscard]] bool SetFileTimes(Handle file, const FileTimes& times, RunError& error);

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

// The folder for the data of every user of the machine (%ProgramData%), or of the user
// running the program (%LOCALAPPDATA%), as the shell names it; nothing when it does not.
// Natively a folder below the system's temporary folder stands in for both.
std::optional<Path> MachineDataFolder();
std::optional<Path> UserDataFolder();

}  // namespace qv::fs
