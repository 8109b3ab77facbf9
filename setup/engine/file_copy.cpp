#include "setup/engine/file_copy.h"

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

// One attempt at the copy into the scratch file, from opening both files to carrying the
// times over.
class CopyAttempt {
public:
    CopyAttempt(Session& session, UserPort& port, const std::string& source, const std::string& scratch)
        : session_(session), port_(port), source_(source), dest_(scratch) {}

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

        // A file shorter than one block is copied as one full block.
        const int64_t fullBlocks = length < kBlockSize ? 1 : length / kBlockSize;
        const int32_t fullLength = length < kBlockSize ? static_cast<int32_t>(length) : kBlockSize;
        const int32_t remainder = length < kBlockSize ? 0 : static_cast<int32_t>(length % kBlockSize);
        buffer_.resize(static_cast<size_t>(fullLength));

        int32_t running = -1;
        for (int64_t block = 0; block < fullBlocks; ++block) {
            if (!CopyBlock(fullLength, running, error)) return Outcome::Failed;
            port_.DoEvents();
            if (session_.InstallAborted) {
                CloseAllOpenFiles();
                return Outcome::Cancelled;
            }
        }
        if (remainder > 0) {
            buffer_.resize(static_cast<size_t>(remainder));
            if (!CopyBlock(remainder, running, error)) return Outcome::Failed;
        }
        if (!Finish(error)) return Outcome::Failed;
        RunError ignored;
        fs::CopyFileTimes(source_, dest_, ignored);  // times that cannot be carried over are passed over
        checksum = ~running;
        return Outcome::Copied;
    }

    void CloseBoth() {
        from_.Close();
        to_.Close();
    }

private:
    bool CopyBlock(int32_t length, int32_t& running, RunError& error) {
        uint32_t got = 0;
        if (!from_.Read(buffer_.data(), static_cast<uint32_t>(length), got, error)) return false;
        if (got != static_cast<uint32_t>(length)) {
            error = err::InputPastEnd();  // the source became shorter while it was copied
            return false;
        }
        if (!session_.NoCrcCheck && !GetCRC(buffer_.data(), length, running, error)) {
            port_.LogStep("The checksum library cannot be used: " + ChecksumLibraryPath() + SystemCause(error));
            return false;
        }
        if (!to_.Write(buffer_.data(), static_cast<uint32_t>(length), error)) return false;
        UpdateProgress(session_, port_, RoundToCluster(session_, length));
        return true;
    }

    bool Finish(RunError& error) {
        from_.Close();
        return to_.Close(error);
    }

    Session& session_;
    UserPort& port_;
    const std::string& source_;
    const std::string& dest_;
    OpenFile from_;
    OpenFile to_;
    std::vector<char> buffer_;
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
// install up. After Abort and Cancel the scratch file is gone and dest is as it was.
ScratchCopy CopyToScratch(Session& session, UserPort& port, const std::string& source, const std::string& dest) {
    const std::string scratch = ScratchPath(dest);
    for (;;) {
        CopyAttempt attempt(session, port, source, scratch);
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

// Moves the scratch file into the place of dest. A destination that cannot be replaced
// (read-only, held open by another program) shows FileCP's dialog: Retry tries again,
// Ignore leaves dest as it was, Abort gives the install up. True once the copy is in place.
bool PlaceCopy(Session& session, UserPort& port, const std::string& source, const std::string& dest) {
    const std::string scratch = ScratchPath(dest);
    for (;;) {
        RunError error;
        if (fs::MoveReplacing(scratch, dest, error)) return true;
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
        if (PlaceCopy(session, port, source, dest))
            port.LogStep("Installed partly written: " + dest + " (copy error ignored, checksum not compared)");
        return;
    }
    RunError ignored;
    fs::RemoveFile(dest, ignored);
    port.LogStep("Not installed: " + dest + " (copy error ignored)");
}

}  // namespace

int32_t FileCP(Session& session, UserPort& port, const std::string& source, const std::string& dest) {
    const ScratchCopy copy = CopyToScratch(session, port, source, dest);
    if (copy.state == ScratchCopy::State::Whole) PlaceCopy(session, port, source, dest);
    if (copy.state == ScratchCopy::State::Ignored) PlaceIgnoredCopy(session, port, source, dest);
    return copy.checksum;
}

void VerifiedCopy(Session& session, UserPort& port, const std::string& sourceFile, const std::string& destFile,
                  const std::string& expected, int64_t size) {
    for (;;) {
        const ScratchCopy copy = CopyToScratch(session, port, sourceFile, destFile);
        if (session.InstallAborted) return;
        const std::string actual = ChecksumText(copy.checksum);
        const std::string& wanted = session.NoCrcCheck ? actual : expected;
        if (actual == wanted) {
            if (copy.state == ScratchCopy::State::Ignored) return PlaceIgnoredCopy(session, port, sourceFile, destFile);
            if (PlaceCopy(session, port, sourceFile, destFile))
                port.LogStep("Copied " + destFile + " (" + std::to_string(size) + " bytes, checksum " +
                             (session.NoCrcCheck ? "not checked" : actual + " verified") + ")");
            return;
        }
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
