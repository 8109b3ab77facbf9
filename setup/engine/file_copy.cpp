#include "setup/engine/file_copy.h"

#include <algorithm>
#include <memory>

#include "setup/engine/checksum.h"
#include "setup/engine/flush_behind.h"
#include "setup/engine/install_journal.h"
#include "setup/engine/open_files.h"
#include "setup/engine/progress.h"
#include "setup/engine/read_ahead.h"
#include "setup/session/disk_utils.h"
#include "setup/session/file_system.h"
#include "setup/session/res_strings.h"

namespace qv {
namespace {

// What the log adds about the file a copy would have replaced: an earlier file stands at
// dest, or waits aside to come back.
std::string EarlierFileNote(InstallJournal& journal, const Path& dest) {
    const bool earlier = journal.HasEarlier(dest) || (!journal.Touched(dest) && fs::Exists(dest));
    return earlier ? "; the earlier file is kept" : "";
}

// The bytes move in chunks of whole blocks: one read and one write carry many blocks,
// while the checksum, the progress and the Cancel check still go block by block.
constexpr int64_t kChunkSize = 32 * int64_t{kBlockSize};

// How one attempt at a copy ended.
enum class Attempt { Copied, Cancelled, Failed };

// One attempt at the copy, from opening both files to carrying the times over. The copy is
// created under the destination's own name, where the journal has made room for it, or
// written into the copy created there ahead (`madeAhead`). Its bytes come from the source
// file, or from what was read of it ahead (`ahead`, not null). `expected` is the checksum
// the copy is compared with afterwards (null: none).
class CopyAttempt {
public:
    CopyAttempt(Session& session, UserPort& port, const std::string& source, SourceBytes* ahead,
                fs::Handle madeAhead, const Path& dest, Checking checking, const std::string* expected, bool flush,
                FlushBehind* flushBehind)
        : session_(session), port_(port), source_(source), ahead_(ahead), dest_(dest), checking_(checking),
          expected_(expected), flush_(flush), flushBehind_(flushBehind) {
        to_.TakeOver(madeAhead);
    }

    // Sets the outcome's checksum (not known with checking off and no checksum library) and
    // the size copied.
    Attempt Run(CopyOutcome& outcome, RunError& error) {
        outcome.checksum = 0;
        outcome.checksumKnown = false;
        outcome.size = 0;
        outcome.time = 0;
        if (!ahead_ && !from_.OpenRead(source_, error)) return Attempt::Failed;
        if (!to_.IsOpen() && !to_.CreateNew(dest_, error)) return Attempt::Failed;
        int64_t length = 0;
        if (!SourceSize(length, error)) return Attempt::Failed;
        if (length == 0) {
            // An empty copy stays as it is; its times are not set.
            outcome.checksumKnown = true;
            return Finish(0, error) ? Attempt::Copied : Attempt::Failed;
        }
        int32_t running = -1;
        const Attempt moved = MoveAll(length, running, error);
        if (moved != Attempt::Copied) return moved;
        const int64_t stamped = CarryTimesOver();
        if (!Finish(~running, error)) return Attempt::Failed;
        outcome.time = stamped;
        outcome.checksumKnown = summing_;
        outcome.checksum = summing_ ? ~running : 0;
        outcome.size = length;
        return Attempt::Copied;
    }

    void CloseBoth() {
        from_.Close();
        to_.Close();
    }

private:
    bool SourceSize(int64_t& length, RunError& error) {
        if (!ahead_) return from_.Size(length, error);
        length = static_cast<int64_t>(ahead_->bytes.size());
        return true;
    }

    // Reads the source's next `want` bytes into `buffer`; bytes read ahead are written from
    // where they lie, and nothing needs reading.
    bool ReadSource(char* buffer, uint32_t want, uint32_t& got, RunError& error) {
        if (!ahead_) return from_.Read(buffer, want, got, error);
        got = want;
        return true;
    }

    // Times that cannot be carried over are passed over. The last-write time given, 0 when
    // none was.
    int64_t CarryTimesOver() {
        RunError ignored;
        fs::FileTimes times;
        if (ahead_) times = ahead_->times;
        else if (!from_.Times(times, ignored)) return 0;
        return to_.SetTimes(times, ignored) ? fs::WriteTimeOf(times) : 0;
    }

