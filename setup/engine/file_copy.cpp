#include "setup/engine/file_copy.h"

#include <algorithm>
#include <memory>

#include "setup/engine/checksum.h"
#include "setup/engine/open_files.h"
#include "setup/engine/progress.h"
#include "setup/session/disk_utils.h"
#include "setup/session/file_system.h"
#include "setup/session/res_strings.h"

namespace qv {
namespace {

// The copy is made under this name beside its destination and takes the destination's
// name only once it is whole (and verified, with checking on): an earlier file of that
// name stays until then, and stays for good when the copy does not complete.
std::string ScratchPath(const std::string& dest) { return dest + kScratchSuffix; }

void Discard(const std::string& scratch) {
    RunError ignored;  // a scratch file that is not there is as good as removed
    fs::RemoveFile(scratch, ignored);
}

// What the log adds about the file a copy would have replaced.
std::string EarlierFileNote(const std::string& dest) { return fs::Exists(dest) ? "; the earlier file is kept" : ""; }

// The bytes move in chunks of whole blocks: one read and one write carry many blocks,
// while the checksum, the progress and the Cancel check still go block by block.
constexpr int64_t kChunkSize = 32 * int64_t{kBlockSize};

// How one attempt at a copy ended.
enum class Attempt { Copied, Cancelled, Failed };

// One attempt at the copy into the scratch file, from opening both files to carrying the
// times over. The scratch file stays open in `to` where the system can move open files.
class CopyAttempt {
public:
    CopyAttempt(Session& session, UserPort& port, const std::string& source, const std::string& scratch,
                Checking checking, OpenFile& to)
        : session_(session), port_(port), source_(source), dest_(scratch), checking_(checking), to_(to) {}

    Attempt Run(int32_t& checksum, RunError& error) {
        checksum = 0;
        if (!from_.OpenRead(source_, error)) return Attempt::Failed;
        if (!to_.CreateWrite(dest_, error)) return Attempt::Failed;
        int64_t length = 0;
        if (!from_.Size(length, error)) return Attempt::Failed;
        if (length == 0) {
            // An empty copy stays as it is; its times are not set.
            return Finish(error) ? Attempt::Copied : Attempt::Failed;
        }
        int32_t running = -1;
        const Attempt moved = MoveAll(length, running, error);
        if (moved != Attempt::Copied) return moved;
        RunError ignored;
        from_.CopyTimesTo(to_, ignored);  // times that cannot be carried over are passed over
        if (!Finish(error)) return Attempt::Failed;
        checksum = checking_ == Checking::On ? ~running : 0;
        return Attempt::Copied;
    }

    void CloseBoth() {
        from_.Close();
        to_.Close();
    }

private:
    // Moves all `length` bytes in chunks through a buffer of this attempt's own. Blocks of
    // kBlockSize and a last, shorter one; a file shorter than one block is one block.
    // After every block but that last, shorter one, pending events run and a Cancel stops
    // the copy at that block.
    Attempt MoveAll(int64_t length, int32_t& running, RunError& error) {
        const int64_t eventsUpTo = length < kBlockSize ? length : length - length % kBlockSize;
        const int64_t bufferSize = std::min(length, kChunkSize);
        const std::unique_ptr<char[]> buffer(new char[static_cast<size_t>(bufferSize)]);
        for (int64_t done = 0; done < length;) {
            const int64_t chunk = std::min(length - done, kChunkSize);
            int64_t moved = 0;
            const bool whole = MoveChunk(buffer.get(), done, chunk, moved, error);
            for (int64_t at = 0; at < moved;) {
                const int32_t block = static_cast<int32_t>(std::min<int64_t>(moved - at, kBlockSize));
                if (!CountBlock(buffer.get() + at, block, running, error)) return Attempt::Failed;
                at += block;
                done += block;
                if (done > eventsUpTo) continue;
                port_.DoEvents();
                if (session_.InstallAborted) {  // the Cancel button, answered Yes
                    CloseAllOpenFiles();
                    return Attempt::Cancelled;
                }
            }
            if (!whole) return Attempt::Failed;
        }
        return Attempt::Copied;
    }

    // Reads `length` bytes of the source from `offset` and writes them to the copy; `moved`
    // is what was both read and written. Where a call fails, the chunk is moved again block
    // by block, so that the copy stops at the block that fails, as block-sized calls would.
    bool MoveChunk(char* buffer, int64_t offset, int64_t length, int64_t& moved, RunError& error) {
        moved = 0;
        uint32_t got = 0;
        const uint32_t want = static_cast<uint32_t>(length);
        RunError chunkError;
        const bool read = from_.Read(buffer, want, got, chunkError);
        if (read && got == want && to_.Write(buffer, want, chunkError)) {
            moved = length;
            return true;
        }
        if (read && got != want) chunkError = err::InputPastEnd();
        if (!from_.Seek(offset, error) || !to_.Seek(offset, error)) {
            error = chunkError;
            return false;
        }
        while (moved < length) {
            const uint32_t block = static_cast<uint32_t>(std::min<int64_t>(length - moved, kBlockSize));
            if (!from_.Read(buffer + moved, block, got, error)) return false;
            if (got != block) {
                error = err::InputPastEnd();  // the source became shorter while it was copied
                return false;
            }
            if (!to_.Write(buffer + moved, block, error)) return false;
            moved += block;
        }
        return true;
    }

