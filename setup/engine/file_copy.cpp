#include "setup/engine/file_copy.h"

#include <algorithm>
#include <vector>

#include "setup/engine/checksum.h"
#include "setup/engine/open_files.h"
#include "setup/engine/progress.h"
#include "setup/session/disk_utils.h"
#include "setup/session/file_system.h"
#include "setup/session/res_strings.h"

namespace qv {
namespace {

enum class Outcome { Copied, Cancelled, Failed };

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

// The one buffer every copy uses (the installer copies one file at a time).
std::vector<char>& ChunkBuffer(size_t size) {
    static std::vector<char> buffer;
    if (buffer.size() < size) buffer.resize(size);
    return buffer;
}

// One attempt at the copy into the scratch file, from opening both files to carrying the
// times over. The scratch file stays open in `to` where the system can move open files.
class CopyAttempt {
public:
    CopyAttempt(Session& session, UserPort& port, const std::string& source, const std::string& scratch,
                OpenFile& to)
        : session_(session), port_(port), source_(source), dest_(scratch), to_(to) {}

    Outcome Run(int32_t& checksum, RunError& error) {
        checksum = 0;
        if (!from_.OpenRead(source_, error)) return Outcome::Failed;
        if (!to_.CreateWrite(dest_, error)) return Outcome::Failed;
        int64_t length = 0;
        if (!from_.Size(length, error)) return Outcome::Failed;
        if (length == 0) {
            // An empty copy stays as it is; its times are not set.
            return Finish(error) ? Outcome::Copied : Outcome::Failed;
        }

        // Blocks of kBlockSize and a last, shorter one; a file shorter than one block is one
        // block. After every block but that last, shorter one, pending events run and a
        // Cancel stops the copy at that block.
        const int64_t eventsUpTo = length < kBlockSize ? length : length - length % kBlockSize;
        std::vector<char>& buffer = ChunkBuffer(static_cast<size_t>(std::min(length, kChunkSize)));
        int32_t running = -1;
        for (int64_t done = 0; done < length;) {
            const int64_t chunk = std::min(length - done, kChunkSize);
            int64_t moved = 0;
            const bool whole = MoveChunk(buffer.data(), done, chunk, moved, error);
            for (int64_t at = 0; at < moved;) {
                const int32_t block = static_cast<int32_t>(std::min<int64_t>(moved - at, kBlockSize));
                if (!CountBlock(buffer.data() + at, block, running, error)) return Outcome::Failed;
                at += block;
                done += block;
                if (done > eventsUpTo) continue;
                port_.DoEvents();
                if (session_.InstallAborted) {
                    CloseAllOpenFiles();
                    return Outcome::Cancelled;
                }
            }
            if (!whole) return Outcome::Failed;
        }
        RunError ignored;
        from_.CopyTimesTo(to_, ignored);  // times that cannot be carried over are passed over
        if (!Finish(error)) return Outcome::Failed;
        checksum = ~running;
        return Outcome::Copied;
    }

