// The user-interaction port. The logic never calls a window or a message box itself:
// it asks this interface. The real windows implement it, tests implement it with
// scripted answers that record every message, and an unattended run implements it
// with a fixed policy.
#pragma once

#include <string>
#include <utility>

#include "setup/session/run_error.h"

namespace qv {

enum class Buttons { Ok, OkCancel, AbortRetryIgnore, YesNoCancel, YesNo, RetryCancel };
enum class Icon { None, Critical, Question, Exclamation, Information };
enum class Answer { Ok, Cancel, Abort, Retry, Ignore, Yes, No };

struct Message {
    Message() = default;
    Message(std::string text, std::string title, Buttons buttons = Buttons::Ok, Icon icon = Icon::None,
            int defaultButton = 1, RunError cause = {})
        : text(std::move(text)), title(std::move(title)), buttons(buttons), icon(icon), defaultButton(defaultButton),
          cause(std::move(cause)) {}

    std::string text;
    std::string title;
    Buttons buttons = Buttons::Ok;
    Icon icon = Icon::None;
    int defaultButton = 1;  // 1-based position of the default button
    // The error the message reports, when it reports one: the install log adds its
    // system code and text; the box shows only the text.
    RunError cause;
};

class UserPort {
public:
    virtual ~UserPort() = default;

    // Shows a message box and returns the button the user chose.
    virtual Answer ShowMessage(const Message& message) = 0;

    // Lets pending window events run (repaints, the Cancel button).
    virtual void DoEvents() {}

    // The three counters of the CD scan dialog; totalBytes is already formatted.
    virtual void ShowScanDirectories(int /*count*/) {}
    virtual void ShowScanModules(int /*count*/, const std::string& /*totalBytes*/) {}

    // The progress window of an install. The engine calls each of these only when the
    // shown value changes, so a window can set its control at once.
    // The product being installed, to be repainted at once.
    virtual void ShowModuleName(const std::string& /*name*/) {}
    // The file being installed (a destination path, or the entry an archive program expands).
    virtual void ShowFileName(const std::string& /*path*/) {}
    // The percentage of the current product: the bar's value (0 to 100) and the label's text.
    virtual void ShowModulePercent(int /*bar*/, const std::string& /*label*/) {}
    // The percentage of the whole install: the bar's value (0 to 100) and the label's text.
    virtual void ShowTotalPercent(int /*bar*/, const std::string& /*label*/) {}
    // The elapsed and the estimated remaining time, each as "hh:mm:ss".
    virtual void ShowTimeSpent(const std::string& /*text*/) {}
    virtual void ShowTimeRemaining(const std::string& /*text*/) {}
    // Repaints the progress window now, before a long step starts.
    virtual void RepaintProgress() {}
    // The install was given up in a copy dialog: the progress window may unload.
    virtual void UnloadProgress() {}

    // A step of the install that the install log records (a file copied, a program
    // started, a configuration file written); the windows show nothing for it.
    virtual void LogStep(const std::string& /*line*/) {}

    // The current local date and time as a date-time value: days since 30 December 1899,
    // the fraction being the time of day, with sub-second resolution. Tests replace it.
    virtual double Now();
};

// The system clock as a date-time value (what UserPort::Now returns unless replaced).
double CurrentDateTime();

// The title of every message box that has none of its own.
inline constexpr const char* kAppTitle = "Marrowvale CD-ROM Installation";

}  // namespace qv
