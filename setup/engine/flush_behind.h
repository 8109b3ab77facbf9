// Flushing the copies that replace an earlier file, behind the pass. Such a copy must reach
// the disk before the earlier file may go (at the commit), and its flush waits for the disk
// while the pass could copy on. A thread of its own flushes and closes the copies handed to
// it, in turn; the pass settles it before it ends, so that no copy is left open and no
// failure unreported when anything else touches the files.
#pragma once

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <utility>

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

    // Waits until every copy handed over is flushed and closed. False, with the first copy
    // whose flush or close failed and the failure, when one did; the failure is then
    // reported, and the next Settle starts afresh.
    [[nodiscard]] bool Settle(Path& failedAt, RunError& error);

private:
    void FlushAll();

    std::mutex mutex_;
    std::condition_variable handed_;   // a copy was handed over, or the end was asked for
    std::condition_variable settled_;  // the last copy handed over is closed
    std::deque<std::pair<fs::Handle, Path>> waiting_;
    bool busy_ = false;                // the thread is flushing a copy it took
    bool ending_ = false;
    Path failedAt_;
    RunError failure_;
    std::thread flusher_;
};

}  // namespace qv
