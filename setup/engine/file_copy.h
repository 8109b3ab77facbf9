// Copying one file from the CD to the install directory block by block (32767 bytes,
// moved many blocks to a read and a write), with a running checksum, the source's file
// times carried over, and the Abort/Retry/Ignore dialogs of a failed copy and of a
// checksum that does not match the file list. A copy says what it came to as a value;
// the install driver alone decides what that means for the install.
#pragma once

#include <cstdint>
#include <string>

#include "setup/session/run_error.h"
#include "setup/session/session.h"
#include "setup/session/user_port.h"

namespace qv {

// The unit of a copy: its checksum, its progress and the Cancel check go by blocks of this
// size and a last, shorter one.
inline constexpr int32_t kBlockSize = 32767;

// A copy is made under its destination's name with this added, beside it, and takes the
// destination's name only once it is whole and verified.
inline constexpr const char* kScratchSuffix = ".~qv";

// Whether a copy computes the checksum of what it copies and compares it with the list's.
enum class Checking { On, Off };

// What the copy of one file came to.
enum class CopyResult {
    Verified,       // copied whole; its checksum matches the list's
    Unchecked,      // copied whole; checking is off, so nothing was compared
    PartlyWritten,  // a copy error answered Ignore: what was written took the destination's place
    Skipped,        // not installed after Ignore: a copy error with nothing written, a checksum that
                    // differs (an earlier file goes too), or a destination that could not be replaced
    Aborted,        // Abort in a dialog (or a box that could not be shown): the install ends
    Cancelled,      // the Cancel button stopped the copy between two blocks: the install ends
};

struct CopyOutcome {
    CopyResult result = CopyResult::Verified;
    // The copy went through FileCP's error dialog and was answered Retry or Ignore: the
    // list it came from is opened again and read on after this entry.
    bool retried = false;
    // The checksum of the copied bytes: 0 with checking off, for an empty source, or when
    // the copy was given up.
    int32_t checksum = 0;
    // The last copy failure the user was asked about, with the system's code behind it.
    RunError error;

    // The file's bytes stand at the destination (whole, or as far as they were written).
    bool Installed() const {
        return result == CopyResult::Verified || result == CopyResult::Unchecked ||
               result == CopyResult::PartlyWritten;
    }
    // The install goes no further.
    bool EndsInstall() const { return result == CopyResult::Aborted || result == CopyResult::Cancelled; }
};

// Copies source to dest. The copy is made into a scratch file beside dest, which takes
// dest's place once it is whole: a copy that does not complete leaves an earlier dest as
// it was. Every block is counted with UpdateProgress; after every full block pending
// events run and the copy stops when the Cancel button has set InstallAborted. A failure
// shows the "FileCP" dialog: Abort gives the copy up (and unloads the progress window),
// Retry starts it again, Ignore puts what was written in dest's place. Files of any size
// are copied.
CopyOutcome FileCP(Session& session, UserPort& port, const std::string& source, const std::string& dest,
                   Checking checking);

// Copies one entry of a file list and, with checking on, compares its checksum with
// `expected` (the list's text). The copy takes dest's place only when the checksums match.
// On a mismatch the "File Copy Error" dialog offers Abort (an earlier destFile stays),
// Retry (the file's `size` is taken back out of the progress and the copy is made again)
// and Ignore (the entry is skipped and an earlier destFile goes too).
CopyOutcome VerifiedCopy(Session& session, UserPort& port, const std::string& sourceFile, const std::string& destFile,
                         const std::string& expected, int64_t size, Checking checking);

// The checking of an install run: off when the session's NoCrcCheck is set.
inline Checking InstallChecking(const Session& session) { return session.NoCrcCheck ? Checking::Off : Checking::On; }

}  // namespace qv
