// A user-interaction port for tests: answers message boxes from a script and records
// every message and every scan counter it was shown.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "setup/session/user_port.h"

namespace qvtest {

class RecordingPort : public qv::UserPort {
public:
    // Answers given to the next message boxes, in order; when the script runs out, a box
    // is answered with its default button.
    std::deque<qv::Answer> answers;
    std::vector<qv::Message> messages;
    std::vector<int> scanDirectories;
    std::vector<std::pair<int, std::string>> scanModules;
    int doEventsCalls = 0;

    // Called with every message before it is answered, and at every DoEvents (after the
    // count), so that a test can act at that moment (press Cancel, remove a file).
    std::function<void(const qv::Message&)> onMessage;
    std::function<void()> onDoEvents;

    // What the progress window was given, in order.
    std::vector<std::string> moduleNames;
    std::vector<std::string> fileNames;
    std::vector<std::pair<int, std::string>> modulePercents;
    std::vector<std::pair<int, std::string>> totalPercents;
    std::vector<std::string> timesSpent;
    std::vector<std::string> timesRemaining;
    int repaints = 0;
    int unloads = 0;
    // The steps reported for the install log.
    std::vector<std::string> steps;

    // The clock: when set, Now() returns its value instead of the system's; every call is
    // counted and may be observed (onNow runs before the value is returned).
    std::function<double()> clock;
    std::function<void()> onNow;
    int nowCalls = 0;

    qv::Answer ShowMessage(const qv::Message& message) override;
    void DoEvents() override {
        ++doEventsCalls;
        if (onDoEvents) onDoEvents();
    }
    void ShowModuleName(const std::string& name) override { moduleNames.push_back(name); }
    void ShowFileName(const std::string& path) override { fileNames.push_back(path); }
    void ShowModulePercent(int bar, const std::string& label) override { modulePercents.emplace_back(bar, label); }
    void ShowTotalPercent(int bar, const std::string& label) override { totalPercents.emplace_back(bar, label); }
    void ShowTimeSpent(const std::string& text) override { timesSpent.push_back(text); }
    void ShowTimeRemaining(const std::string& text) override { timesRemaining.push_back(text); }
    void RepaintProgress() override { ++repaints; }
    void UnloadProgress() override { ++unloads; }
    void LogStep(const std::string& line) override { steps.push_back(line); }
    double Now() override {
        ++nowCalls;
        if (onNow) onNow();
        return clock ? clock() : qv::UserPort::Now();
    }
    void ShowScanDirectories(int count) override { scanDirectories.push_back(count); }
    void ShowScanModules(int count, const std::string& totalBytes) override {
        scanModules.emplace_back(count, totalBytes);
    }
};

// The answer of the button at 1-based position `position` of a box with these buttons.
qv::Answer ButtonAt(qv::Buttons buttons, int position);

}  // namespace qvtest
