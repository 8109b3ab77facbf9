// Copying one file from the CD to the install directory block by block (32767 bytes,
// moved many blocks to a read and a write), with a running checksum, the source's file times carried over, and the Abort/Retry/Ignore
// dialogs of a failed copy and of a checksum that does not match the file list.
#pragma once

#include <cstdint>
#include <string>

#include "setup/session/session.h"
#include "setup/session/user_port.h"

namespace qv {

// The unit of a copy: its checksum, its progress and the Cancel check go by blocks of this
// size and a last, shorter one.
inline constexpr int32_t kBlockSize = 32767;

// A copy is made under its destination's name with this added, beside it, and takes the
// destination's name only once it is whole and verified.
inline constexpr const char* kScratchSuffix = ".~qv";

// Copies source to dest and returns the checksum of the copied bytes: 0 when NoCrcCheck
// is set, when the source is empty, or when the copy was given up. The copy is made into a
// scratch file beside dest, which takes dest's place once it is whole: a copy that does
// not complete leaves an earlier dest as it was. Every block is counted with
// UpdateProgress; after every full block pending events run and the copy stops when
// InstallAborted has been set (the Cancel button). A failure shows the "FileCP" dialog:
// Abort sets InstallAborted, Retry starts the copy again, Ignore gives it up and puts what
// was written in dest's place; both of the latter set CopyRetried. Files of any size are
// copied.
int32_t FileCP(Session& session, UserPort& port, const std::string& source, const std::string& dest);

// Copies one entry of a file list and compares its checksum with `expected` (the list's
// text; not compared when NoCrcCheck is set). The copy takes dest's place only when the
// checksums match. On a mismatch the "File Copy Error" dialog offers Abort
// (InstallAborted; an earlier destFile stays), Retry (the file's `size` is taken back out
// of the progress and the copy is made again) and Ignore (the entry is skipped and an
// earlier destFile goes too).
void VerifiedCopy(Session& session, UserPort& port, const std::string& sourceFile, const std::string& destFile,
                  const std::string& expected, int64_t size);

}  // namespace qv
