// Lets a costly action happen at most once in an interval: showing figures that change
// after every copied block, letting pending window events run. The clock is injected, in
// milliseconds that may wrap like the system's tick count, so that tests set the time.
#pragma once

#include <cstdint>
#include <functional>
#include <utility>

namespace qv {

// Milliseconds of a monotonic clock; wraps after about 49 days.
uint32_t TickCount();

class Throttle {
public:
    using Clock = std::function<uint32_t()>;

    explicit Throttle(uint32_t intervalMs, Clock clock = TickCount)
        : interval_(intervalMs), clock_(std::move(clock)) {}

    // True the first time, and then whenever the interval has passed since it last said
    // so; the interval is counted again from now.
    bool Due() {
        const uint32_t now = clock_();
        if (started_ && now - last_ < interval_) return false;
        Restart(now);
        return true;
    }

    // Counts the interval from now: the action has just run for another reason.
    void Restart() { Restart(clock_()); }

private:
    void Restart(uint32_t now) {
        started_ = true;
        last_ = now;
    }

    uint32_t interval_;
    Clock clock_;
    uint32_t last_ = 0;
    bool started_ = false;
};

}  // namespace qv