    // Adds a copied block to the checksum and counts it in the progress.
    bool CountBlock(const char* block, int32_t length, int32_t& running, RunError& error) {
        if (checking_ == Checking::On && !GetCRC(block, length, running, error)) {
            port_.LogStep("The checksum library cannot be used: " + ChecksumLibraryPath() + SystemCause(error));
            return false;
        }
        UpdateProgress(session_, port_, RoundToCluster(session_, length));
        return true;
    }

    bool Finish(RunError& error) {
        from_.Close();
        return fs::CanMoveOpenFiles() || to_.Close(error);
    }

    Session& session_;
    UserPort& port_;
    const std::string& source_;
    const std::string& dest_;
    const Checking checking_;
    OpenFile from_;
    OpenFile& to_;
};

Answer AskAfterCopyFailure(Session& session, UserPort& port, const std::string& source, const std::string& dest,
                           const RunError& error) {
    Message box;
    box.title = "FileCP";
    box.text = Res(session, Str::FileCopyError) + " : " + std::to_string(error.number) + "\n" + error.description +
               "\r" + source + " -> " + dest;
    box.buttons = Buttons::AbortRetryIgnore;
    box.icon = Icon::Exclamation;
    box.cause = error;
    return port.ShowMessage(box);
}

Answer AskAfterChecksumMismatch(Session& session, UserPort& port, const std::string& destFile,
                                const std::string& expected, const std::string& actual) {
    Message box;
    box.title = Res(session, Str::FileCopyError);
    box.text = destFile + "\n" + Res(session, Str::CdReadError) + "\n" + Res(session, Str::CrcCheckFailed) + "\n" +
               "fCRC : " + expected + "  destCRC : " + actual + "\n" + Res(session, Str::SelectAbort) + "\n" +
               Res(session, Str::SelectRetry) + "\n" + Res(session, Str::SelectIgnore) + "\n";
    box.buttons = Buttons::AbortRetryIgnore;
    box.icon = Icon::Exclamation;
    return port.ShowMessage(box);
}

// Gives the copy of dest up on Abort (or a box that could not be shown): the scratch file
// goes, the earlier dest stays, and the progress window may unload.
void GiveUp(UserPort& port, const std::string& dest, CopyOutcome& outcome, const RunError& error) {
    Discard(ScratchPath(dest));
    outcome.result = CopyResult::Aborted;
    port.LogStep("Not installed: " + dest + " (copy error, aborted" + EarlierFileNote(dest) + ")" +
                 SystemCause(error));
    port.UnloadProgress();
}

// What a copy into the scratch file came to, before it is placed.
enum class Scratch {
    Whole,    // the scratch file holds the whole source
    Ignored,  // the copy failed and the user chose Ignore; the scratch file may hold part of it
    Ended,    // given up (Abort, Cancel): the scratch file is gone; outcome.result says how
};

// Copies source into the scratch file of dest, with FileCP's dialog on a failure: Retry
// starts the copy again, Ignore gives it up (both mark the outcome retried), Abort gives
// the install up. A whole copy may still be open in `copy`.
Scratch CopyToScratch(Session& session, UserPort& port, const std::string& source, const std::string& dest,
                      Checking checking, OpenFile& copy, CopyOutcome& outcome) {
    const std::string scratch = ScratchPath(dest);
    for (;;) {
        CopyAttempt attempt(session, port, source, scratch, checking, copy);
        RunError error;
        switch (attempt.Run(outcome.checksum, error)) {
            case Attempt::Copied: return Scratch::Whole;
            case Attempt::Cancelled:
                Discard(scratch);
                port.LogStep("Not installed: " + dest + " (cancelled" + EarlierFileNote(dest) + ")");
                outcome.result = CopyResult::Cancelled;
                return Scratch::Ended;
            case Attempt::Failed: break;
        }
        attempt.CloseBoth();
        outcome.error = error;
        switch (AskAfterCopyFailure(session, port, source, dest, error)) {
            case Answer::Retry: outcome.retried = true; continue;
            case Answer::Ignore:
                outcome.retried = true;
                port.LogStep("Copy error ignored: " + dest + " (" + error.description + ")" + SystemCause(error));
                return Scratch::Ignored;
            default:
                GiveUp(port, dest, outcome, {});
                return Scratch::Ended;
        }
    }
}

// Moves the whole copy into dest's place: through its handle while it is open, which spares
// opening it again, else by its name.
bool MoveIntoPlace(OpenFile& copy, const std::string& scratch, const std::string& dest, RunError& error) {
    if (!copy.IsOpen()) return fs::MoveReplacing(scratch, dest, error);
    if (!copy.MoveTo(scratch, dest, error)) return false;
    RunError ignored;
    copy.Close(ignored);  // every write had succeeded before the move
    return true;
}

// Moves the scratch file into the place of dest. A destination that cannot be replaced
// (read-only, held open by another program) shows FileCP's dialog: Retry tries again,
// Ignore leaves dest as it was (Skipped), Abort gives the install up. True once the copy
// is in place.
bool PlaceCopy(Session& session, UserPort& port, const std::string& source, const std::string& dest, OpenFile& copy,
               CopyOutcome& outcome) {
    const std::string scratch = ScratchPath(dest);
    for (;;) {
        RunError error;
        if (MoveIntoPlace(copy, scratch, dest, error)) return true;
        copy.Close();  // from here on it is moved by its name
        outcome.error = error;
        switch (AskAfterCopyFailure(session, port, source, dest, error)) {
            case Answer::Retry: outcome.retried = true; continue;
            case Answer::Ignore:
                outcome.retried = true;
                outcome.result = CopyResult::Skipped;
                Discard(scratch);
                port.LogStep("Not installed: " + dest + " (copy error ignored" + EarlierFileNote(dest) + ")" +
                             SystemCause(error));
                return false;
            default:
                GiveUp(port, dest, outcome, error);
                return false;
        }
    }
}

// Installs what an ignored copy error left: the part that was written takes the place of
// dest (PartlyWritten); where nothing was written, dest goes (Skipped).
void PlaceIgnoredCopy(Session& session, UserPort& port, const std::string& source, const std::string& dest,
                      CopyOutcome& outcome) {
    outcome.checksum = 0;
    if (fs::IsFile(ScratchPath(dest))) {
        OpenFile closed;
        if (!PlaceCopy(session, port, source, dest, closed, outcome)) return;
        outcome.result = CopyResult::PartlyWritten;
        port.LogStep("Installed partly written: " + dest + " (copy error ignored, checksum not compared)");
        return;
    }
    RunError ignored;
    fs::RemoveFile(dest, ignored);
    outcome.result = CopyResult::Skipped;
    port.LogStep("Not installed: " + dest + " (copy error ignored)");
}

// The checksum dialog's Ignore and Abort: the copy is not installed. Ignore skips the
// entry, and what was at its place goes as well; Abort keeps an earlier file.
void RefuseMismatch(UserPort& port, const std::string& destFile, Answer answer, const std::string& mismatch,
                    CopyOutcome& outcome) {
    if (answer == Answer::Ignore) {
        RunError ignored;
        const bool hadFile = fs::RemoveFile(destFile, ignored);
        outcome.result = CopyResult::Skipped;
        port.LogStep("Not installed: " + destFile + " (" + mismatch + ", ignored" +
                     (hadFile ? "; the earlier file is removed" : "") + ")");
        return;
    }
    outcome.result = CopyResult::Aborted;
    port.LogStep("Not installed: " + destFile + " (" + mismatch + ", aborted" + EarlierFileNote(destFile) + ")");
}

}  // namespace

CopyOutcome FileCP(Session& session, UserPort& port, const std::string& source, const std::string& dest,
                   Checking checking) {
    CopyOutcome outcome;
    OpenFile scratch;
    switch (CopyToScratch(session, port, source, dest, checking, scratch, outcome)) {
        case Scratch::Whole:
            if (PlaceCopy(session, port, source, dest, scratch, outcome)) outcome.result = CopyResult::Unchecked;
            break;
        case Scratch::Ignored: PlaceIgnoredCopy(session, port, source, dest, outcome); break;
        case Scratch::Ended: break;
    }
    if (!outcome.Installed()) outcome.checksum = 0;
    return outcome;
}

CopyOutcome VerifiedCopy(Session& session, UserPort& port, const std::string& sourceFile, const std::string& destFile,
                         const std::string& expected, int64_t size, Checking checking) {
    CopyOutcome outcome;
    for (;;) {
        OpenFile scratch;
        const Scratch copied = CopyToScratch(session, port, sourceFile, destFile, checking, scratch, outcome);
        if (copied == Scratch::Ended) return outcome;
        // An ignored copy error leaves the checksum at 0: with checking on, it is compared
        // like any other.
        const std::string actual = ChecksumText(outcome.checksum);
        if (checking == Checking::Off || actual == expected) {
            if (copied == Scratch::Ignored) {
                PlaceIgnoredCopy(session, port, sourceFile, destFile, outcome);
                return outcome;
            }
            if (!PlaceCopy(session, port, sourceFile, destFile, scratch, outcome)) return outcome;
            outcome.result = checking == Checking::On ? CopyResult::Verified : CopyResult::Unchecked;
            port.LogStep("Copied " + destFile + " (" + std::to_string(size) + " bytes, checksum " +
                         (checking == Checking::Off ? "not checked" : actual + " verified") + ")");
            return outcome;
        }
        scratch.Close();
        const Answer answer = AskAfterChecksumMismatch(session, port, destFile, expected, actual);
        Discard(ScratchPath(destFile));
        if (answer != Answer::Retry) {
            RefuseMismatch(port, destFile, answer, "checksum " + actual + " instead of " + expected, outcome);
            outcome.checksum = 0;
            return outcome;
        }
        UpdateProgress(session, port, -RoundToCluster(session, size));
    }
}

}  // namespace qv
