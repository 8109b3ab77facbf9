// The user-interaction port. The logic never calls a window or a message box itself:
// it asks this interface. The real windows implement it, tests implement it with
// scripted answers that record every message, and an unattended run implements it
// with a fixed policy.
#pragma once

#include <string>

namespace qv {

enum class Buttons { Ok, OkCancel, AbortRetryIgnore, YesNoCancel, YesNo, RetryCancel };
enum class Icon { None, Critical, Question, Exclamation, Information };
enum class Answer { Ok, Cancel, Abort, Retry, Ignore, Yes, No };

struct Message {
    std::string text;
    std::string title;
    Buttons buttons = Buttons::Ok;
    Icon icon = Icon::None;
    int defaultButton = 1;  // 1-based position of the default button
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
};

// The title of every message box that has none of its own.
inline constexpr const char* kAppTitle = "Marrowvale CD-ROM Installation";

}  // namespace qv
