// The file and process services of the install engine, behind plain functions so that
// the copy, the file-list passes and the archive launcher include no windows.h. Paths
// are Windows paths with "\" separators. The Windows build uses CreateFileA, ReadFile,
// WriteFile, GetFileTime, SetFileTime and CreateProcessA (file_io_win.cpp); the native
// build maps "\" to "/" and uses POSIX calls (file_io_posix.cpp).
#pragma once

#include <cstdint>
#include <string>

#include "setup/session/run_error.h"

namespace qv::io {

// A platform file handle (a HANDLE in Windows, a descriptor natively).
using Handle = std::intptr_t;
inline constexpr Handle kNoHandle = -1;

// Opens an existing file for reading (others may read it too).
Handle OpenForRead(const std::string& path, RunError& error);
// Creates the file, or empties an existing one, for writing.
Handle CreateForWrite(const std::string& path, RunError& error);
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

// Deletes a file; false when there was none or it cannot be deleted.
bool Remove(const std::string& path);

// Carries the creation, last-access and last-write times of source over to dest: both are
// opened anew (existing files only, read and write sharing). False on any failure.
bool CopyFileTimes(const std::string& source, const std::string& dest);

// Starts a program from a command line (the program path first) without waiting for it,
// in a hidden window or in a normal one with the focus.
bool StartProgram(const std::string& commandLine, bool hidden, RunError& error);

}  // namespace qv::io