    void CloseBoth() {
        from_.Close();
        to_.Close();
    }

private:
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
        if (!session_.NoCrcCheck && !GetCRC(block, length, running, error)) {
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

// What a copy into the scratch file came to.
struct ScratchCopy {
    enum class State {
        None,     // nothing to install: the copy was given up (Abort, Cancel)
        Whole,    // the scratch file holds the whole source
        Ignored,  // the copy failed and the user chose Ignore; the scratch file may hold part of it
    } state = State::None;
    int32_t checksum = 0;
};

// Copies source into the scratch file of dest, with FileCP's dialog on a failure: Retry
// starts the copy again, Ignore gives it up (both set CopyRetried), Abort gives the
// install up. After Abort and Cancel the scratch file is gone and dest is as it was. A
// whole copy may still be open in `copy`.
ScratchCopy CopyToScratch(Session& session, UserPort& port, const std::string& source, const std::string& dest,
                          OpenFile& copy) {
    const std::string scratch = ScratchPath(dest);
    for (;;) {
        CopyAttempt attempt(session, port, source, scratch, copy);
        int32_t checksum = 0;
        RunError error;
        switch (attempt.Run(checksum, error)) {
            case Outcome::Copied: return {ScratchCopy::State::Whole, checksum};
            case Outcome::Cancelled:
                Discard(scratch);
                port.LogStep("Not installed: " + dest + " (cancelled" + EarlierFileNote(dest) + ")");
                return {};
            case Outcome::Failed: break;
        }
        attempt.CloseBoth();
        // Any answer but Retry or Ignore (a box that could not be shown) gives the install up.
        switch (AskAfterCopyFailure(session, port, source, dest, error)) {
            case Answer::Retry: session.CopyRetried = true; continue;
            case Answer::Ignore:
                session.CopyRetried = true;
                port.LogStep("Copy error ignored: " + dest + " (" + error.description + ")" + SystemCause(error));
                return {ScratchCopy::State::Ignored, 0};
            default:
                Discard(scratch);
                session.InstallAborted = true;
                port.LogStep("Not installed: " + dest + " (copy error, aborted" + EarlierFileNote(dest) + ")");
                port.UnloadProgress();
                return {};
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
// Ignore leaves dest as it was, Abort gives the install up. True once the copy is in place.
bool PlaceCopy(Session& session, UserPort& port, const std::string& source, const std::string& dest, OpenFile& copy) {
    const std::string scratch = ScratchPath(dest);
    for (;;) {
        RunError error;
        if (MoveIntoPlace(copy, scratch, dest, error)) return true;
        copy.Close();  // from here on it is moved by its name
        switch (AskAfterCopyFailure(session, port, source, dest, error)) {
            case Answer::Retry: session.CopyRetried = true; continue;
            case Answer::Ignore:
                session.CopyRetried = true;
                Discard(scratch);
                port.LogStep("Not installed: " + dest + " (copy error ignored" + EarlierFileNote(dest) + ")" +
                             SystemCause(error));
                return false;
            default:
                Discard(scratch);
                session.InstallAborted = true;
                port.LogStep("Not installed: " + dest + " (copy error, aborted" + EarlierFileNote(dest) + ")" +
                             SystemCause(error));
                port.UnloadProgress();
                return false;
        }
    }
}

// Installs what an ignored copy error left: the part that was written takes the place of
// dest; where nothing was written, dest goes.
void PlaceIgnoredCopy(Session& session, UserPort& port, const std::string& source, const std::string& dest) {
    if (fs::IsFile(ScratchPath(dest))) {
        OpenFile closed;
        if (PlaceCopy(session, port, source, dest, closed))
            port.LogStep("Installed partly written: " + dest + " (copy error ignored, checksum not compared)");
        return;
    }
    RunError ignored;
    fs::RemoveFile(dest, ignored);
    port.LogStep("Not installed: " + dest + " (copy error ignored)");
}

}  // namespace

int32_t FileCP(Session& session, UserPort& port, const std::string& source, const std::string& dest) {
    OpenFile scratch;
    const ScratchCopy copy = CopyToScratch(session, port, source, dest, scratch);
    if (copy.state == ScratchCopy::State::Whole) PlaceCopy(session, port, source, dest, scratch);
    if (copy.state == ScratchCopy::State::Ignored) PlaceIgnoredCopy(session, port, source, dest);
    return copy.checksum;
}

void VerifiedCopy(Session& session, UserPort& port, const std::string& sourceFile, const std::string& destFile,
                  const std::string& expected, int64_t size) {
    for (;;) {
        OpenFile scratch;
        const ScratchCopy copy = CopyToScratch(session, port, sourceFile, destFile, scratch);
        if (session.InstallAborted) return;
        const std::string actual = ChecksumText(copy.checksum);
        const std::string& wanted = session.NoCrcCheck ? actual : expected;
        if (actual == wanted) {
            if (copy.state == ScratchCopy::State::Ignored) return PlaceIgnoredCopy(session, port, sourceFile, destFile);
            if (PlaceCopy(session, port, sourceFile, destFile, scratch))
                port.LogStep("Copied " + destFile + " (" + std::to_string(size) + " bytes, checksum " +
                             (session.NoCrcCheck ? "not checked" : actual + " verified") + ")");
            return;
        }
        scratch.Close();
        const Answer answer = AskAfterChecksumMismatch(session, port, destFile, expected, actual);
        Discard(ScratchPath(destFile));
        const std::string mismatch = "checksum " + actual + " instead of " + expected;
        if (answer == Answer::Ignore) {
            // The entry is skipped: what was at its place goes as well.
            RunError ignored;
            const bool hadFile = fs::RemoveFile(destFile, ignored);
            port.LogStep("Not installed: " + destFile + " (" + mismatch + ", ignored" +
                         (hadFile ? "; the earlier file is removed" : "") + ")");
            return;
        }
        if (answer != Answer::Retry) {
            session.InstallAborted = true;
            port.LogStep("Not installed: " + destFile + " (" + mismatch + ", aborted" + EarlierFileNote(destFile) + ")");
            return;
        }
        UpdateProgress(session, port, -RoundToCluster(session, size));
    }
}

}  // namespace qv
