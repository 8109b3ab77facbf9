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

// One attempt at the copy, from opening both files to carrying the times over.
class CopyAttempt {
public:
    CopyAttempt(Session& session, UserPort& port, const std::string& source, const std::string& dest)
        : session_(session), port_(port), source_(source), dest_(dest) {}

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
        if (!session_.NoCrcCheck && !GetCRC(buffer_.data(), length, running, error)) return false;
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

// FileCP, telling also whether the copy failed and the failure was ignored.
struct CopyResult {
    int32_t checksum = 0;
    bool copied = false;
};

CopyResult CopyAnswering(Session& session, UserPort& port, const std::string& source, const std::string& dest) {
    RunError ignored;
    fs::RemoveFile(dest, ignored);  // an old copy that cannot be deleted is simply overwritten
    for (;;) {
        CopyAttempt attempt(session, port, source, dest);
        int32_t checksum = 0;
        RunError error;
        switch (attempt.Run(checksum, error)) {
            case Outcome::Copied: return {checksum, true};
            case Outcome::Cancelled: return {};
            case Outcome::Failed: break;
        }
        attempt.CloseBoth();
        // Any answer but Retry or Ignore (a box that could not be shown) gives the install up.
        switch (AskAfterCopyFailure(session, port, source, dest, error)) {
            case Answer::Retry: session.CopyRetried = true; continue;
            case Answer::Ignore:
                session.CopyRetried = true;
                port.LogStep("Not installed: " + dest + " (copy error ignored)" + SystemCause(error));
                return {};
            default:
                session.InstallAborted = true;
                port.UnloadProgress();
                return {};
        }
    }
}

}  // namespace

int32_t FileCP(Session& session, UserPort& port, const std::string& source, const std::string& dest) {
    return CopyAnswering(session, port, source, dest).checksum;
}

void VerifiedCopy(Session& session, UserPort& port, const std::string& sourceFile, const std::string& destFile,
                  const std::string& expected, int64_t size) {
    for (;;) {
        const CopyResult copy = CopyAnswering(session, port, sourceFile, destFile);
        if (session.InstallAborted) return;
        const std::string actual = ChecksumText(copy.checksum);
        const std::string& wanted = session.NoCrcCheck ? actual : expected;
        if (actual == wanted) {
            if (copy.copied)
                port.LogStep("Copied " + destFile + " (" + std::to_string(size) + " bytes, checksum " +
                             (session.NoCrcCheck ? "not checked" : actual + " verified") + ")");
            return;
        }
        const Answer answer = AskAfterChecksumMismatch(session, port, destFile, expected, actual);
        RunError ignored;
        fs::RemoveFile(destFile, ignored);
        if (answer == Answer::Ignore) {
            port.LogStep("Not installed: " + destFile + " (checksum " + actual + " instead of " + expected +
                         ", ignored)");
            return;
        }
        if (answer != Answer::Retry) {
            session.InstallAborted = true;
            port.LogStep("Removed " + destFile + " (checksum " + actual + " instead of " + expected + ")");
            return;
        }
        UpdateProgress(session, port, -RoundToCluster(session, size));
    }
}

}  // namespace qv
