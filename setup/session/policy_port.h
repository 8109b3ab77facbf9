// The interaction ports of an unattended run. PolicyPort stands in for the windows:
// it shows nothing and answers every message box with a fixed answer. LoggingPort
// wraps any port (the windows or the policy) and writes every message box and every
// install step to the install log.
#pragma once

#include <string>

#include "setup/session/install_log.h"
#include "setup/session/user_port.h"

namespace qv {

// The fixed answer of an unattended run to a box with these buttons: OK where it only
// informs, and otherwise the answer that stops (Cancel, Abort, No).
Answer PolicyAnswer(Buttons buttons);

// The caption of an answer's button, without its access key: "OK", "Cancel", "Abort",
// "Retry", "Ignore", "Yes", "No".
std::string AnswerCaption(Answer answer);

// The log line of a message box and the answer it got, with the system's cause of the
// error it reports: Message box "<title>": <text> -> <answer> [system error <n>: <text>]
std::string MessageLogLine(const Message& message, Answer answer);

class PolicyPort : public UserPort {
public:
    Answer ShowMessage(const Message& message) override { return PolicyAnswer(message.buttons); }
};

class LoggingPort : public UserPort {
public:
    // Both must outlive this port. The log may be closed: then only forwarding happens.
    LoggingPort(UserPort& inner, InstallLog& log) : inner_(inner), log_(log) {}

    // Forwards to the inner port, then logs the box and the answer given:
    // Message box "<title>": <text> -> <answer>
    Answer ShowMessage(const Message& message) override;
    // Logs the line, then forwards it.
    void LogStep(const std::string& line) override;

    void DoEvents() override { inner_.DoEvents(); }
    void ShowScanDirectories(int count) override { inner_.ShowScanDirectories(count); }
    void ShowScanModules(int count, const std::string& totalBytes) override {
        inner_.ShowScanModules(count, totalBytes);
    }
    void ShowModuleName(const std::string& name) override { inner_.ShowModuleName(name); }
    void ShowFileName(const std::string& path) override { inner_.ShowFileName(path); }
    void ShowModulePercent(int bar, const std::string& label) override { inner_.ShowModulePercent(bar, label); }
    void ShowTotalPercent(int bar, const std::string& label) override { inner_.ShowTotalPercent(bar, label); }
    void ShowTimeSpent(const std::string& text) override { inner_.ShowTimeSpent(text); }
    void ShowTimeRemaining(const std::string& text) override { inner_.ShowTimeRemaining(text); }
    void RepaintProgress() override { inner_.RepaintProgress(); }
    void UnloadProgress() override { inner_.UnloadProgress(); }
    double Now() override { return inner_.Now(); }

private:
    UserPort& inner_;
    InstallLog& log_;
};

}  // namespace qv
