// The clocks of the logic: the system clock as a date-time value (days since 30 December
// 1899, local time) and a monotonic millisecond count for throttles.
#include <chrono>
#include <ctime>

#include "setup/session/throttle.h"
#include "setup/session/user_port.h"

namespace qv {
namespace {

// Days from 30 December 1899 to 1 January 1970.
constexpr double kUnixEpochDays = 25569.0;

// The offset of local time from UTC in seconds, taken once: asking the time-zone data at
// every block of a copy would cost more than the copy of the block.
double LocalOffsetSeconds() {
    static const double offset = [] {
        const std::time_t now = std::time(nullptr);
        std::tm local{};
        std::tm utc{};
#ifdef _WIN32
        localtime_s(&local, &now);
        gmtime_s(&utc, &now);
#else
        localtime_r(&now, &local);
        gmtime_r(&now, &utc);
#endif
        utc.tm_isdst = local.tm_isdst;
        return std::difftime(std::mktime(&local), std::mktime(&utc));
    }();
    return offset;
}

}  // namespace

double CurrentDateTime() {
    const auto since = std::chrono::system_clock::now().time_since_epoch();
    const double seconds = std::chrono::duration<double>(since).count() + LocalOffsetSeconds();
    return kUnixEpochDays + seconds / 86400.0;
}

double UserPort::Now() { return CurrentDateTime(); }

}  // namespace qv

namespace qv {

uint32_t TickCount() {
    const auto since = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
}

}  // namespace qv
