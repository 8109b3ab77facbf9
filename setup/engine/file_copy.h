// Copying one file from the CD to the install directory block by block (32767 bytes,
// moved many blocks to a read and a write), with a running checksum, the source's file
// times carried over, and the Abort/Retry/Ignore dialogs of a failed copy and of a
// checksum that does not match the file list. A copy says what it came to as a value;
// the install driver alone decides what that means for the install.
#pragma once

#include <cstdint>
#include <string>

#include "setup/engine/install_journal.h"
#include "setup/engine/run_outcome.h"
#include "setup/session/run_error.h"
#include "setup/session/session.h"
#include "setup/session/user_port.h"

namespace qv {

// The unit of a copy: its checksum, its progress and the Cancel check go by blocks of this
// size and a last, shorter one.
inline constexpr int32_t kBlockSize = 32767;

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
    // What the install record keeps of a whole copy: its CRC-32, computed also with checking
    // off where the checksum library can be had (checksumKnown), and its size.
    bool checksumKnown = false;
    int64_t size = 0;
    int64_t time = 0;  // the last-write time the copy was given (fs::WriteTimeOf); 0: none

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

struct SourceBytes;
class FlushBehind;

// Where a copy comes from: the source file, and the list entry that names it.
struct CopySource {
    std::string path;
    std::string product;  // the code of the product whose list names it
    std::string spec;     // the entry's file spec
    // The source's bytes and times where they were read ahead: the first attempt at the
    // copy takes them instead of reading the file.
    SourceBytes* ahead = nullptr;
    // Where not null, a copy that replaces an earlier file is flushed and closed by it,
    // behind the pass: for the last entry of a list that lands on its place.
    FlushBehind* flushBehind = nullptr;
};

// Copies source to dest. The copy is written under dest's own name, where the journal has
// made room: an earlier dest is moved aside first (one that cannot be, read-only or held
// open, is asked about), and comes back when the copy does not complete. Every block is
// counted with UpdateProgress; after every full block pending events run and the copy stops
// when the Cancel button has requested it. A failure shows the "FileCP" dialog: Abort
// gives the copy up (and unloads the progress window), Retry starts it again, Ignore keeps
// what was written at dest. What is installed is listed in the journal. Files of any size
// are copied.
CopyOutcome FileCP(Session& session, UserPort& port, InstallJournal& journal, const CopySource& source,
                   const Path& dest, Checking checking);

// Copies one entry of a file list and, with checking on, compares its checksum with
// `expected` (the list's text). On a mismatch the "File Copy Error" dialog offers Abort
// (an earlier destFile comes back), Retry (the file's `size` is taken back out of the
// progress and the copy is made again) and Ignore (the entry is skipped and an earlier
// destFile goes too).
CopyOutcome VerifiedCopy(Session& session, UserPort& port, InstallJournal& journal, const CopySource& source,
                         const Path& destFile, const std::string& expected, int64_t size, Checking checking);

// Counts a file of `size` bytes in the progress as its copy would, block by block, where it
// is not copied because it is in place already.
void CountAsCopied(Session& session, UserPort& port, int64_t size);

// The checking of an install run: off when the session's NoCrcCheck is set.
inline Checking InstallChecking(const Session& session) { return session.NoCrcCheck ? Checking::Off : Checking::On; }

// Waits for the copies flushed behind a pass that came to `outcome`. When one of them could
// not be written to the disk, the log says so; where the install would go on, so does
// FileCP's box (OK alone: the copy is over), and the outcome becomes the end of the install
// at that file, as after Abort.
void SettleFlushes(Session& session, UserPort& port, FlushBehind& flushBehind, RunOutcome& outcome);

}  // namespace qv
