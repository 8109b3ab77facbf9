// The progress of an install: the counted bytes, the two percentages, the elapsed time
// and the estimate of the remaining time. The arithmetic is here; the progress window
// only shows what it is given through the interaction port.
#pragma once

#include <cstdint>
#include <string>

#include "setup/session/session.h"
#include "setup/session/user_port.h"

namespace qv {

// n bytes as the counters weigh them: 11 times once the Marrowtools product has been
// reached in an install with a compressed product, twice in any other install with a
// compressed product, once otherwise.
int64_t WeightedBytes(const Session& session, int64_t n);

// done / total × 100 rounded to the nearest integer, halves to even; the caps below apply.
// The product's percentage: above 99 it shows 98.
int64_t ModulePercent(double done, double total);
// The whole install's percentage: above 100 it shows 99.
int64_t TotalPercent(double done, double total);

// A percentage as its label shows it: a blank in place of the sign for 0 and above (" 45%"),
// the minus sign otherwise ("-3%").
std::string PercentLabel(int64_t percent);

// The time-of-day part of a date-time value as "hh:mm:ss", whole days dropped; negative
// or unusable values show "00:00:00".
std::string FormatClock(double days);

// Counts n installed bytes (negative when a retried copy takes its bytes back) and
// refreshes the progress display: the two bars with their labels, the time spent and the
// estimated time remaining. A shown value is set again only when it changes.
void UpdateProgress(Session& session, UserPort& port, int32_t n);

// The state the progress window starts with when it loads: the install not aborted,
// product and file name empty, both bars at 0 with "0%", both times "00:00:00".
void BeginInstallStatus(Session& session, UserPort& port);

// Shows the product percentage as the install driver resets it before a product
// (the bar at 0 and the label "0%").
void ResetModuleProgress(Session& session, UserPort& port);

// Shows a file name in the progress window when it differs from the one shown.
void ShowFileName(Session& session, UserPort& port, const std::string& path);

// The Cancel button: asks whether to cancel the install; on Yes closes every file the
// installer holds open and requests the Cancel. True when the user chose Yes.
bool ConfirmCancel(Session& session, UserPort& port);

}  // namespace qv
