// Flushing and closing copies behind the pass. A copy that replaces an earlier file must
// reach the disk before the earlier file may go (at the commit), and its flush waits for
// the disk while the pass could copy on; under Wine even closing a file waits for the
// server. A thread of its own flushes and closes the copies handed to it, in turn; the pass
// settles it before it ends, so that no copy is left open and no failure unreported when
// anything else touches the files.
#pragma once

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "setup/session/file_system.h"
#include "setup/session/path.h"
#include "setup/session/run_error.h"

namespace qv {

class FlushBehind {
public:
    FlushBehind() = default;
    FlushBehind(const FlushBehind&) = delete;
    FlushBehind& operator=(const FlushBehind&) = delete;
    ~FlushBehind();

    // Takes over the open copy at `path`: it is flushed and closed behind the caller.
    void Hand(fs::Handle copy, const Path& path);
    // Takes over an open copy that is written whole and need not reach the disk before
    // anything else happens (a new file): it is closed behind the caller, and a failure to
    // close is passed over, as the copy has lost nothing by then.
    void HandToClose(fs::Handle copy);

    // Waits until every copy handed over is flushed and closed. False, with the first copy
    // whose flush or close failed and the failure, when one did; the failure is then
    // reported, and the next Settle starts afresh.
    [[nodiscard]] bool Settle(Path& failedAt, RunError& error);

private:
    struct Handed {
        fs::Handle copy;
        Path path;
        bool flush;
    };
    void Take(Handed handed);
    void FlushAll();

    std::mutex mutex_;
    std::condition_variable handed_;   // a copy was handed over, or the end was asked for
    std::condition_variable settled_;  // the last copy handed over is closed
    std::deque<Handed> waiting_;
    bool busy_ = false;                // the thread is flushing a copy it took
    bool ending_ = false;
    Path failedAt_;
    RunError failure_;
    std::thread flusher_;
};

}  // namespace qv
