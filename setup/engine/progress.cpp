#include "setup/engine/progress.h"

#include <cmath>
#include <limits>

#include "setup/engine/open_files.h"
#include "setup/session/res_strings.h"
#include "setup/session/text_util.h"

namespace qv {
namespace {

constexpr double kSecondsPerDay = 86400.0;

// Counters are 32-bit; a sum that would pass their range stays at its limit instead of
// wrapping round to a nonsense value.
int32_t Saturated(int64_t value) {
    if (value > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
    if (value < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(value);
}

// done / total × 100, rounded halves to even, kept within 64 bits. A total of 0 or less
// counts as reached as soon as anything is done.
int64_t RoundedPercent(double done, double total) {
    if (!(total > 0)) return done > 0 ? std::numeric_limits<int32_t>::max() : 0;
    const double p = RoundHalfEven(done / total * 100.0);
    if (p > 1e15) return static_cast<int64_t>(1e15);
    if (p < -1e15) return static_cast<int64_t>(-1e15);
    return static_cast<int64_t>(p);
}

int BarValue(int64_t percent) { return static_cast<int>(percent < 0 ? 0 : percent > 100 ? 100 : percent); }

// Whole seconds of the time of day of a date-time value; 0 for negative or unusable values.
int64_t ClockSeconds(double days) {
    if (!std::isfinite(days) || days <= 0) return 0;
    const double fraction = days - std::floor(days);
    const auto seconds = static_cast<int64_t>(std::llround(fraction * kSecondsPerDay));
    return seconds % static_cast<int64_t>(kSecondsPerDay);
}

std::string TwoDigits(int64_t n) { return std::string(1, static_cast<char>('0' + n / 10)) + static_cast<char>('0' + n % 10); }

std::string ClockText(int64_t seconds) {
    return TwoDigits(seconds / 3600) + ":" + TwoDigits(seconds / 60 % 60) + ":" + TwoDigits(seconds % 60);
}

void ShowTimes(Session& session, UserPort& port, double spent, double remaining) {
    const int64_t s = ClockSeconds(spent);
    if (s != session.Shown.spentSeconds) {
        session.Shown.spentSeconds = s;
        port.ShowTimeSpent(ClockText(s));
    }
    const int64_t r = ClockSeconds(remaining);
    if (r != session.Shown.remainingSeconds) {
        session.Shown.remainingSeconds = r;
        port.ShowTimeRemaining(ClockText(r));
    }
}

}  // namespace

int64_t WeightedBytes(const Session& session, int64_t n) {
    if (session.HasCompressed == 1) return session.ToolsInstalled ? n * 11 : n * 2;
    return n;
}

int64_t ModulePercent(double done, double total) {
    const int64_t m = RoundedPercent(done, total);
    return m > 99 ? 98 : m;
}

int64_t TotalPercent(double done, double total) {
    const int64_t t = RoundedPercent(done, total);
    return t > 100 ? 99 : t;
}

std::string PercentLabel(int64_t percent) {
    return (percent >= 0 ? " " : "") + std::to_string(percent) + "%";
}

std::string FormatClock(double days) { return ClockText(ClockSeconds(days)); }

void UpdateProgress(Session& session, UserPort& port, int32_t n) {
    const int64_t weighted = WeightedBytes(session, n);
    session.ModuleBytesDone = Saturated(int64_t{session.ModuleBytesDone} + weighted);
    session.BytesDone += weighted;
    if (session.BytesDone < 1) session.BytesDone = 1;

    const int64_t m = ModulePercent(session.ModuleBytesDone, session.ModuleBytes);
    if (m != session.Shown.modulePercent) {
        session.Shown.modulePercent = m;
        port.ShowModulePercent(BarValue(m), PercentLabel(m));
    }
    const int64_t t = TotalPercent(static_cast<double>(session.BytesDone), session.ProductBytes);
    if (t != session.Shown.totalPercent) {
        session.Shown.totalPercent = t;
        port.ShowTotalPercent(BarValue(t), PercentLabel(t));
    }

    // Until some time has passed there is nothing to estimate from: both times stay at
    // "00:00:00" and the estimate is left as it is.
    const double elapsed = port.Now() - session.InstallStartTime;
    if (!(elapsed > 0)) {
        session.ElapsedTime = 0;
        ShowTimes(session, port, 0, 0);
        return;
    }
    session.ElapsedTime = elapsed;
    session.EstimatedTotalTime = session.ElapsedTime * (session.ProductBytes / static_cast<double>(session.BytesDone));
    if (session.SmoothedTotalTime == 0) {
        session.SmoothedTotalTime = session.EstimatedTotalTime;
    } else {
        session.SmoothedTotalTime = session.SmoothedTotalTime * 0.9 + session.EstimatedTotalTime * 0.1;
    }
    session.RemainingTime = session.SmoothedTotalTime - session.ElapsedTime;
    ShowTimes(session, port, session.ElapsedTime, session.RemainingTime);
}

void BeginInstallStatus(Session& session, UserPort& port) {
    session.Cancel.Withdraw();
    session.InstallAborted = false;
    session.InstallFailed = false;
    session.DirectoryHeld = false;
    session.Shown = {};
    port.ShowModuleName("");
    port.ShowFileName("");
    port.ShowModulePercent(0, "0%");
    port.ShowTotalPercent(0, "0%");
    session.Shown.spentSeconds = 0;
    session.Shown.remainingSeconds = 0;
    port.ShowTimeSpent(ClockText(0));
    port.ShowTimeRemaining(ClockText(0));
}

void ResetModuleProgress(Session& session, UserPort& port) {
    // "0%" differs from the " 0%" that a count of 0 shows, so the next count shows again.
    session.Shown.modulePercent = Session::ProgressShown::kNotShown;
    port.ShowModulePercent(0, "0%");
}

void ShowFileName(Session& session, UserPort& port, const std::string& path) {
    if (path == session.Shown.fileName) return;
    session.Shown.fileName = path;
    port.ShowFileName(path);
}

bool ConfirmCancel(Session& session, UserPort& port) {
    Message box;
    box.title = Res(session, Str::CancelTitle);
    box.text = Res(session, Str::CancelQuestion) + "\r\r" + Res(session, Str::CancelHint);
    box.buttons = Buttons::YesNo;
    box.icon = Icon::Critical;
    box.defaultButton = 2;
    if (port.ShowMessage(box) != Answer::Yes) return false;
    CloseAllOpenFiles();
    session.Cancel.Request();
    return true;
}

}  // namespace qv
