#include "setup/engine/flush_behind.h"

#include <system_error>
#include <utility>

namespace qv {

FlushBehind::~FlushBehind() {
    Path ignoredAt;
    RunError ignored;
    PassOver(Settle(ignoredAt, ignored));
    if (!flusher_.joinable()) return;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        ending_ = true;
    }
    handed_.notify_one();
    flusher_.join();
}

void FlushBehind::Hand(fs::Handle copy, const Path& path) { Take({copy, path, true}); }

void FlushBehind::HandToClose(fs::Handle copy) { Take({copy, {}, false}); }

void FlushBehind::Take(Handed handed) {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        waiting_.push_back(std::move(handed));
    }
    if (!flusher_.joinable()) {
        try {
            flusher_ = std::thread([this] { FlushAll(); });
        } catch (const std::system_error&) {
            // No thread to be had: the copy is flushed here and now, as without one.
            ending_ = true;
            FlushAll();
            ending_ = false;
            return;
        }
    }
    handed_.notify_one();
}

bool FlushBehind::Settle(Path& failedAt, RunError& error) {
    std::unique_lock<std::mutex> lock(mutex_);
    settled_.wait(lock, [this] { return waiting_.empty() && !busy_; });
    if (failedAt_.empty()) return true;
    failedAt = std::exchange(failedAt_, Path());
    error = std::exchange(failure_, RunError());
    return false;
}

void FlushBehind::FlushAll() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        handed_.wait(lock, [this] { return ending_ || !waiting_.empty(); });
        if (waiting_.empty()) return;
        const Handed copy = std::move(waiting_.front());
        waiting_.pop_front();
        busy_ = true;
        lock.unlock();
        // The close comes whatever the flush came to: the copy is the caller's no more.
        RunError error;
        const bool flushed = !copy.flush || fs::Flush(copy.copy, error);
        RunError closing;
        const bool closed = fs::Close(copy.copy, closing) || !copy.flush;
        if (flushed && !closed) error = closing;
        lock.lock();
        busy_ = false;
        if (!(flushed && closed) && failedAt_.empty()) {
            failedAt_ = copy.path;
            failure_ = error;
        }
        if (waiting_.empty()) settled_.notify_all();
    }
}

}  // namespace qv