    // Moves all `length` bytes in chunks, read through a buffer of this attempt's own or
    // written from where they were read ahead. Blocks of kBlockSize and a last, shorter one;
    // a file shorter than one block is one block. After every block but that last, shorter
    // one, pending events run and a Cancel stops the copy at that block.
    Attempt MoveAll(int64_t length, int32_t& running, RunError& error) {
        const int64_t eventsUpTo = length < kBlockSize ? length : length - length % kBlockSize;
        const int64_t bufferSize = ahead_ ? 0 : std::min(length, kChunkSize);
        const std::unique_ptr<char[]> buffer(new char[static_cast<size_t>(bufferSize)]);
        for (int64_t done = 0; done < length;) {
            const int64_t chunk = std::min(length - done, kChunkSize);
            char* const bytes = ahead_ ? ahead_->bytes.data() + done : buffer.get();
            int64_t moved = 0;
            const bool whole = MoveChunk(bytes, done, chunk, moved, error);
            for (int64_t at = 0; at < moved;) {
                const int32_t block = static_cast<int32_t>(std::min<int64_t>(moved - at, kBlockSize));
                if (!CountBlock(bytes + at, block, running, error)) return Attempt::Failed;
                at += block;
                done += block;
                if (done > eventsUpTo) continue;
                port_.DoEvents();
                if (session_.Cancel.Requested()) {
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
        const bool read = ReadSource(buffer, want, got, chunkError);
        if (read && got == want && to_.Write(buffer, want, chunkError)) {
            moved = length;
            return true;
        }
        if (read && got != want) chunkError = err::InputPastEnd();
        if ((!ahead_ && !from_.Seek(offset, error)) || !to_.Seek(offset, error)) {
            error = chunkError;
            return false;
        }
        while (moved < length) {
            const uint32_t block = static_cast<uint32_t>(std::min<int64_t>(length - moved, kBlockSize));
            if (!ReadSource(buffer + moved, block, got, error)) return false;
            if (got != block) {
                error = err::InputPastEnd();  // the source became shorter while it was copied
                return false;
            }
            if (!to_.Write(buffer + moved, block, error)) return false;
            moved += block;
        }
        return true;
    }

    // Adds a copied block to the checksum and counts it in the progress. The checksum is
    // kept for the install record also with checking off, where the library can be had.
    bool CountBlock(const char* block, int32_t length, int32_t& running, RunError& error) {
        if (summing_ && !GetCRC(block, length, running, error)) {
            if (checking_ == Checking::On) {
                port_.LogStep("The checksum library cannot be used: " + ChecksumLibraryPath() + SystemCause(error));
                return false;
            }
            summing_ = false;
        }
        UpdateProgress(session_, port_, RoundToCluster(session_, length));
        return true;
    }

    // A copy that replaces an earlier file reaches the disk before the earlier file may go:
    // flushed behind the pass where it holds what it is compared with and nothing in the
    // pass touches its place again, flushed here otherwise. A new copy of bytes read ahead
    // is closed behind the pass, on the same terms. Any other copy is closed here, so that
    // what comes after it (a removal, a Retry) finds it closed.
    bool Finish(int32_t checksum, RunError& error) {
        from_.Close();
        const bool matches = !expected_ || (summing_ && ChecksumText(checksum) == *expected_);
        if (flushBehind_ && matches && (flush_ || ahead_)) {
            if (flush_) flushBehind_->Hand(to_.Release(), dest_);
            else flushBehind_->HandToClose(to_.Release());
            return true;
        }
        if (flush_ && !to_.Flush(error)) return false;
        return to_.Close(error);
    }

    Session& session_;
    UserPort& port_;
    const std::string& source_;
    SourceBytes* const ahead_;
    const Path& dest_;
    const Checking checking_;
    const std::string* const expected_;
    const bool flush_;
    FlushBehind* const flushBehind_;
    bool summing_ = true;
    OpenFile from_;
    OpenFile to_;
};

// FileCP's box for the copy failure `error` of `copied` (the source and the destination).
Message CopyFailureBox(Session& session, const std::string& copied, const RunError& error) {
    Message box;
    box.title = "FileCP";
    box.text = Res(session, Str::FileCopyError) + " : " + std::to_string(error.number) + "\n" + error.description +
               "\r" + copied;
    box.buttons = Buttons::AbortRetryIgnore;
    box.icon = Icon::Exclamation;
    box.cause = error;
    return box;
}

Answer AskAfterCopyFailure(Session& session, UserPort& port, const std::string& source, const Path& dest,
                           const RunError& error) {
    return port.ShowMessage(CopyFailureBox(session, source + " -> " + dest, error));
}

Answer AskAfterChecksumMismatch(Session& session, UserPort& port, const Path& destFile,
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

// Gives the copy of dest up on Abort (or a box that could not be shown): what was written
// goes, the earlier dest comes back, and the progress window may unload.
void GiveUp(UserPort& port, InstallJournal& journal, const Path& dest, CopyOutcome& outcome,
            const RunError& error) {
    const std::string note = EarlierFileNote(journal, dest);
    journal.Restore(dest);
    outcome.result = CopyResult::Aborted;
    port.LogStep("Not installed: " + dest + " (copy error, aborted" + note + ")" + SystemCause(error));
    port.UnloadProgress();
}

// What a copy came to, before its checksum is compared.
enum class Copied {
    Whole,    // dest holds the whole source
    Ignored,  // the copy failed and the user chose Ignore; dest may hold part of it
    Ended,    // given up (Abort, Cancel, Ignore where dest could not be made room for): outcome.result says how
};

// Where the earlier dest is held open by another program (`held` says why it cannot go), the
// new copy is written beside it instead, to take its place at the next restart. False, the
// copy not begun, where the journal cannot list it.
bool ReplaceLater(UserPort& port, InstallJournal& journal, const Path& dest, const RunError& held) {
    RunError error;
    if (!journal.PrepareAtRestart(dest, error)) return false;
    port.LogStep("Held open: " + dest + " (" + held.description + ")" + SystemCause(held) +
                 ": the new copy is written beside it and takes its place at the next restart");
    return true;
}

// A file that an earlier run's copy replaces at the next restart: a copy written in its
// place now would be replaced by that one then, so the new copy waits for the restart as
// well, and takes the place after it.
bool ReplaceAfterEarlierRun(UserPort& port, InstallJournal& journal, const Path& dest) {
    RunError error;
    if (!journal.WaitsForRestart(dest) || !journal.PrepareAtRestart(dest, error)) return false;
    port.LogStep("Waits for the next restart: " + dest +
                 " (an earlier run's copy takes its place then): the new copy is written beside it and follows it");
    return true;
}

// Makes room for dest: an earlier file is moved aside. Where it cannot be (read-only, held
// open by another program) FileCP's dialog asks: Retry tries again, Ignore leaves dest as
// it was (Skipped), Abort gives the install up. An earlier file held open is replaced at the
// next restart instead: at once in an unattended run, where no one can close the program
// that holds it, and after Ignore with the windows, where the earlier file would otherwise
// stay for good. True once there is room. A copy made ahead (listed in the journal before it
// was) is the room: the copy takes it over (`madeAhead`: the handle of the file created
// there, where there is one), and an earlier file moved aside for it is the run's to bring
// back, as if PrepareFile had moved it.
bool MakeRoom(Session& session, UserPort& port, InstallJournal& journal, const std::string& source,
              SourceBytes* ahead, const Path& dest, fs::Handle& madeAhead, CopyOutcome& outcome) {
    madeAhead = fs::kNoHandle;
    if (ahead && ahead->copy) {
        const CopyMadeAhead::Made made = ahead->copy->TakeOver();
        ahead->copy.reset();
        if (!made.earlier.empty()) journal.MovedAside(dest, made.earlier);
        madeAhead = made.handle;
        return true;
    }
    if (ReplaceAfterEarlierRun(port, journal, dest)) return true;
    for (;;) {
        RunError error;
        if (journal.PrepareFile(dest, error)) return true;
        outcome.error = error;
        const bool held = fs::HeldByAnother(error);
        if (held && session.Unattended && ReplaceLater(port, journal, dest, error)) return true;
        switch (AskAfterCopyFailure(session, port, source, dest, error)) {
            case Answer::Retry: outcome.retried = true; continue;
            case Answer::Ignore:
                outcome.retried = true;
                if (held && ReplaceLater(port, journal, dest, error)) return true;
                outcome.result = CopyResult::Skipped;
                port.LogStep("Not installed: " + dest + " (copy error ignored; the earlier file is kept)" +
                             SystemCause(error));
                return false;
            default:
                GiveUp(port, journal, dest, outcome, error);
                return false;
        }
    }
}

// Copies source to dest, with FileCP's dialog on a failure: Retry starts the copy again,
// reading the source itself, Ignore gives it up (both mark the outcome retried), Abort gives
// the install up. The first attempt takes the source's bytes from `ahead` where not null.
Copied CopyWithDialogs(Session& session, UserPort& port, InstallJournal& journal, const CopySource& from,
                       SourceBytes* ahead, const Path& dest, Checking checking, const std::string* expected,
                       CopyOutcome& outcome) {
    const std::string& source = from.path;
    for (;; ahead = nullptr) {
        fs::Handle madeAhead = fs::kNoHandle;
        if (!MakeRoom(session, port, journal, source, ahead, dest, madeAhead, outcome)) return Copied::Ended;
        const Path target = journal.CopyPathFor(dest);
        // A copy written beside a file held open is handed over afterwards: it is closed here.
        FlushBehind* const flushBehind = target == dest ? from.flushBehind : nullptr;
        CopyAttempt attempt(session, port, source, ahead, madeAhead, target, checking, expected,
                            journal.HasEarlier(dest), flushBehind);
        RunError error;
        switch (attempt.Run(outcome, error)) {
            case Attempt::Copied: return Copied::Whole;
            case Attempt::Cancelled: {
                const std::string note = EarlierFileNote(journal, dest);
                journal.Restore(dest);
                port.LogStep("Not installed: " + dest + " (cancelled" + note + ")");
                outcome.result = CopyResult::Cancelled;
                return Copied::Ended;
            }
            case Attempt::Failed: break;
        }
        attempt.CloseBoth();
        outcome.error = error;
        switch (AskAfterCopyFailure(session, port, source, dest, error)) {
            case Answer::Retry: outcome.retried = true; continue;
            case Answer::Ignore:
                outcome.retried = true;
                port.LogStep("Copy error ignored: " + dest + " (" + error.description + ")" + SystemCause(error));
                return Copied::Ignored;
            default:
                GiveUp(port, journal, dest, outcome, {});
                return Copied::Ended;
        }
    }
}

// What an ignored copy error leaves is installed: the part that was written stays at dest
// (PartlyWritten); where nothing was written, the entry is skipped and an earlier dest goes.
void KeepIgnoredCopy(UserPort& port, InstallJournal& journal, const Path& dest, const RecordedFile& file,
                     CopyOutcome& outcome) {
    outcome.checksum = 0;
    if (journal.WritesBeside(dest)) {
        // What was written beside a file held open never takes its place: the earlier file stays.
        journal.Restore(dest);
        outcome.result = CopyResult::Skipped;
        port.LogStep("Not installed: " + dest + " (copy error ignored; the earlier file is kept)");
        return;
    }
    if (!fs::IsFile(dest)) {
        journal.Drop(dest);
        outcome.result = CopyResult::Skipped;
        port.LogStep("Not installed: " + dest + " (copy error ignored)");
        return;
    }
    RecordedFile partial = file;
    partial.checksum.clear();
    int32_t crc = 0;
    RunError ignored;
    if (FileChecksum(dest, partial.size, crc, ignored)) partial.checksum = ChecksumText(crc);
    journal.Wrote(partial);
    outcome.result = CopyResult::PartlyWritten;
    port.LogStep("Installed partly written: " + dest + " (copy error ignored, checksum not compared)");
}

// The checksum dialog's Ignore and Abort: the copy is not installed. Ignore skips the
// entry, and what was at its place goes as well; Abort keeps an earlier file.
void RefuseMismatch(UserPort& port, InstallJournal& journal, const Path& destFile, Answer answer,
                    const std::string& mismatch, CopyOutcome& outcome) {
    const bool earlier = journal.HasEarlier(destFile);
    const bool held = journal.WritesBeside(destFile);
    if (answer == Answer::Ignore) {
        journal.Drop(destFile);
        outcome.result = CopyResult::Skipped;
        port.LogStep("Not installed: " + destFile + " (" + mismatch + ", ignored" +
                     (held ? "; the earlier file is kept" : earlier ? "; the earlier file is removed" : "") + ")");
        return;
    }
    journal.Restore(destFile);
    outcome.result = CopyResult::Aborted;
    port.LogStep("Not installed: " + destFile + " (" + mismatch + ", aborted" +
                 (earlier ? "; the earlier file is kept" : "") + ")");
}

// A whole copy written beside a file held open is handed to the system, to take the file's
// place at the next restart. Where the system will not have it (no right to), the copy goes
// and the earlier file stays: unattended, the install is given up, as it was before there
// was a copy; with the windows, the entry is skipped, as Ignore leaves it. False then.
bool HandOver(Session& session, UserPort& port, InstallJournal& journal, const Path& dest, CopyOutcome& outcome) {
    if (!journal.WritesBeside(dest)) return true;
    RunError error;
    if (journal.ReplaceAtRestart(dest, error)) return true;
    journal.Restore(dest);
    outcome.error = error;
    outcome.checksum = 0;
    outcome.result = session.Unattended ? CopyResult::Aborted : CopyResult::Skipped;
    port.LogStep("Not installed: " + dest + " (held open, and it cannot be replaced at the next restart; " +
                 "the earlier file is kept)" + SystemCause(error));
    if (session.Unattended) port.UnloadProgress();
    return false;
}

// The file as the record keeps it, once copied whole.
RecordedFile Copy(const CopySource& from, const Path& dest, const CopyOutcome& outcome) {
    RecordedFile file;
    file.path = dest;
    file.size = outcome.size;
    file.checksum = outcome.checksumKnown ? ChecksumText(outcome.checksum) : std::string();
    file.product = from.product;
    file.spec = from.spec;
    file.time = outcome.time;
    return file;
}

}  // namespace

CopyOutcome FileCP(Session& session, UserPort& port, InstallJournal& journal, const CopySource& source,
                   const Path& dest, Checking checking) {
    CopyOutcome outcome;
    switch (CopyWithDialogs(session, port, journal, source, source.ahead, dest, checking, nullptr, outcome)) {
        case Copied::Whole:
            if (!HandOver(session, port, journal, dest, outcome)) break;
            journal.Wrote(Copy(source, dest, outcome));
            outcome.result = CopyResult::Unchecked;
            break;
        case Copied::Ignored: KeepIgnoredCopy(port, journal, dest, Copy(source, dest, outcome), outcome); break;
        case Copied::Ended: break;
    }
    if (!outcome.Installed() || checking == Checking::Off) outcome.checksum = 0;
    return outcome;
}

void CountAsCopied(Session& session, UserPort& port, int64_t size) {
    if (size <= 0) return;
    // The blocks' count at once, in steps the progress can take.
    const int64_t perBlock = RoundToCluster(session, kBlockSize);
    for (int64_t whole = size / kBlockSize * perBlock; whole > 0;) {
        const int64_t step = std::min<int64_t>(whole, int64_t{1} << 30);
        UpdateProgress(session, port, static_cast<int32_t>(step));
        whole -= step;
    }
    if (size % kBlockSize != 0) UpdateProgress(session, port, RoundToCluster(session, size % kBlockSize));
}

CopyOutcome VerifiedCopy(Session& session, UserPort& port, InstallJournal& journal, const CopySource& source,
                         const Path& destFile, const std::string& expected, int64_t size, Checking checking) {
    CopyOutcome outcome;
    // A Retry after a checksum that differs reads the source again.
    for (SourceBytes* ahead = source.ahead;; ahead = nullptr) {
        const std::string* compared = checking == Checking::On ? &expected : nullptr;
        const Copied copied =
            CopyWithDialogs(session, port, journal, source, ahead, destFile, checking, compared, outcome);
        if (copied == Copied::Ended) return outcome;
        // An ignored copy error leaves the checksum at 0: with checking on, it is compared
        // like any other.
        const std::string actual = ChecksumText(checking == Checking::On ? outcome.checksum : 0);
        if (checking == Checking::Off || actual == expected) {
            if (copied == Copied::Ignored) {
                KeepIgnoredCopy(port, journal, destFile, Copy(source, destFile, outcome), outcome);
                return outcome;
            }
            const Path beside = journal.CopyPathFor(destFile);
            if (!HandOver(session, port, journal, destFile, outcome)) return outcome;
            journal.Wrote(Copy(source, destFile, outcome));
            outcome.result = checking == Checking::On ? CopyResult::Verified : CopyResult::Unchecked;
            if (checking == Checking::Off) outcome.checksum = 0;
            port.LogStep("Copied " + destFile + " (" + std::to_string(size) + " bytes, checksum " +
                         (checking == Checking::Off ? "not checked" : actual + " verified") + ")" +
                         (beside == destFile ? "" : " to " + beside + ", which takes its place at the next restart"));
            return outcome;
        }
        const Answer answer = AskAfterChecksumMismatch(session, port, destFile, expected, actual);
        if (answer != Answer::Retry) {
            RefuseMismatch(port, journal, destFile, answer, "checksum " + actual + " instead of " + expected, outcome);
            outcome.checksum = 0;
            return outcome;
        }
        UpdateProgress(session, port, -RoundToCluster(session, size));
    }
}

void SettleFlushes(Session& session, UserPort& port, FlushBehind& flushBehind, RunOutcome& outcome) {
    Path at;
    RunError error;
    if (flushBehind.Settle(at, error)) return;
    port.LogStep("Not written to the disk: " + at + " (" + error.description + ")" + SystemCause(error));
    if (outcome.EndsInstall()) return;  // the install ends anyway: no box of its own
    Message box = CopyFailureBox(session, at, error);
    box.buttons = Buttons::Ok;
    PassOver(port.ShowMessage(box) == Answer::Ok);
    port.UnloadProgress();
    outcome = AbortedAt(at);
}

}  // namespace qv
