#include "setup/session/install_log.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <utility>

#include "setup/session/file_system.h"
#include "setup/session/user_port.h"

namespace qv {
namespace {

constexpr int64_t kMsPerDay = 86400000;

// Days since 30 December 1899 to 1 January 1970.
constexpr int64_t kUnixEpochDays = 25569;

// The civil date of a day count from 1 January 1970 (proleptic Gregorian calendar).
void CivilFromDays(int64_t days, int64_t& year, int& month, int& day) {
    days += 719468;  // from 1 March of year 0
    const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const int64_t dayOfEra = days - era * 146097;
    const int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const int64_t monthIndex = (5 * dayOfYear + 2) / 153;  // March = 0
    day = static_cast<int>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
    month = static_cast<int>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
    year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
}

}  // namespace

std::string FormatTimeStamp(double dateTime) {
    // Values beyond the years 1 to 9999 (and values that are no number) have no date.
    if (!std::isfinite(dateTime) || dateTime < -693593.0 || dateTime >= 2958466.0) return "0000-00-00 00:00:00.000";

    // The whole days count the date; the fraction is the time of day, also for values
    // before the epoch (-1.25 is 29 December 1899, 06:00).
    double whole = std::trunc(dateTime);
    int64_t ms = std::llround(std::fabs(dateTime - whole) * static_cast<double>(kMsPerDay));
    int64_t days = static_cast<int64_t>(whole);
    if (ms >= kMsPerDay) {  // rounded up to midnight: the next day begins
        ms -= kMsPerDay;
        ++days;
    }
    int64_t year = 0;
    int month = 0, day = 0;
    CivilFromDays(days - kUnixEpochDays, year, month, day);

    char text[40];
    std::snprintf(text, sizeof text, "%04lld-%02d-%02d %02d:%02d:%02d.%03d", static_cast<long long>(year), month, day,
                  static_cast<int>(ms / 3600000), static_cast<int>(ms / 60000 % 60), static_cast<int>(ms / 1000 % 60),
                  static_cast<int>(ms % 1000));
    return text;
}

std::string SystemCause(const RunError& error) {
    if (error.systemCode == 0) return {};
    return " [system error " + std::to_string(error.systemCode) + ": " + SystemErrorText(error.systemCode) + "]";
}

std::string EscapeLineBreaks(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c == '\r') out += "\\r";
        else if (c == '\n') out += "\\n";
        else out += c;
    }
    return out;
}

InstallLog::InstallLog() : now_(CurrentDateTime) {}

InstallLog::~InstallLog() { Close(); }

bool InstallLog::Open(const std::string& path, std::string& error) {
    Close();
    error.clear();
    RunError cause;
    file_ = fs::OpenFile(path, "ab", cause);
    if (!file_) {
        error = "Cannot create the log file \"" + path + "\": " + cause.description + ".";
        return false;
    }
    path_ = path;
    healthy_ = true;
    return true;
}

void InstallLog::Close() {
    if (!file_) return;
    if (std::fclose(file_) != 0) healthy_ = false;
    file_ = nullptr;
}

void InstallLog::Write(const std::string& text) {
    if (!file_) return;
    const std::string line = FormatTimeStamp(now_ ? now_() : CurrentDateTime()) + "  " + EscapeLineBreaks(text) + "\r\n";
    const bool written = std::fwrite(line.data(), 1, line.size(), file_) == line.size();
    if (!written || std::fflush(file_) != 0) {
        healthy_ = false;
        std::clearerr(file_);
    }
}

void InstallLog::SetClock(std::function<double()> now) { now_ = std::move(now); }

}  // namespace qv
